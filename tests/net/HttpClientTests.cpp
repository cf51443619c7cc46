// The HTTP client against a real server on 127.0.0.1: the exact request bytes, statuses, redirects
// and cookies, the time budgets, the size limits and the network errors.
#include "net/HttpClient.h"
#include "net/SockErrors.h"
#include "net/TextRoutines.h"
#include "platform/Socket.h"

#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "support/FakeApplication.h"
#include "support/FakeSocket.h"

#include <gtest/gtest.h>

#include <chrono>

namespace Halcyra::Net {
namespace {

using Testing::TLoopbackConnection;
using Testing::TLoopbackServer;

using Testing::AcceptLines;
using Testing::ContentTypeLine;
using Testing::ErrorOf;
using Testing::Ok;

// Answers every request with the same response.
TLoopbackServer::TResponder Answer(std::string response)
{
    return [response](TLoopbackConnection &connection, const std::string &) { connection.Send(response); };
}

class HttpClientTest : public ::testing::Test {
protected:
    Testing::TFakeApplication FApplication;
    THttpClient FClient{Platform::Sockets(), FApplication};
};

TEST_F(HttpClientTest, DirectGetSendsExactlyTheRequestLines)
{
    TLoopbackServer server(Answer(Ok("<rss/>")));
    FClient.Get("http://" + server.GetAuthority() + "/forecastrss?p=20001&u=f");
    ASSERT_EQ(server.GetRequests().size(), 1u);
    EXPECT_EQ(server.GetRequests()[0], std::string("GET /forecastrss?p=20001&u=f HTTP/1.0\r\n"
                                                   "Host: 127.0.0.1\r\n") +
                                           AcceptLines + ContentTypeLine + "\r\n");
    EXPECT_EQ(FClient.GetBody(), "<rss/>");
    EXPECT_EQ(FClient.GetStatus(), 200);
    EXPECT_EQ(FClient.GetHeader(), "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n");
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientTest, UrlWithoutPathIsRequestedAsSlash)
{
    TLoopbackServer server(Answer(Ok("root")));
    FClient.Get("http://" + server.GetAuthority());
    ASSERT_EQ(server.GetRequests().size(), 1u);
    EXPECT_EQ(server.GetRequests()[0].substr(0, 16), "GET / HTTP/1.0\r\n");
    EXPECT_EQ(FClient.GetURL(), "http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetBody(), "root");
}

TEST_F(HttpClientTest, UrlWithoutSchemeUsesThePortAfterTheHost)
{
    TLoopbackServer server(Answer(Ok("plain")));
    FClient.Get(server.GetAuthority() + "/feed");
    ASSERT_EQ(server.GetRequests().size(), 1u);
    EXPECT_EQ(server.GetRequests()[0].substr(0, 38), "GET /feed HTTP/1.0\r\nHost: 127.0.0.1\r\nA");
}

TEST_F(HttpClientTest, LongPathIsCutTo256Characters)
{
    TLoopbackServer server(Answer(Ok("long")));
    std::string path = "/" + std::string(300, 'a');
    FClient.Get("http://" + server.GetAuthority() + path);
    ASSERT_EQ(server.GetRequests().size(), 1u);
    EXPECT_EQ(server.GetRequests()[0].substr(0, 4 + 256 + 11), "GET " + path.substr(0, 256) + " HTTP/1.0\r\n");
}

TEST_F(HttpClientTest, ProxyRequestCarriesTheWholeUrlAndOneHostLine)
{
    TLoopbackServer proxy(Answer(Ok("via proxy")));
    FClient.SetProxy("127.0.0.1");
    FClient.SetProxyPort(proxy.GetPort());
    FClient.Get("http://feeds.example.com:8080/rss/world.xml");
    ASSERT_EQ(proxy.GetRequests().size(), 1u);
    EXPECT_EQ(proxy.GetRequests()[0], std::string("GET http://feeds.example.com:8080/rss/world.xml HTTP/1.0\r\n"
                                                  "Proxy-Connection: Keep-Alive\r\n"
                                                  "Host: feeds.example.com\r\n") +
                                          AcceptLines + ContentTypeLine + "\r\n");
    EXPECT_EQ(FClient.GetBody(), "via proxy");
}

TEST_F(HttpClientTest, NotFoundFillsBodyAndFiresOnFailure)
{
    TLoopbackServer server(Answer(TLoopbackServer::Response(404, "Not Found", "", "<html>missing</html>")));
    int successes = 0;
    int failures = 0;
    FClient.SetOnSuccess([&](THttpClient &, TCmdType) { ++successes; });
    FClient.SetOnFailure([&](THttpClient &sender, TCmdType command) {
        EXPECT_EQ(&sender, &FClient);
        EXPECT_EQ(command, TCmdType::Get);
        EXPECT_EQ(sender.GetBody(), "<html>missing</html>");
        ++failures;
    });
    FClient.Get("http://" + server.GetAuthority() + "/none");
    EXPECT_EQ(FClient.GetStatus(), 404);
    EXPECT_EQ(FClient.GetBody(), "<html>missing</html>");
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failures, 1);
}

TEST_F(HttpClientTest, SuccessFiresOnSuccessOnce)
{
    TLoopbackServer server(Answer(Ok("fine")));
    int successes = 0;
    int failures = 0;
    FClient.SetOnSuccess([&](THttpClient &, TCmdType) { ++successes; });
    FClient.SetOnFailure([&](THttpClient &, TCmdType) { ++failures; });
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(failures, 0);
}

TEST_F(HttpClientTest, RedirectCookieGoesWithTheRedirectAndNotWithTheNextGet)
{
    std::string authority;
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /start ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found",
                                                      "Location: http://" + authority + "/next\r\n"
                                                      "Set-Cookie: session=abc123; path=/\r\n",
                                                      "moved"));
        else
            connection.Send(Ok("arrived"));
    });
    authority = server.GetAuthority();
    int successes = 0;
    FClient.SetOnSuccess([&](THttpClient &, TCmdType) { ++successes; });
    FClient.Get("http://" + authority + "/start");
    EXPECT_EQ(FClient.GetBody(), "arrived");
    EXPECT_EQ(FClient.GetHeaderInfo().Cookie, "session=abc123; path=/");
    EXPECT_EQ(successes, 1);

    FClient.Get("http://" + authority + "/again");
    std::vector<std::string> requests = server.GetRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    const std::string lines = std::string("Host: 127.0.0.1\r\n") + AcceptLines;
    EXPECT_EQ(requests[1], "GET /next HTTP/1.0\r\n" + lines + "Cookie: session=abc123; path=/\r\n" + ContentTypeLine + "\r\n");
    EXPECT_EQ(requests[2], "GET /again HTTP/1.0\r\n" + lines + ContentTypeLine + "\r\n");
    EXPECT_EQ(FClient.GetHeaderInfo().Cookie, "");
}

TEST_F(HttpClientTest, RedirectCookieIsNotSentToAnotherHost)
{
    // Both names reach the same server; the cookie set for one never goes to the other.
    std::string port;
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /start ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found",
                                                      "Location: http://localhost:" + port + "/elsewhere\r\n"
                                                      "Set-Cookie: session=abc123\r\n",
                                                      ""));
        else
            connection.Send(Ok("arrived"));
    });
    port = std::to_string(server.GetPort());
    FClient.SetTimeOut(5000);
    FClient.Get("http://127.0.0.1:" + port + "/start");
    EXPECT_EQ(FClient.GetBody(), "arrived");
    ASSERT_EQ(server.GetRequests().size(), 2u);
    EXPECT_EQ(server.GetRequests()[1].substr(0, 38), "GET /elsewhere HTTP/1.0\r\nHost: localho");
    EXPECT_EQ(server.GetRequests()[1].find("Cookie:"), std::string::npos);
}

TEST_F(HttpClientTest, RedirectToAPathStaysOnTheServer)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /old ", 0) == 0)
            connection.Send(TLoopbackServer::Response(301, "Moved Permanently", "location: /new/place\r\n", ""));
        else
            connection.Send(Ok("new"));
    });
    FClient.Get("http://" + server.GetAuthority() + "/old");
    ASSERT_EQ(server.GetRequests().size(), 2u);
    EXPECT_EQ(server.GetRequests()[1].substr(0, 36), "GET /new/place HTTP/1.0\r\nHost: 127.0");
    EXPECT_EQ(FClient.GetURL(), "http://" + server.GetAuthority() + "/new/place");
    EXPECT_EQ(FClient.GetBody(), "new");
}

TEST_F(HttpClientTest, RelativeRedirectIsTakenFromTheCurrentAddress)
{
    struct TCase {
        const char *Location;
        const char *Requested;
    };
    for (TCase redirect : {
             TCase{"dir/page.xml", "/a/b/dir/page.xml"},
             TCase{"page.xml", "/a/b/page.xml"},
             TCase{"../x", "/a/x"},
             TCase{"/abs/path", "/abs/path"},
             TCase{"?next=2", "/a/b/old?next=2"},
         }) {
        std::string location = std::string("Location: ") + redirect.Location + "\r\n";
        TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
            if (request.rfind("GET /a/b/old ", 0) == 0)
                connection.Send(TLoopbackServer::Response(302, "Found", location, ""));
            else
                connection.Send(Ok("moved"));
        });
        FClient.Get("http://" + server.GetAuthority() + "/a/b/old");
        ASSERT_EQ(server.GetRequests().size(), 2u) << redirect.Location;
        EXPECT_EQ(server.GetRequests()[1].substr(0, server.GetRequests()[1].find("\r\n")),
                  std::string("GET ") + redirect.Requested + " HTTP/1.0")
            << redirect.Location;
        EXPECT_EQ(FClient.GetURL(), "http://" + server.GetAuthority() + redirect.Requested);
        EXPECT_EQ(FClient.GetBody(), "moved");
    }
}

TEST_F(HttpClientTest, EndlessRedirectsStopAfterTenRequests)
{
    int served = 0;
    std::string authority;
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &) {
        ++served;
        connection.Send(TLoopbackServer::Response(302, "Found", "Location: http://" + authority + "/loop\r\n",
                                                  "hop " + std::to_string(served)));
    });
    authority = server.GetAuthority();
    FClient.Get("http://" + authority + "/loop");
    EXPECT_EQ(server.GetRequests().size(), 10u);
    EXPECT_EQ(FClient.GetStatus(), 302);
    EXPECT_EQ(FClient.GetBody(), "hop 10");
}

TEST_F(HttpClientTest, RepeatStatusesRepeatTheSameRequestBoundedly)
{
    for (int status : {299, 303, 304, 399}) {
        TLoopbackServer server(Answer(TLoopbackServer::Response(status, "Again", "", "again")));
        FClient.Get("http://" + server.GetAuthority() + "/same");
        std::vector<std::string> requests = server.GetRequests();
        ASSERT_EQ(requests.size(), 10u) << status;
        for (const std::string &request : requests)
            EXPECT_EQ(request.substr(0, 20), "GET /same HTTP/1.0\r\n");
        EXPECT_EQ(FClient.GetBody(), "again");
    }
}

TEST_F(HttpClientTest, StatusLineWithoutNumberCountsAsSuccess)
{
    TLoopbackServer server(Answer("HTTP/1.0 OK\r\n\r\nbody"));
    int successes = 0;
    FClient.SetOnSuccess([&](THttpClient &, TCmdType) { ++successes; });
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetStatus(), 0);
    EXPECT_EQ(FClient.GetBody(), "body");
    EXPECT_EQ(successes, 1);
}

TEST_F(HttpClientTest, EmptyAnswerGivesAnEmptyBody)
{
    TLoopbackServer server(Answer(""));
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetStatus(), 0);
    EXPECT_EQ(FClient.GetBody(), "");
    EXPECT_EQ(FClient.GetHeader(), "");
}

TEST_F(HttpClientTest, HeaderWithBareLineFeedsAndAStatusWithoutReason)
{
    TLoopbackServer server(Answer("HTTP/1.1 200\nX-A: 1\n\nline one\nline two"));
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetStatus(), 200);
    EXPECT_EQ(FClient.GetHeader(), "HTTP/1.1 200\nX-A: 1\n\n");
    EXPECT_EQ(FClient.GetBody(), "line one\nline two");
}

TEST_F(HttpClientTest, ContentLengthEndsTheBodyOfAConnectionKeptOpen)
{
    // Each server keeps the connection open long after the budget: only the length can end the body.
    struct TCase {
        const char *Name;
        bool ThroughProxy;
        const char *Answer;
        const char *Body;
    };
    for (TCase answer : {
             TCase{"direct", false, "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nall of it", "all of it"},
             TCase{"proxy keeping the connection alive", true,
                   "HTTP/1.1 200 OK\r\nProxy-Connection: keep-alive\r\nContent-length:  5 \r\n\r\nfeed.", "feed."},
             TCase{"empty body", true, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
             TCase{"bytes after the length", false, "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nall of it", "all"},
             TCase{"the same length twice", false,
                   "HTTP/1.0 200 OK\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nok", "ok"},
         }) {
        TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &) {
            connection.Send(answer.Answer);
            connection.Pause(20000);
        });
        FClient.SetTimeOut(5000);
        if (answer.ThroughProxy) {
            FClient.SetProxy("127.0.0.1");
            FClient.SetProxyPort(server.GetPort());
        } else {
            FClient.SetProxy("");
        }
        // Through the proxy the feed's own host is never looked up.
        std::string host = answer.ThroughProxy ? "feeds.example" : server.GetAuthority();
        EXPECT_NO_THROW(FClient.Get("http://" + host + "/rss.xml")) << answer.Name;
        EXPECT_EQ(FClient.GetBody(), answer.Body) << answer.Name;
        EXPECT_FALSE(FClient.GetConnected());
    }
}

TEST_F(HttpClientTest, UnusableContentLengthLeavesTheBodyToTheClose)
{
    // Lengths that are no number or disagree, and one longer than what comes before the close.
    for (const char *lengths : {
             "Content-Length: many\r\n",
             "Content-Length: -4\r\n",
             "Content-Length:\r\n",
             "Content-Length: 99999999999999999999999\r\n",
             "Content-Length: 3\r\nContent-Length: 4\r\n",
         }) {
        TLoopbackServer server(Answer(TLoopbackServer::Response(200, "OK", lengths, "whole body")));
        FClient.Get("http://" + server.GetAuthority() + "/");
        EXPECT_EQ(FClient.GetBody(), "whole body") << lengths;
    }
}

TEST_F(HttpClientTest, BodyShorterThanItsLengthAbortsTheCapture)
{
    TLoopbackServer server(Answer(TLoopbackServer::Response(200, "OK", "Content-Length: 1000000\r\n", "whole body")));
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }), "Socket capture aborted");
    EXPECT_EQ(FClient.GetBody(), "whole body");
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientTest, BodyArrivingInPiecesIsJoined)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send("HTTP/1.0 200 OK\r\nX-Slow: yes\r\n");
        connection.Pause(50);
        connection.Send("\r\nfirst,");
        connection.Pause(50);
        connection.Send("second");
    });
    FClient.SetTimeOut(2000);
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetHeader(), "HTTP/1.0 200 OK\r\nX-Slow: yes\r\n\r\n");
    EXPECT_EQ(FClient.GetBody(), "first,second");
}

TEST_F(HttpClientTest, ServerSilentForFiveSecondsMidBodyAbortsTheCapture)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("part one,"));
        connection.Pause(8000);
        connection.Send("too late");
    });
    FClient.SetTimeOut(5000);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
              "Socket capture aborted");
    auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::milliseconds(4900));
    EXPECT_LT(elapsed, std::chrono::seconds(6));
    EXPECT_EQ(FClient.GetBody(), "part one,");
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientTest, BodyWithPiecesThreeSecondsApartIsReadWhole)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("a"));
        connection.Pause(3000);
        connection.Send("b");
        connection.Pause(3000);
        connection.Send("c");
    });
    FClient.SetTimeOut(5000);
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetBody(), "abc");
}

TEST_F(HttpClientTest, ServerThatDripsIsCutOffByTheRequestsDeadline)
{
    // A byte well within every silence budget, for far longer than the request may last; the first
    // answer is a redirect, whose time counts too.
    std::string authority;
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /first ", 0) == 0) {
            connection.Pause(100);
            connection.Send(TLoopbackServer::Response(302, "Found", "Location: http://" + authority + "/drip\r\n", ""));
            return;
        }
        connection.Send("HTTP/1.0 200 OK\r\n\r\n");
        for (int i = 0; i < 400 && connection.Send("x"); ++i)
            connection.Pause(10);
    });
    authority = server.GetAuthority();
    FClient.SetTimeOut(1000);
    FClient.SetOverallTimeOut(300);
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + authority + "/first"); }), "Socket capture aborted");
    EXPECT_EQ(server.GetRequests().size(), 2u);
    EXPECT_LT(FClient.GetBody().size(), 400u);
    EXPECT_FALSE(FClient.GetConnected());
    // The next Get has a deadline of its own.
    TLoopbackServer quick(Answer(Ok("in time")));
    FClient.Get("http://" + quick.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetBody(), "in time");
}

TEST_F(HttpClientTest, SilentHeaderAbortsTheLineRead)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send("HTTP/1.0 200 OK\r\nX-Partial: ");
        connection.Pause(3000);
    });
    FClient.SetTimeOut(300);
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
              "Socket readln aborted");
}

TEST_F(HttpClientTest, BodyOfEightMebibytesIsKeptAndOneByteMoreAborts)
{
    const std::string limit(THttpClient::MaxBodySize, 'x');
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
        connection.Send("HTTP/1.0 200 OK\r\n\r\n");
        connection.Send(limit);
        if (request.rfind("GET /over ", 0) == 0)
            connection.Send("y");
    });
    FClient.SetTimeOut(5000);
    FClient.Get("http://" + server.GetAuthority() + "/exact");
    EXPECT_EQ(FClient.GetBody().size(), THttpClient::MaxBodySize);
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/over"); }),
              "Socket capture aborted");
    EXPECT_LE(FClient.GetBody().size(), THttpClient::MaxBodySize);
}

TEST_F(HttpClientTest, HeaderBlockOverSixtyFourKibibytesAborts)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send("HTTP/1.0 200 OK\r\n");
        for (int i = 0; i < 1100; ++i)
            connection.Send("X-Padding-" + std::to_string(i) + ": " + std::string(50, 'p') + "\r\n");
        connection.Send("\r\nbody");
    });
    FClient.SetTimeOut(5000);
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
              "Socket readln aborted");
    EXPECT_LE(FClient.GetHeader().size(), THttpClient::MaxHeaderSize);
}

TEST_F(HttpClientTest, HeaderLineLongerThanTheBufferAborts)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send("HTTP/1.0 200 OK\r\nX-Huge: " + std::string(70000, 'h') + "\r\n\r\n");
    });
    FClient.SetTimeOut(5000);
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
              "Socket readln aborted");
}

TEST_F(HttpClientTest, LongLocationAndCookieValuesAreCutTo256)
{
    std::string authority;
    std::string longCookie = "c=" + std::string(400, 'k');
    TLoopbackServer server([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("GET /a ", 0) == 0)
            connection.Send(TLoopbackServer::Response(302, "Found",
                                                      "Location: http://" + authority + "/" + std::string(400, 'z') +
                                                          "\r\nSet-Cookie: " + longCookie + "\r\n",
                                                      ""));
        else
            connection.Send(Ok("done"));
    });
    authority = server.GetAuthority();
    FClient.Get("http://" + authority + "/a");
    EXPECT_EQ(FClient.GetHeaderInfo().Cookie, longCookie.substr(0, 256));
    std::string location = ("http://" + authority + "/" + std::string(400, 'z')).substr(0, 256);
    EXPECT_EQ(FClient.GetURL(), location);
    ASSERT_EQ(server.GetRequests().size(), 2u);
    EXPECT_NE(server.GetRequests()[1].find("Cookie: " + longCookie.substr(0, 256) + "\r\n"), std::string::npos);
}

TEST_F(HttpClientTest, ConnectionResetMidBodyIsASocketError)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("partial"));
        connection.Pause(100);
        connection.Reset();
    });
    FClient.SetTimeOut(5000);
    if (Testing::RunningUnderWine()) {
        // Wine's Windows Sockets report a reset after data as the peer's close.
        FClient.Get("http://" + server.GetAuthority() + "/");
        EXPECT_EQ(FClient.GetBody(), "partial");
    } else {
        EXPECT_EQ(ErrorOf([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
                  "10054:Connection reset by peer");
    }
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientTest, ConnectionRefused)
{
    FClient.SetTimeOut(5000);
    std::string url = "http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort()) + "/";
    EXPECT_EQ(ErrorOf([&] { FClient.Get(url); }), "10061:Connection refused");
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientTest, ClientServesTheNextRequestAfterAFailure)
{
    TLoopbackServer server(Answer(Ok("recovered")));
    std::string refused = "http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort()) + "/";
    EXPECT_THROW(FClient.Get(refused), ESockError);
    FClient.Disconnect();
    FClient.Abort();
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_EQ(FClient.GetBody(), "recovered");
}

TEST_F(HttpClientTest, AbortWhileTheBodyArrivesEndsTheCapture)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("start"));
        connection.Pause(5000);
    });
    FClient.SetTimeOut(0);
    // Abort from a handler once the whole header has been read, while the body waits.
    FApplication.OnProcessMessages = [&] {
        const std::string &header = FClient.GetHeader();
        if (header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0)
            FClient.Abort();
    };
    EXPECT_EQ(ErrorOf<EAbortError>([&] { FClient.Get("http://" + server.GetAuthority() + "/"); }),
              "Socket capture aborted");
}

TEST_F(HttpClientTest, ApplicationMessagesAreHandledWhileWaiting)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Pause(200);
        connection.Send(Ok("late"));
    });
    FClient.SetTimeOut(5000);
    FClient.Get("http://" + server.GetAuthority() + "/");
    EXPECT_GT(FApplication.ProcessMessagesCount, 5);
}

TEST_F(HttpClientTest, GetFromAHandlerDuringAGetIsRefused)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) {
        connection.Pause(100);
        connection.Send(Ok("outer"));
    });
    std::string nested;
    FApplication.OnProcessMessages = [&] {
        if (!nested.empty())
            return;
        try {
            FClient.Get("http://" + server.GetAuthority() + "/inner");
            nested = "no error";
        } catch (const ESockError &error) {
            nested = error.what();
        }
    };
    FClient.SetTimeOut(5000);
    FClient.Get("http://" + server.GetAuthority() + "/outer");
    EXPECT_EQ(nested, "Already connected");
    EXPECT_EQ(FClient.GetBody(), "outer");
    EXPECT_EQ(server.GetRequests().size(), 1u);
}

TEST_F(HttpClientTest, UrlErrorsAreUrlAndConversionErrorsNotSocketErrors)
{
    auto errorOf = [&](const std::string &url) -> std::string {
        try {
            FClient.Get(url);
        } catch (const ESockError &error) {
            return std::string("socket error ") + error.what();
        } catch (const EURLError &error) {
            return std::string("URL error ") + error.what();
        } catch (const EConvertError &error) {
            return std::string("conversion error ") + error.what();
        }
        return "no error";
    };
    EXPECT_EQ(errorOf(""), "URL error Empty URL");
    EXPECT_EQ(errorOf("http://feeds.example/a b"), "URL error Invalid character in URL");
    EXPECT_EQ(errorOf("http://127.0.0.1:80a/"), "conversion error '80a' is not a valid integer value");
    EXPECT_EQ(errorOf("http://127.0.0.1:/"), "conversion error '' is not a valid integer value");
}

TEST_F(HttpClientTest, PortOutsideTheSixteenBitRangeIsRefused)
{
    EXPECT_EQ(ErrorOf([&] { FClient.Get("http://127.0.0.1:70000/"); }), "10049:Can't assign requested address");
    EXPECT_EQ(ErrorOf([&] { FClient.Get("http://127.0.0.1:0/"); }), "10049:Can't assign requested address");
}

TEST_F(HttpClientTest, LocalhostIsResolvedByName)
{
    TLoopbackServer server(Answer(Ok("by name")));
    FClient.SetTimeOut(5000);
    FClient.Get("http://localhost:" + std::to_string(server.GetPort()) + "/");
    EXPECT_EQ(FClient.GetBody(), "by name");
    EXPECT_EQ(server.GetRequests()[0].substr(0, 33), "GET / HTTP/1.0\r\nHost: localhost\r\n");
}

TEST(HttpClientLookup, HostThatCannotBeANameIsNeverLookedUp)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets(&Platform::Sockets());
    THttpClient client(sockets, application);
    for (const char *url : {"http://no..such..host/", "http://.leading.example/",
                            "http:///x", "http://host!.example/", "http://caf\xC3\xA9.example/"}) {
        EXPECT_EQ(ErrorOf([&] { client.Get(url); }), "Null Remote Address") << url;
    }
    std::string longLabel = "http://" + std::string(64, 'a') + ".example/";
    EXPECT_EQ(ErrorOf([&] { client.Get(longLabel); }), "Null Remote Address");
    EXPECT_TRUE(sockets.LookedUp.empty());
}

TEST(HttpClientLookup, HostThatDoesNotResolve)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets(&Platform::Sockets());
    sockets.Lookups["no-such-host.example"] = {};
    THttpClient client(sockets, application);
    client.SetTimeOut(5000);
    EXPECT_EQ(ErrorOf([&] { client.Get("http://no-such-host.example/feed"); }), "Null Remote Address");
    EXPECT_EQ(sockets.LookedUp, std::vector<std::string>{"no-such-host.example"});
}

TEST(HttpClientLookup, LookupThatNeverEndsTimesOutOrIsCancelled)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets(&Platform::Sockets());
    sockets.Lookups["slow.example"] = {Platform::IHostLookup::TState::Pending, 0, 0};
    THttpClient client(sockets, application);
    client.SetTimeOut(200);
    EXPECT_EQ(ErrorOf([&] { client.Get("http://slow.example/"); }), "Host Lookup Timed Out");

    client.SetTimeOut(0);
    application.ProcessMessagesCount = 0;
    application.OnProcessMessages = [&] {
        if (application.ProcessMessagesCount == 3)
            client.Abort();
    };
    EXPECT_EQ(ErrorOf([&] { client.Get("http://slow.example/"); }), "Host Lookup Canceled");
}

TEST(HttpClientLookup, ProxyHostIsLookedUpInsteadOfTheUrlsHost)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets(&Platform::Sockets());
    TLoopbackServer proxy(Answer(Ok("proxied")));
    sockets.Lookups["proxy.example"] = {Platform::IHostLookup::TState::Found, 0x7F000001, 0};
    THttpClient client(sockets, application);
    client.SetProxy("proxy.example");
    client.SetProxyPort(proxy.GetPort());
    client.SetTimeOut(5000);
    client.Get("http://unresolvable.example/feed");
    EXPECT_EQ(sockets.LookedUp, std::vector<std::string>{"proxy.example"});
    EXPECT_EQ(client.GetBody(), "proxied");
}

TEST(SockErrorText, CodeAndDescriptionOrUnknown)
{
    EXPECT_EQ(SockErrorText(10061), "10061:Connection refused");
    EXPECT_EQ(SockErrorText(10004), "10004:Interrupted system call");
    EXPECT_EQ(SockErrorText(10047), "10047:Address family not supported by protocol family");
    EXPECT_EQ(SockErrorText(10093), "10093:Successful WSAStartup not yet performed");
    EXPECT_EQ(SockErrorText(11003), "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
    EXPECT_EQ(SockErrorText(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(SockErrorText(10072), "Unknown Error No. 10072");
    EXPECT_EQ(SockErrorText(0), "Unknown Error No. 0");
    EXPECT_EQ(SockErrorText(5), "Unknown Error No. 5");
}

} // namespace
} // namespace Halcyra::Net
