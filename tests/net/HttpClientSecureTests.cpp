// The HTTP client over TLS against real TLS servers on 127.0.0.1 (TlsTestServer.py, with a test CA made
// when it starts): the body and the exact request inside TLS, one text per certificate failure, the
// handshake's budget and stop, redirects between the schemes, a body cut short, and a proxy's tunnel.
#include "net/FeedThread.h"
#include "net/HttpClient.h"
#include "net/SockErrors.h"
#include "platform/Socket.h"

#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "net/TlsTestServer.h"
#include "support/FakeApplication.h"

#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <stop_token>

namespace Halcyra::Net {
namespace {

using Testing::Ok;
using Testing::TLoopbackConnection;
using Testing::TLoopbackServer;

// The TLS servers of the suite: started once (their certificates take a moment to make, more so under
// Wine), with a backend whose answer each test sets and whose requests each test starts afresh.
class TSecureServers {
public:
    TLoopbackServer::TResponder GetResponder()
    {
        std::lock_guard guard(FLock);
        return FResponder;
    }
    void SetResponder(TLoopbackServer::TResponder responder)
    {
        std::lock_guard guard(FLock);
        FResponder = std::move(responder);
    }

    TLoopbackServer Backend{[this](TLoopbackConnection &connection, const std::string &request) {
        GetResponder()(connection, request);
    }};
    Testing::TTlsTestServer Tls{Backend.GetPort()};

private:
    std::mutex FLock;
    TLoopbackServer::TResponder FResponder;
};

class HttpClientSecureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Servers = new TSecureServers; }
    static void TearDownTestSuite()
    {
        delete Servers;
        Servers = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(FTls.Running()) << FTls.Error();
        FBackend.ClearRequests();
        Respond([](TLoopbackConnection &connection, const std::string &) { connection.Send(Ok("secure body")); });
        FTrust.emplace(FTls.CaPem());
        ASSERT_TRUE(FTrust->Trusted());
        FClient.SetTimeOut(5000);
    }

    // What the server behind the TLS fronts answers; Ok("secure body") until a test says otherwise.
    void Respond(TLoopbackServer::TResponder responder) { Servers->SetResponder(std::move(responder)); }

    // The requests that reached the backend in this test. SChannel checks the certificate once its side
    // of the handshake is done, so a server may see a connection that carries no request: such a one,
    // of this test or an earlier one, does not count.
    std::vector<std::string> Requests() const
    {
        std::vector<std::string> requests = FBackend.GetRequests();
        std::erase(requests, std::string());
        return requests;
    }

    // The text of the ESockError (or subclass) that a Get of url raises.
    template <typename TError = ESockError>
    std::string ErrorOf(const std::string &url)
    {
        return Testing::ErrorOf<TError>([&] { FClient.Get(url); });
    }

    static inline TSecureServers *Servers = nullptr;
    TLoopbackServer &FBackend = Servers->Backend;
    Testing::TTlsTestServer &FTls = Servers->Tls;
    std::optional<Testing::TTrustedTestCa> FTrust;
    Testing::TFakeApplication FApplication;
    THttpClient FClient{Platform::Sockets(), FApplication};
};

TEST_F(HttpClientSecureTest, GoodCertificateGivesTheBodyAndTheRequestNamesItsPath)
{
    // The front refuses a handshake without the server name localhost: the name went out.
    FClient.Get(FTls.Url("good", "/rss/world.xml?edition=int"));
    EXPECT_EQ(FClient.GetBody(), "secure body");
    EXPECT_EQ(FClient.GetStatus(), 200);
    EXPECT_EQ(FClient.GetHeader(), "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n");
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0],
              Testing::SecureGet("localhost:" + std::to_string(FTls.Port("good")), "/rss/world.xml?edition=int"));
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientSecureTest, LargeBodyAndAnotherRequestOnTheSameClient)
{
    std::string feed;
    for (int i = 0; feed.size() < 1024 * 1024; ++i)
        feed += "<item><title>Headline " + std::to_string(i) + "</title></item>\n";
    Respond([&](TLoopbackConnection &connection, const std::string &) { connection.Send(Ok(feed)); });
    FClient.Get(FTls.Url("good", "/big.xml"));
    EXPECT_EQ(FClient.GetBody(), feed);
    Respond([](TLoopbackConnection &connection, const std::string &) { connection.Send(Ok("small")); });
    FClient.Get(FTls.Url("good", "/small.xml"));
    EXPECT_EQ(FClient.GetBody(), "small");
}

TEST_F(HttpClientSecureTest, EachCertificateFailureHasItsOwnText)
{
    struct TCase {
        const char *Front;
        const char *Text;
    };
    for (TCase failure : {
             TCase{"other-host", "Secure connection failed: certificate is for another host"},
             TCase{"expired", "Secure connection failed: certificate expired"},
             TCase{"self-signed", "Secure connection failed: certificate not trusted"},
             TCase{"tls10", "Secure connection failed: handshake"},
         }) {
        EXPECT_EQ(ErrorOf(FTls.Url(failure.Front, "/feed.xml")), failure.Text) << failure.Front;
        EXPECT_FALSE(FClient.GetConnected());
    }
    EXPECT_TRUE(Requests().empty()) << "nothing was sent over a failed connection";
}

TEST_F(HttpClientSecureTest, CertificateFromAnUnknownCaIsNotTrusted)
{
    FTrust.reset();
    EXPECT_EQ(ErrorOf(FTls.Url("good", "/feed.xml")), "Secure connection failed: certificate not trusted");
    FTrust.emplace(FTls.CaPem());
    FClient.Get(FTls.Url("good", "/feed.xml"));
    EXPECT_EQ(FClient.GetBody(), "secure body");
}

#ifndef _WIN32
// Wine's certificate policy matches no address names, so this runs on Linux only.
TEST_F(HttpClientSecureTest, AnAddressIsCheckedAgainstTheCertificatesAddresses)
{
    const std::string authority = "127.0.0.1:" + std::to_string(FTls.Port("address"));
    FClient.Get("https://" + authority + "/feed.xml");
    EXPECT_EQ(FClient.GetBody(), "secure body");
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0], Testing::SecureGet(authority, "/feed.xml"));
    // The other host's certificate names no address.
    EXPECT_EQ(ErrorOf("https://127.0.0.1:" + std::to_string(FTls.Port("other-host")) + "/"),
              "Secure connection failed: certificate is for another host");
}
#endif

TEST_F(HttpClientSecureTest, StalledHandshakeRunsOutOfItsBudgetOrTheRequestsDeadline)
{
    const std::string url = FTls.Url("stall", "/feed.xml");
    FClient.SetTimeOut(200);
    EXPECT_EQ(ErrorOf(url), "Connection Timed out");
    FClient.SetTimeOut(0);
    FClient.SetOverallTimeOut(200);
    EXPECT_EQ(ErrorOf(url), "Connection Timed out");
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientSecureTest, StopOrAbortDuringTheHandshakeEndsItAtOnce)
{
    const std::string url = FTls.Url("stall", "/feed.xml");
    FClient.SetTimeOut(0);
    FClient.SetOverallTimeOut(0);
    std::stop_source stop;
    FApplication.OnProcessMessages = [&] {
        if (FApplication.ProcessMessagesCount == 5)
            stop.request_stop();
    };
    try {
        FClient.Get(url, stop.get_token());
        ADD_FAILURE() << "no error";
    } catch (const ESockError &error) {
        EXPECT_STREQ(error.what(), "Connection Canceled");
    }
    EXPECT_LT(FApplication.ProcessMessagesCount, 10);

    FApplication.ProcessMessagesCount = 0;
    FApplication.OnProcessMessages = [&] {
        if (FApplication.ProcessMessagesCount == 5)
            FClient.Abort();
    };
    EXPECT_EQ(ErrorOf(url), "Connection Canceled");
}

TEST_F(HttpClientSecureTest, FeedStepEndedDuringAHandshakeReturnsAtOnce)
{
    TFeedValues values;
    TFeedSettings settings;
    settings.ShowNews = true;
    settings.RSS_Url = FTls.Url("stall", "/news.xml");
    WeatherHTTP feed(FApplication, FClient, values, settings, [] { return 0; }, TThreadStart::Suspended);
    FApplication.OnProcessMessages = [&] {
        if (FApplication.ProcessMessagesCount == 3)
            feed.Terminate();
    };
    feed.FeedTick();
    // The step's 5 s budget would have taken hundreds of looks at the socket.
    EXPECT_LT(FApplication.ProcessMessagesCount, 10);
    EXPECT_EQ(values.GetRssLine(), "*** Not Available Now ***");
}

TEST_F(HttpClientSecureTest, RedirectsBetweenSchemes)
{
    const std::string secureAuthority = "localhost:" + std::to_string(FTls.Port("good"));
    TLoopbackServer plain([&](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(301, "Moved Permanently",
                                                  "Location: https://" + secureAuthority + "/secure/feed.xml\r\n", ""));
    });
    Respond([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /old ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found", "Location: ../new/feed.xml\r\n", ""));
        else if (request.rfind("GET /down ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found", "Location: http://" + plain.GetAuthority() + "/\r\n", ""));
        else if (request.rfind("GET /files ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found", "Location: ftp://localhost/feed.xml\r\n", ""));
        else
            connection.Send(Ok("arrived over TLS"));
    });

    // http to https, and https to https (a relative location keeps the scheme).
    FClient.Get("http://" + plain.GetAuthority() + "/feed.xml");
    EXPECT_EQ(FClient.GetBody(), "arrived over TLS");
    EXPECT_EQ(FClient.GetURL(), "https://" + secureAuthority + "/secure/feed.xml");
    FClient.Get("https://" + secureAuthority + "/old");
    EXPECT_EQ(FClient.GetBody(), "arrived over TLS");
    EXPECT_EQ(Requests().back(), Testing::SecureGet(secureAuthority, "/new/feed.xml"));

    // https to http, and to another scheme, are not followed.
    const std::size_t plainRequests = plain.GetRequests().size();
    EXPECT_EQ(ErrorOf("https://" + secureAuthority + "/down"), "Redirect to an insecure address refused");
    EXPECT_EQ(ErrorOf("https://" + secureAuthority + "/files"), "Unsupported redirect");
    EXPECT_EQ(plain.GetRequests().size(), plainRequests);
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientSecureTest, BodyShorterThanItsLengthAbortsTheCapture)
{
    Respond([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Length: 100\r\n", "only ten b"));
    });
    EXPECT_EQ(ErrorOf<EAbortError>(FTls.Url("good", "/feed.xml")), "Socket capture aborted");
    EXPECT_EQ(FClient.GetBody(), "only ten b");
}

TEST_F(HttpClientSecureTest, ThroughAProxyTheRequestGoesInsideItsTunnel)
{
    const std::uint16_t port = FTls.Port("good");
    const std::string authority = "localhost:" + std::to_string(port);
    TLoopbackServer proxy([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("CONNECT ", 0) == 0)
            connection.Tunnel(port);
    });
    FClient.SetProxy("127.0.0.1");
    FClient.SetProxyPort(proxy.GetPort());
    FClient.Get("https://" + authority + "/rss/world.xml");
    EXPECT_EQ(FClient.GetBody(), "secure body");
    ASSERT_EQ(proxy.GetRequests().size(), 1u);
    EXPECT_EQ(proxy.GetRequests()[0], Testing::TunnelRequest(authority));
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0], Testing::SecureGet(authority, "/rss/world.xml"));
}

TEST_F(HttpClientSecureTest, ProxyThatRefusesTheTunnel)
{
    TLoopbackServer proxy([](TLoopbackConnection &connection, const std::string &) {
        connection.Send("HTTP/1.0 403 Forbidden\r\nContent-Type: text/html\r\n\r\n<html>No tunnels here</html>");
    });
    FClient.SetProxy("127.0.0.1");
    FClient.SetProxyPort(proxy.GetPort());
    EXPECT_EQ(ErrorOf(FTls.Url("good", "/feed.xml")), "Proxy refused the tunnel: HTTP/1.0 403 Forbidden");
    EXPECT_TRUE(Requests().empty());
    EXPECT_FALSE(FClient.GetConnected());
}

} // namespace
} // namespace Halcyra::Net
