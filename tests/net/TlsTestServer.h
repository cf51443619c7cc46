// TLS servers on 127.0.0.1 for the HTTP client's tests: the helper program TlsTestServer.py (Python's
// ssl module) with a test CA and certificates it makes when it starts, each of its fronts relaying what
// it decrypts to a backend port of the test's; and the test CA made trusted while a test runs.
#pragma once

#include "net/LoopbackServer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace Halcyra::Testing {

class TTlsTestServer {
public:
    // Starts the helper with its fronts relaying to backendPort; Error() says why when it did not start.
    // With namedHost, the front "named" too: a certificate for that host, and any other server name
    // refused (for a program that asks a host of its build, through a proxy the test points here).
    explicit TTlsTestServer(std::uint16_t backendPort, const std::string &namedHost = "");
    // Ends the helper: it ends when its report connection closes.
    ~TTlsTestServer();

    TTlsTestServer(const TTlsTestServer &) = delete;
    TTlsTestServer &operator=(const TTlsTestServer &) = delete;

    bool Running() const { return !FPorts.empty(); }
    const std::string &Error() const { return FError; }
    // The port of a front: "good", "address", "other-host", "expired", "self-signed", "tls10", "stall",
    // "named"; 0 for a front the helper does not have.
    std::uint16_t Port(const std::string &front) const;
    // "https://localhost:<port>" + path for a front.
    std::string Url(const std::string &front, const std::string &path) const;
    // The test CA's certificate, PEM.
    const std::string &CaPem() const { return FCaPem; }

private:
    void Spawn(std::uint16_t reportPort, std::uint16_t backendPort, const std::string &namedHost);
    void WaitForHelper();

    // The helper reports its fronts to this server and holds the connection until the server ends.
    std::unique_ptr<TLoopbackServer> FReport;
    std::map<std::string, std::uint16_t> FPorts;
    std::string FCaPem;
    std::string FError;
    long long FPid = 0;
};

// The test CA trusted while the object lives: on Linux through SSL_CERT_FILE (a file of its own), on
// Windows in the current user's Root store of the test's Wine prefix.
class TTrustedTestCa {
public:
    explicit TTrustedTestCa(const std::string &pem);
    ~TTrustedTestCa();

    TTrustedTestCa(const TTrustedTestCa &) = delete;
    TTrustedTestCa &operator=(const TTrustedTestCa &) = delete;

    bool Trusted() const { return FTrusted; }
    // The file the CA is in (Linux), for programs the test starts.
    const std::string &File() const { return FFile; }

private:
    bool FTrusted = false;
    std::string FFile;
    std::string FPreviousFile;
    bool FHadPreviousFile = false;
    std::string FDer;
};

} // namespace Halcyra::Testing
