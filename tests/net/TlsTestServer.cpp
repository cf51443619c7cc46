// The helper program started and ended by the test, and the test CA made trusted: POSIX spawning and
// SSL_CERT_FILE on Linux; under Wine the helper is a Linux program too (Wine starts a Unix path as a
// Unix process, without a handle to wait on), and the CA goes into the Root store of the prefix.
#include "net/TlsTestServer.h"

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>
#else
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace Halcyra::Testing {
namespace {

constexpr const char *Python = "/usr/bin/python3";

std::string HelperScript()
{
    return std::string(HALCYRA_TEST_DATA_DIR) + "/../net/TlsTestServer.py";
}

#ifndef _WIN32
bool Exited(pid_t pid, int waitMilliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
#endif

} // namespace

TTlsTestServer::TTlsTestServer(std::uint16_t backendPort, const std::string &namedHost)
    : FReport(std::make_unique<TLoopbackServer>([](TLoopbackConnection &connection, const std::string &) {
          // The helper lives as long as this connection: until the server stops.
          connection.Pause(24 * 60 * 60 * 1000);
      }))
{
    Spawn(FReport->GetPort(), backendPort, namedHost);
    if (FError.empty())
        WaitForHelper();
}

TTlsTestServer::~TTlsTestServer()
{
    FReport.reset();
#ifndef _WIN32
    if (FPid > 0 && !Exited(static_cast<pid_t>(FPid), 10000)) {
        kill(static_cast<pid_t>(FPid), SIGTERM);
        int status = 0;
        waitpid(static_cast<pid_t>(FPid), &status, 0);
    }
#endif
}

void TTlsTestServer::Spawn(std::uint16_t reportPort, std::uint16_t backendPort, const std::string &namedHost)
{
    const std::string script = HelperScript();
    const std::string report = std::to_string(reportPort);
    const std::string backend = std::to_string(backendPort);
#ifdef _WIN32
    // Wine's ECDSA check fails now and then on a valid signature: the certificates get RSA keys.
    std::string commandLine = std::string(Python) + " " + script + " --report " + report + " --backend " + backend + " --rsa";
    if (!namedHost.empty())
        commandLine += " --named " + namedHost;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        FError = "the helper could not be started: " + std::to_string(GetLastError());
        return;
    }
    // For a Unix program Wine gives handles that cannot be waited on; the report connection tells.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
#else
    std::vector<const char *> arguments = {Python, script.c_str(), "--report", report.c_str(), "--backend", backend.c_str()};
    if (!namedHost.empty())
        arguments.insert(arguments.end(), {"--named", namedHost.c_str()});
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, Python, nullptr, nullptr, const_cast<char *const *>(arguments.data()), environ) != 0) {
        FError = "the helper could not be started (Debian package python3)";
        return;
    }
    FPid = pid;
#endif
}

void TTlsTestServer::WaitForHelper()
{
    // A safety bound, not a budget: making the certificates takes a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<std::string> reports;
    while ((reports = FReport->GetRequests()).empty()) {
#ifndef _WIN32
        if (Exited(static_cast<pid_t>(FPid), 0)) {
            FPid = 0;
            FError = "the helper ended before it reported (is the Debian package openssl installed?)";
            return;
        }
#endif
        if (std::chrono::steady_clock::now() >= deadline) {
            FError = "the helper did not report its ports";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::istringstream lines(reports.front());
    std::string line;
    bool inCa = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (inCa) {
            if (!line.empty())
                FCaPem += line + "\n";
        } else if (line == "ca") {
            inCa = true;
        } else if (const std::size_t blank = line.find(' '); blank != std::string::npos) {
            FPorts[line.substr(0, blank)] = static_cast<std::uint16_t>(std::stoi(line.substr(blank + 1)));
        }
    }
    if (FCaPem.empty())
        FPorts.clear();
    if (!Running())
        FError = "the helper's report was not understood";
}

std::uint16_t TTlsTestServer::Port(const std::string &front) const
{
    const auto found = FPorts.find(front);
    return found == FPorts.end() ? 0 : found->second;
}

std::string TTlsTestServer::Url(const std::string &front, const std::string &path) const
{
    return "https://localhost:" + std::to_string(Port(front)) + path;
}

#ifdef _WIN32

namespace {

HCERTSTORE OpenUserRoot()
{
    // The user's own registry store: what is added and deleted there is written when it closes.
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "Root");
}

} // namespace

TTrustedTestCa::TTrustedTestCa(const std::string &pem)
{
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return;
    FDer.resize(size);
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE *>(FDer.data()), &size,
                              nullptr, nullptr))
        return;
    HCERTSTORE root = OpenUserRoot();
    if (root == nullptr)
        return;
    FTrusted = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, reinterpret_cast<const BYTE *>(FDer.data()),
                                                static_cast<DWORD>(FDer.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != 0;
    CertCloseStore(root, 0);
}

TTrustedTestCa::~TTrustedTestCa()
{
    if (!FTrusted)
        return;
    HCERTSTORE root = OpenUserRoot();
    if (root == nullptr)
        return;
    const CERT_CONTEXT *ca = CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE *>(FDer.data()),
                                                          static_cast<DWORD>(FDer.size()));
    if (ca != nullptr) {
        if (const CERT_CONTEXT *stored = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, ca, nullptr))
            CertDeleteCertificateFromStore(stored);
        CertFreeCertificateContext(ca);
    }
    CertCloseStore(root, 0);
}

#else

TTrustedTestCa::TTrustedTestCa(const std::string &pem)
{
    char name[] = "/tmp/halcyra-test-ca-XXXXXX";
    const int descriptor = mkstemp(name);
    if (descriptor < 0)
        return;
    close(descriptor);
    FFile = name;
    std::ofstream(FFile, std::ios::binary) << pem;
    if (const char *previous = std::getenv("SSL_CERT_FILE")) {
        FHadPreviousFile = true;
        FPreviousFile = previous;
    }
    FTrusted = setenv("SSL_CERT_FILE", FFile.c_str(), 1) == 0;
}

TTrustedTestCa::~TTrustedTestCa()
{
    if (FHadPreviousFile)
        setenv("SSL_CERT_FILE", FPreviousFile.c_str(), 1);
    else
        unsetenv("SSL_CERT_FILE");
    if (!FFile.empty())
        std::remove(FFile.c_str());
}

#endif

} // namespace Halcyra::Testing
