// The secure transport on Windows: SChannel sessions through SSPI over memory buffers, with the
// certificate chain verified by the client itself against the current user's Root store, so that each
// cause of a failure has its own answer.
#include "platform/SecureTransport.h"

#define SECURITY_WIN32
// The credentials form that names the versions to refuse.
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace Halcyra::Platform {
namespace {

// The most a handshake may hold back before a message is complete: far more than any certificate
// chain, and a bound on what a server can make the session keep.
constexpr std::size_t MaxPendingInput = 256 * 1024;

// Protocol versions the session refuses: everything before TLS 1.2.
constexpr DWORD OldProtocols = SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1;

constexpr DWORD ContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                 ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

std::wstring Widened(const std::string &text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

class TCredentials {
public:
    TCredentials() { SecInvalidateHandle(&FHandle); }
    ~TCredentials()
    {
        if (SecIsValidHandle(&FHandle))
            FreeCredentialsHandle(&FHandle);
    }
    TCredentials(const TCredentials &) = delete;
    TCredentials &operator=(const TCredentials &) = delete;

    // Outbound credentials with the client's own validation and no client certificate. The newer form
    // names the versions to refuse and so takes TLS 1.3 where the system has it; systems without it get
    // the older form, limited to TLS 1.2.
    bool Acquire()
    {
        constexpr DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = OldProtocols;
        SCH_CREDENTIALS current{};
        current.dwVersion = SCH_CREDENTIALS_VERSION;
        current.dwFlags = flags;
        current.cTlsParameters = 1;
        current.pTlsParameters = &parameters;
        if (AcquireWith(&current))
            return true;
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        older.dwFlags = flags;
        return AcquireWith(&older);
    }

    CredHandle *Get() { return &FHandle; }

private:
    bool AcquireWith(void *data)
    {
        TimeStamp expiry{};
        return AcquireCredentialsHandleA(nullptr, const_cast<char *>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, data,
                                         nullptr, nullptr, &FHandle, &expiry) == SEC_E_OK;
    }

    CredHandle FHandle;
};

struct TCertificateFree {
    void operator()(const CERT_CONTEXT *certificate) const { CertFreeCertificateContext(certificate); }
};
struct TChainFree {
    void operator()(const CERT_CHAIN_CONTEXT *chain) const { CertFreeCertificateChain(chain); }
};
struct TEngineFree {
    void operator()(HCERTCHAINENGINE engine) const { CertFreeCertificateChainEngine(engine); }
};
using TCertificatePtr = std::unique_ptr<const CERT_CONTEXT, TCertificateFree>;
using TChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainFree>;
using TEnginePtr = std::unique_ptr<std::remove_pointer_t<HCERTCHAINENGINE>, TEngineFree>;

// Checks the server's certificate for host: the chain must end in a certificate of the Root store, the
// certificate must name host, and no certificate of the chain may be past its end.
TSecureFailure VerifyServer(const CERT_CONTEXT *certificate, const std::string &host)
{
    // An engine of its own reads the Root store as it is now. Its configuration has the size of the
    // form every system takes.
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveRoot);
    HCERTCHAINENGINE engineHandle = nullptr;
    if (!CertCreateCertificateChainEngine(&config, &engineHandle))
        return TSecureFailure::Handshake;
    const TEnginePtr engine(engineHandle);

    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    const CERT_CHAIN_CONTEXT *chainContext = nullptr;
    // The certificates the server sent beside its own are the chain's intermediates.
    if (!CertGetCertificateChain(engine.get(), certificate, nullptr, certificate->hCertStore, &parameters, 0, nullptr,
                                 &chainContext))
        return TSecureFailure::Untrusted;
    const TChainPtr chain(chainContext);

    // Dates are looked at last, so that the answer is the same as on Linux for a certificate that is
    // both for another host and expired.
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    constexpr DWORD TimeErrors = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED;
    if ((trust & ~TimeErrors & ~CERT_TRUST_REVOCATION_STATUS_UNKNOWN & ~CERT_TRUST_IS_OFFLINE_REVOCATION) != 0)
        return TSecureFailure::Untrusted;

    std::wstring name = Widened(host);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        return TSecureFailure::Untrusted;
    if (status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
        return TSecureFailure::WrongHost;
    if (status.dwError == static_cast<DWORD>(CERT_E_EXPIRED))
        return TSecureFailure::Expired;
    if (status.dwError != 0)
        return TSecureFailure::Untrusted;
    if ((trust & TimeErrors) != 0)
        return TSecureFailure::Expired;
    return TSecureFailure::None;
}

class TSchannelSession final : public ISecureSession {
public:
    TSchannelSession(std::unique_ptr<TCredentials> credentials, std::string host)
        : FCredentials(std::move(credentials)), FHost(std::move(host))
    {
        SecInvalidateHandle(&FContext);
    }

    ~TSchannelSession() override
    {
        if (SecIsValidHandle(&FContext))
            DeleteSecurityContext(&FContext);
    }

    TSecureStep Handshake(std::string_view input, std::string &output, TSecureFailure &failure) override
    {
        failure = TSecureFailure::None;
        if (!Keep(input)) {
            failure = TSecureFailure::Handshake;
            return TSecureStep::Failed;
        }
        const TSecureStep step = Negotiate(output);
        if (step == TSecureStep::Failed) {
            failure = TSecureFailure::Handshake;
            return step;
        }
        if (step != TSecureStep::Done)
            return step;
        failure = Verify();
        return failure == TSecureFailure::None ? TSecureStep::Done : TSecureStep::Failed;
    }

    bool Encrypt(std::string_view plain, std::string &output) override
    {
        while (!plain.empty()) {
            const std::size_t piece = std::min<std::size_t>(plain.size(), FSizes.cbMaximumMessage);
            std::vector<char> record(FSizes.cbHeader + piece + FSizes.cbTrailer);
            std::memcpy(record.data() + FSizes.cbHeader, plain.data(), piece);
            SecBuffer buffers[4] = {
                {FSizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + FSizes.cbHeader},
                {FSizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + FSizes.cbHeader + piece},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            if (EncryptMessage(&FContext, 0, &description, 0) != SEC_E_OK)
                return false;
            output.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
            plain.remove_prefix(piece);
        }
        return true;
    }

    TSecureStep Decrypt(std::string_view input, std::string &plain, std::string &output) override
    {
        if (!Keep(input))
            return TSecureStep::Failed;
        for (;;) {
            // The server asked for more of the handshake (TLS 1.3 session tickets, for one).
            if (FRenegotiating) {
                const TSecureStep step = Negotiate(output);
                if (step != TSecureStep::Done)
                    return step;
                FRenegotiating = false;
            }
            if (FInput.empty())
                return TSecureStep::WantInput;
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(FInput.size()), SECBUFFER_DATA, FInput.data()},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = DecryptMessage(&FContext, &description, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE)
                return TSecureStep::WantInput;
            if (status == SEC_I_CONTEXT_EXPIRED)
                return TSecureStep::Closed;
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
                return TSecureStep::Failed;
            const SecBuffer *extra = nullptr;
            for (const SecBuffer &buffer : buffers) {
                if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0)
                    plain.append(static_cast<const char *>(buffer.pvBuffer), buffer.cbBuffer);
                else if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0)
                    extra = &buffer;
            }
            // The record was decrypted in place; the bytes after it stay for the next round.
            if (extra != nullptr) {
                std::memmove(FInput.data(), FInput.data() + FInput.size() - extra->cbBuffer, extra->cbBuffer);
                FInput.resize(extra->cbBuffer);
            } else {
                FInput.clear();
            }
            if (status == SEC_I_RENEGOTIATE)
                FRenegotiating = true;
        }
    }

    void Close(std::string &output) override
    {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc description{SECBUFFER_VERSION, 1, &token};
        if (ApplyControlToken(&FContext, &description) != SEC_E_OK)
            return;
        FInput.clear();
        Negotiate(output);
    }

private:
    bool Keep(std::string_view input)
    {
        if (FInput.size() + input.size() > MaxPendingInput)
            return false;
        FInput.insert(FInput.end(), input.begin(), input.end());
        return true;
    }

    // One round of InitializeSecurityContext over what has arrived, repeated while it can go on
    // without more input. Done once the context is complete.
    TSecureStep Negotiate(std::string &output)
    {
        for (;;) {
            const bool first = !SecIsValidHandle(&FContext);
            SecBuffer inputs[2] = {
                {static_cast<unsigned long>(FInput.size()), SECBUFFER_TOKEN, FInput.empty() ? nullptr : FInput.data()},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc inputDescription{SECBUFFER_VERSION, 2, inputs};
            SecBuffer outputs[1] = {{0, SECBUFFER_TOKEN, nullptr}};
            SecBufferDesc outputDescription{SECBUFFER_VERSION, 1, outputs};
            ULONG attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextA(
                FCredentials->Get(), first ? nullptr : &FContext, FHost.data(), ContextRequest, 0, 0,
                first ? nullptr : &inputDescription, 0, &FContext, &outputDescription, &attributes, nullptr);
            if (outputs[0].pvBuffer != nullptr) {
                output.append(static_cast<const char *>(outputs[0].pvBuffer), outputs[0].cbBuffer);
                FreeContextBuffer(outputs[0].pvBuffer);
            }
            if (status == SEC_E_INCOMPLETE_MESSAGE)
                return TSecureStep::WantInput;
            if (!first) {
                // What the round did not read stays for the next one.
                if (inputs[1].BufferType == SECBUFFER_EXTRA && inputs[1].cbBuffer > 0 && inputs[1].cbBuffer <= FInput.size())
                    FInput.erase(FInput.begin(), FInput.end() - inputs[1].cbBuffer);
                else
                    FInput.clear();
            }
            if (status == SEC_E_OK) {
                if (QueryContextAttributesA(&FContext, SECPKG_ATTR_STREAM_SIZES, &FSizes) != SEC_E_OK ||
                    FSizes.cbMaximumMessage == 0)
                    return TSecureStep::Failed;
                return TSecureStep::Done;
            }
            if (status == SEC_I_CONTINUE_NEEDED) {
                if (FInput.empty())
                    return TSecureStep::WantInput;
                continue;
            }
            // A server that asks for a client certificate goes on without one, once.
            if (status == SEC_I_INCOMPLETE_CREDENTIALS && !FCredentialsAsked) {
                FCredentialsAsked = true;
                continue;
            }
            return TSecureStep::Failed;
        }
    }

    // Once per session, when the handshake is complete: the protocol version (a system that takes the
    // credentials but not their list of refused versions, as Wine does, may have agreed on an older
    // one) and the certificate.
    TSecureFailure Verify()
    {
        if (FVerified)
            return TSecureFailure::None;
        SecPkgContext_ConnectionInfo connection{};
        if (QueryContextAttributesA(&FContext, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK ||
            (connection.dwProtocol & OldProtocols) != 0)
            return TSecureFailure::Handshake;
        const CERT_CONTEXT *remote = nullptr;
        if (QueryContextAttributesA(&FContext, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK || remote == nullptr)
            return TSecureFailure::Handshake;
        const TCertificatePtr certificate(remote);
        const TSecureFailure failure = VerifyServer(certificate.get(), FHost);
        FVerified = failure == TSecureFailure::None;
        return failure;
    }

    std::unique_ptr<TCredentials> FCredentials;
    std::string FHost;
    CtxtHandle FContext;
    SecPkgContext_StreamSizes FSizes{};
    // Received bytes not read yet.
    std::vector<char> FInput;
    bool FVerified = false;
    bool FRenegotiating = false;
    bool FCredentialsAsked = false;
};

class TSchannelTransport final : public ISecureTransport {
public:
    std::unique_ptr<ISecureSession> BeginClient(const std::string &host) override
    {
        auto credentials = std::make_unique<TCredentials>();
        if (!credentials->Acquire())
            return nullptr;
        return std::make_unique<TSchannelSession>(std::move(credentials), host);
    }
};

} // namespace

ISecureTransport &SecureTransport()
{
    static TSchannelTransport transport;
    return transport;
}

} // namespace Halcyra::Platform
