// The HTTP client's failures that a real network cannot be made to show on demand, on scripted
// sockets: start-up, socket creation, stalled connects and sends, errors mid-answer, and how each
// socket is closed.
#include "net/HttpClient.h"
#include "net/SockErrors.h"

#include "support/FakeApplication.h"
#include "support/FakeSocket.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

using Platform::SocketError::WouldBlock;
using Testing::TFakeSocketScript;

constexpr const char *Url = "http://127.0.0.1/feed";

TFakeSocketScript Answering(std::vector<std::string> pieces, int endResult = 0)
{
    TFakeSocketScript script;
    script.Pieces = std::move(pieces);
    script.EndResult = endResult;
    return script;
}

class HttpClientFailureTest : public ::testing::Test {
protected:
    std::string ErrorOf(const std::string &url = Url)
    {
        try {
            FClient.Get(url);
        } catch (const ESockError &error) {
            return error.what();
        }
        return "no error";
    }

    Testing::TFakeApplication FApplication;
    Testing::TFakeSocketLayer FSockets;
    THttpClient FClient{FSockets, FApplication};
};

TEST(HttpClientStartup, FailedStartupIsASocketError)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets;
    sockets.StartupResult = 10091;
    try {
        THttpClient client(sockets, application);
        ADD_FAILURE() << "no error";
    } catch (const ESockError &error) {
        EXPECT_STREQ(error.what(), "Initializaton of windows sockets failed");
    }
    EXPECT_EQ(sockets.CleanupCount, 0);
}

TEST(HttpClientStartup, EachClientStartsAndEndsTheLibraryOnce)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets;
    {
        THttpClient first(sockets, application);
        THttpClient second(sockets, application);
        EXPECT_EQ(sockets.StartupCount, 2);
        EXPECT_EQ(sockets.CleanupCount, 0);
    }
    EXPECT_EQ(sockets.CleanupCount, 2);
}

TEST_F(HttpClientFailureTest, FirstSocketResetsOnCloseAndLaterOnesCloseGracefully)
{
    auto first = FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\none"}));
    auto second = FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\ntwo"}));
    auto third = FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nthree"}));
    FClient.Get(Url);
    FClient.Get(Url);
    FClient.Get(Url);
    EXPECT_EQ(FClient.GetBody(), "three");
    ASSERT_TRUE(first->Closed && second->Closed && third->Closed);
    EXPECT_EQ(first->CloseKind, Platform::TSocketClose::Abortive);
    EXPECT_EQ(second->CloseKind, Platform::TSocketClose::Graceful);
    EXPECT_EQ(third->CloseKind, Platform::TSocketClose::Graceful);
}

TEST_F(HttpClientFailureTest, SocketThatCannotBeMade)
{
    FSockets.CreateResult = 10024;
    EXPECT_EQ(ErrorOf(), "10024:Too many open files");
}

TEST_F(HttpClientFailureTest, ConnectErrorsAndTheirTexts)
{
    TFakeSocketScript refused;
    refused.ConnectReturn = 10061;
    FSockets.AddScript(refused);
    EXPECT_EQ(ErrorOf(), "10061:Connection refused");

    TFakeSocketScript unreachable;
    unreachable.ConnectReturn = WouldBlock;
    unreachable.ConnectResults = {WouldBlock, WouldBlock, 10065};
    FSockets.AddScript(unreachable);
    EXPECT_EQ(ErrorOf(), "10065:No route to Host");

    TFakeSocketScript failed;
    failed.ConnectReturn = WouldBlock;
    failed.ConnectResults = {Platform::SocketError::NotConnected};
    FSockets.AddScript(failed);
    EXPECT_EQ(ErrorOf(), "Connection Failed");

    TFakeSocketScript odd;
    odd.ConnectReturn = 10099;
    FSockets.AddScript(odd);
    EXPECT_EQ(ErrorOf(), "Unknown Error No. 10099");
}

TEST_F(HttpClientFailureTest, ConnectThatNeverFinishesTimesOutOrIsCancelled)
{
    TFakeSocketScript stalled;
    stalled.ConnectReturn = WouldBlock;
    stalled.ConnectResults = {WouldBlock};
    auto first = FSockets.AddScript(stalled);
    FClient.SetTimeOut(100);
    EXPECT_EQ(ErrorOf(), "Connection Timed out");
    EXPECT_TRUE(first->Closed);

    FSockets.AddScript(stalled);
    FClient.SetTimeOut(0);
    FApplication.ProcessMessagesCount = 0;
    FApplication.OnProcessMessages = [&] {
        if (FApplication.ProcessMessagesCount == 5)
            FClient.Abort();
    };
    EXPECT_EQ(ErrorOf(), "Connection Canceled");
}

TEST_F(HttpClientFailureTest, SendThatNeverGetsThroughIsAborted)
{
    TFakeSocketScript blocked;
    blocked.SendBlocks = true;
    FSockets.AddScript(blocked);
    FClient.SetTimeOut(100);
    try {
        FClient.Get(Url);
        ADD_FAILURE() << "no error";
    } catch (const EAbortError &error) {
        EXPECT_STREQ(error.what(), "Socket send aborted");
    }
}

TEST_F(HttpClientFailureTest, SendErrorIsASocketError)
{
    TFakeSocketScript broken;
    broken.SendError = 10053;
    FSockets.AddScript(broken);
    EXPECT_EQ(ErrorOf(), "10053:Software caused connection abort");
}

TEST_F(HttpClientFailureTest, ErrorWhileReadingTheHeaderOrTheBody)
{
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\nX-"}, 10054));
    EXPECT_EQ(ErrorOf(), "10054:Connection reset by peer");
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\npartial"}, 10052));
    EXPECT_EQ(ErrorOf(), "10052:Network dropped connection or reset");
    EXPECT_EQ(FClient.GetBody(), "partial");
}

TEST_F(HttpClientFailureTest, NotConnectedEndsTheBodyLikeAClose)
{
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nall", "", " there"}, Platform::SocketError::NotConnected));
    FClient.Get(Url);
    EXPECT_EQ(FClient.GetBody(), "all there");
}

TEST_F(HttpClientFailureTest, HeaderEndingWithTheConnection)
{
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\nX-Last: no line end"}));
    FClient.Get(Url);
    EXPECT_EQ(FClient.GetHeader(), "HTTP/1.0 200 OK\r\nX-Last: no line end");
    EXPECT_EQ(FClient.GetBody(), "");
}

TEST_F(HttpClientFailureTest, HeaderLinesSplitAcrossReceives)
{
    FSockets.AddScript(Answering({"HTT", "", "P/1.0 302 Fo", "und\r\nLoca", "tion: /x\r", "\n\r", "\nbody"}));
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nsecond"}));
    FClient.Get(Url);
    EXPECT_EQ(FSockets.Created[0]->Sent.substr(0, 20), "GET /feed HTTP/1.0\r\n");
    EXPECT_EQ(FSockets.Created[1]->Sent.substr(0, 17), "GET /x HTTP/1.0\r\n");
    EXPECT_EQ(FClient.GetBody(), "second");
}

TEST_F(HttpClientFailureTest, RedirectWithoutLocationAsksForTheRoot)
{
    FSockets.AddScript(Answering({"HTTP/1.0 302 Found\r\n\r\n"}));
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nroot"}));
    FClient.Get("http://127.0.0.1/page");
    EXPECT_EQ(FSockets.Created[1]->Sent.substr(0, 16), "GET / HTTP/1.0\r\n");
    EXPECT_EQ(FClient.GetURL(), "http://127.0.0.1/");
}

TEST_F(HttpClientFailureTest, RedirectToAnotherHostAndPort)
{
    FSockets.Lookups["mirror.example"] = {Platform::IHostLookup::TState::Found, 0x7F000001, 0};
    FSockets.AddScript(Answering({"HTTP/1.0 301 Moved\r\nLocation: http://mirror.example:8081/feed.xml\r\n\r\n"}));
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nmirrored"}));
    FClient.Get(Url);
    EXPECT_EQ(FSockets.Created[1]->Sent.substr(0, 48), "GET /feed.xml HTTP/1.0\r\nHost: mirror.example\r\nAc");
    EXPECT_EQ(FClient.GetPort(), 8081);
    EXPECT_EQ(FClient.GetBody(), "mirrored");
}

TEST_F(HttpClientFailureTest, RedirectToAnotherSchemeEndsTheRequest)
{
    // Followed, each would send an HTTP request to the port its scheme names.
    for (const char *location : {"ftp://files.example/feed", "gopher://hole.example/1", "FILE:///etc/passwd",
                                 "javascript:alert(1)", "news:comp.feeds"}) {
        FSockets.Created.clear();
        FSockets.AddScript(Answering({std::string("HTTP/1.0 301 Moved\r\nLocation: ") + location + "\r\n\r\n"}));
        EXPECT_EQ(ErrorOf(), "Unsupported redirect") << location;
        ASSERT_EQ(FSockets.Created.size(), 1u) << location;
        EXPECT_TRUE(FSockets.Created[0]->Closed);
    }
}

// The secure path on scripted sockets and sessions that pass bytes through: failures no real server
// shows on demand, and the ends of a record stream.
TEST_F(HttpClientFailureTest, SecureSessionsThatFailHaveTheHandshakesText)
{
    using Platform::TSecureFailure;
    using Platform::TSecureStep;
    Testing::TFakeSecureScript &secure = FSockets.FakeSecure.Script;
    struct TCase {
        const char *Name;
        bool CannotBegin;
        std::vector<std::string> Answer;
        int EndResult;
        TSecureStep End;
        TSecureFailure Failure;
        const char *Text;
    };
    for (const TCase &test : {
             TCase{"no session", true, {}, 0, TSecureStep::Done, TSecureFailure::None, "Secure connection failed: handshake"},
             TCase{"closed mid-handshake", false, {"SERV"}, 0, TSecureStep::Done, TSecureFailure::None,
                   "Secure connection failed: handshake"},
             TCase{"reset mid-handshake", false, {"SERV"}, 10054, TSecureStep::Done, TSecureFailure::None,
                   "10054:Connection reset by peer"},
             TCase{"refused", false, {"SERVER"}, 0, TSecureStep::Failed, TSecureFailure::Expired,
                   "Secure connection failed: certificate expired"},
         }) {
        secure.CannotBegin = test.CannotBegin;
        secure.HandshakeBytes = 6;
        secure.HandshakeEnd = test.End;
        secure.Failure = test.Failure;
        auto script = FSockets.AddScript(Answering(test.Answer, test.EndResult));
        EXPECT_EQ(ErrorOf("https://127.0.0.1/feed"), test.Text) << test.Name;
        EXPECT_EQ(script->Sent.find("GET "), std::string::npos) << test.Name;
        EXPECT_FALSE(FClient.GetConnected());
    }
    EXPECT_EQ(secure.Hosts, std::vector<std::string>(4, "127.0.0.1"));
}

TEST_F(HttpClientFailureTest, SecureRecordsEndingBadlyOrEarly)
{
    Testing::TFakeSecureScript &secure = FSockets.FakeSecure.Script;
    secure.HandshakeBytes = 6;
    // The handshake's end and the header in one piece; what came before the bad record is kept.
    secure.FailAt = "#BAD";
    auto failing = FSockets.AddScript(Answering({"SERVERHTTP/1.0 200 OK\r\n\r\npart one,", " part two#BAD and more"}));
    EXPECT_EQ(ErrorOf("https://127.0.0.1/feed"), "Secure connection failed: handshake");
    EXPECT_EQ(FClient.GetBody(), "part one, part two");
    EXPECT_EQ(failing->Sent.substr(0, 26), "HELLO\nGET /feed HTTP/1.0\r\n");

    // The close notification ends the body while the connection stays open (the script then is silent).
    secure.FailAt.clear();
    secure.CloseAt = "#CLOSE";
    FClient.SetTimeOut(5000);
    FSockets.AddScript(Answering({"SERVER", "HTTP/1.0 200 OK\r\n\r\nall", " of it#CLOSE"}, WouldBlock));
    FClient.Get("https://127.0.0.1/feed");
    EXPECT_EQ(FClient.GetBody(), "all of it");

    // A whole answer that came with the end of the handshake is read though the connection then ends.
    secure.CloseAt.clear();
    FSockets.AddScript(Answering({"SERVERHTTP/1.0 200 OK\r\n\r\nearly"}));
    FClient.Get("https://127.0.0.1/feed");
    EXPECT_EQ(FClient.GetBody(), "early");

    secure.CloseAt.clear();
    secure.CannotEncrypt = true;
    FSockets.AddScript(Answering({"SERVER"}));
    EXPECT_EQ(ErrorOf("https://127.0.0.1/feed"), "Secure connection failed: handshake");
}

TEST_F(HttpClientFailureTest, TunnelAnswerInPiecesThenTheSecureRequest)
{
    FClient.SetProxy("127.0.0.1");
    FClient.SetProxyPort(3128);
    FSockets.FakeSecure.Script.HandshakeBytes = 6;
    auto script = FSockets.AddScript(Answering({"HTTP/1.1 200 Conn", "", "ection established\r\nVia: p\r\n\r", "\n",
                                                "SERVER", "HTTP/1.0 200 OK\r\n\r\ntunnelled"}));
    FClient.Get("https://feeds.example:8443/rss");
    EXPECT_EQ(FClient.GetBody(), "tunnelled");
    EXPECT_EQ(script->Sent.substr(0, 75), "CONNECT feeds.example:8443 HTTP/1.0\r\nHost: feeds.example:8443\r\n\r\nHELLO\nGET ");
    EXPECT_EQ(FSockets.FakeSecure.Script.Hosts, std::vector<std::string>{"feeds.example"});
    // The name goes only to the proxy.
    EXPECT_TRUE(FSockets.LookedUp.empty());

    // A proxy that closes without a word refused the tunnel too.
    FSockets.AddScript(Answering({}));
    EXPECT_EQ(ErrorOf("https://feeds.example/rss"), "Proxy refused the tunnel: ");
}

TEST_F(HttpClientFailureTest, HandlerThatThrowsStillClosesTheSocket)
{
    auto script = FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\nx"}));
    FClient.SetOnSuccess([](THttpClient &, TCmdType) { throw std::runtime_error("handler failed"); });
    EXPECT_THROW(FClient.Get(Url), std::runtime_error);
    EXPECT_TRUE(script->Closed);
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(HttpClientFailureTest, CookieFromARepeatStatusIsKept)
{
    FSockets.AddScript(Answering({"HTTP/1.0 303 See Other\r\nSet-Cookie: id=7\r\n\r\n"}));
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\n"}));
    FClient.Get(Url);
    EXPECT_EQ(FClient.GetHeaderInfo().Cookie, "id=7");
    EXPECT_EQ(FSockets.Created[1]->Sent.find("Cookie: id=7\r\nContent-type:") != std::string::npos, true);
}

TEST_F(HttpClientFailureTest, SetCookieWithoutSpaceAfterTheColonIsNotTaken)
{
    FSockets.AddScript(Answering({"HTTP/1.0 302 Found\r\nSet-Cookie:id=7\r\nLOCATION: /y\r\n\r\n"}));
    FSockets.AddScript(Answering({"HTTP/1.0 200 OK\r\n\r\n"}));
    FClient.Get(Url);
    EXPECT_EQ(FClient.GetHeaderInfo().Cookie, "");
    EXPECT_EQ(FSockets.Created[1]->Sent.substr(0, 15), "GET /y HTTP/1.0");
}

} // namespace
} // namespace Halcyra::Net
