// The secure transport on Linux: OpenSSL 3 sessions over memory buffers (OpenSSL never owns the socket),
// trusting OpenSSL's default certificate paths and checking the host name or address it was made for.
#include "platform/SecureTransport.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <array>

namespace Halcyra::Platform {
namespace {

struct TSslContextFree {
    void operator()(SSL_CTX *context) const { SSL_CTX_free(context); }
};
struct TSslFree {
    void operator()(SSL *ssl) const { SSL_free(ssl); }
};
using TSslContextPtr = std::unique_ptr<SSL_CTX, TSslContextFree>;
using TSslPtr = std::unique_ptr<SSL, TSslFree>;

bool IsAddressLiteral(const std::string &host)
{
    std::array<unsigned char, 16> address{};
    return inet_pton(AF_INET, host.c_str(), address.data()) == 1 || inet_pton(AF_INET6, host.c_str(), address.data()) == 1;
}

// The failure a verification result stands for: the chain first, then the name, then the dates, the
// order in which OpenSSL checks them.
TSecureFailure VerifyFailure(long result)
{
    switch (result) {
    case X509_V_OK:
        return TSecureFailure::Handshake;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return TSecureFailure::WrongHost;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return TSecureFailure::Expired;
    default:
        // An unknown issuer, a self-signed certificate, a certificate not meant for servers: the chain
        // cannot be trusted for this connection.
        return TSecureFailure::Untrusted;
    }
}

class TOpenSslSession final : public ISecureSession {
public:
    TOpenSslSession(TSslContextPtr context, TSslPtr ssl, BIO *fromPeer, BIO *toPeer)
        : FContext(std::move(context)), FSsl(std::move(ssl)), FFromPeer(fromPeer), FToPeer(toPeer)
    {
    }

    TSecureStep Handshake(std::string_view input, std::string &output, TSecureFailure &failure) override
    {
        ERR_clear_error();
        failure = TSecureFailure::None;
        if (!Take(input)) {
            failure = TSecureFailure::Handshake;
            return TSecureStep::Failed;
        }
        const int result = SSL_do_handshake(FSsl.get());
        const int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(FSsl.get(), result);
        Drain(output);
        if (result == 1)
            return TSecureStep::Done;
        if (error == SSL_ERROR_WANT_READ)
            return TSecureStep::WantInput;
        failure = VerifyFailure(SSL_get_verify_result(FSsl.get()));
        return TSecureStep::Failed;
    }

    bool Encrypt(std::string_view plain, std::string &output) override
    {
        ERR_clear_error();
        std::size_t written = 0;
        // A memory buffer takes every record at once; a failed write is a broken session.
        if (!plain.empty() && (SSL_write_ex(FSsl.get(), plain.data(), plain.size(), &written) != 1 || written != plain.size()))
            return false;
        Drain(output);
        return true;
    }

    TSecureStep Decrypt(std::string_view input, std::string &plain, std::string &output) override
    {
        ERR_clear_error();
        if (!Take(input))
            return TSecureStep::Failed;
        std::array<char, 16384> buffer;
        TSecureStep step = TSecureStep::WantInput;
        for (;;) {
            std::size_t read = 0;
            if (SSL_read_ex(FSsl.get(), buffer.data(), buffer.size(), &read) == 1) {
                plain.append(buffer.data(), read);
                continue;
            }
            const int error = SSL_get_error(FSsl.get(), 0);
            if (error == SSL_ERROR_ZERO_RETURN)
                step = TSecureStep::Closed;
            else if (error != SSL_ERROR_WANT_READ)
                step = TSecureStep::Failed;
            break;
        }
        Drain(output);
        return step;
    }

    void Close(std::string &output) override
    {
        ERR_clear_error();
        SSL_shutdown(FSsl.get());
        Drain(output);
    }

private:
    bool Take(std::string_view input)
    {
        while (!input.empty()) {
            std::size_t written = 0;
            if (BIO_write_ex(FFromPeer, input.data(), input.size(), &written) != 1)
                return false;
            input.remove_prefix(written);
        }
        return true;
    }

    void Drain(std::string &output)
    {
        std::array<char, 16384> buffer;
        std::size_t read = 0;
        while (BIO_read_ex(FToPeer, buffer.data(), buffer.size(), &read) == 1)
            output.append(buffer.data(), read);
    }

    TSslContextPtr FContext;
    TSslPtr FSsl;
    // Owned by FSsl.
    BIO *FFromPeer;
    BIO *FToPeer;
};

class TOpenSslTransport final : public ISecureTransport {
public:
    std::unique_ptr<ISecureSession> BeginClient(const std::string &host) override
    {
        ERR_clear_error();
        // A context per session reads the trust store as it is now; sessions are rare (a few an hour).
        TSslContextPtr context(SSL_CTX_new(TLS_client_method()));
        if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
            SSL_CTX_set_default_verify_paths(context.get()) != 1)
            return nullptr;
        SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);

        TSslPtr ssl(SSL_new(context.get()));
        if (!ssl)
            return nullptr;
        BIO *fromPeer = BIO_new(BIO_s_mem());
        BIO *toPeer = BIO_new(BIO_s_mem());
        if (fromPeer == nullptr || toPeer == nullptr) {
            BIO_free(fromPeer);
            BIO_free(toPeer);
            return nullptr;
        }
        SSL_set_bio(ssl.get(), fromPeer, toPeer);
        SSL_set_connect_state(ssl.get());

        // An address is checked against the certificate's addresses and never sent as a server name.
        X509_VERIFY_PARAM *verify = SSL_get0_param(ssl.get());
        if (IsAddressLiteral(host)) {
            if (X509_VERIFY_PARAM_set1_ip_asc(verify, host.c_str()) != 1)
                return nullptr;
        } else {
            X509_VERIFY_PARAM_set_hostflags(verify, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (SSL_set_tlsext_host_name(ssl.get(), host.c_str()) != 1 || SSL_set1_host(ssl.get(), host.c_str()) != 1)
                return nullptr;
        }
        return std::make_unique<TOpenSslSession>(std::move(context), std::move(ssl), fromPeer, toPeer);
    }
};

} // namespace

ISecureTransport &SecureTransport()
{
    static TOpenSslTransport transport;
    return transport;
}

} // namespace Halcyra::Platform
