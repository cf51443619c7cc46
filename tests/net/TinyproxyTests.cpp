// The HTTP client and the feed step through a real HTTP proxy: tinyproxy, started on 127.0.0.1 with a
// configuration of the test's own and stopped by its process id; https through its CONNECT tunnels.
#include "net/FeedThread.h"
#include "net/HttpClient.h"
#include "net/SockErrors.h"
#include "platform/Socket.h"

#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "net/TlsTestServer.h"
#include "support/FakeApplication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace Halcyra::Net {
namespace {

using Testing::TLoopbackConnection;
using Testing::TLoopbackServer;

constexpr const char *TinyproxyBinary = "/usr/bin/tinyproxy";

// A tinyproxy process that listens on 127.0.0.1 only and allows only 127.0.0.1, with tunnels to the
// given ports only (none given: to no port but the proxy's defaults).
class TTinyproxy {
public:
    explicit TTinyproxy(const std::vector<std::uint16_t> &connectPorts = {})
    {
        if (access(TinyproxyBinary, X_OK) != 0)
            return;
        char folder[] = "/tmp/halcyra-tinyproxy-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            return;
        FFolder = folder;
        // The proxy drops to nobody and still writes its log here.
        chmod(folder, 0755);
        std::ofstream(FFolder + "/tinyproxy.log").close();
        chmod((FFolder + "/tinyproxy.log").c_str(), 0666);
        FPort = TLoopbackServer::UnusedPort();
        FConfig = FFolder + "/tinyproxy.conf";
        std::ofstream config(FConfig);
        config << "Port " << FPort << "\n"
               << "Listen 127.0.0.1\n"
               << "Allow 127.0.0.1\n"
               << "Timeout 30\n"
               << "MaxClients 8\n"
               << "LogFile \"" << FFolder << "/tinyproxy.log\"\n"
               << "LogLevel Warning\n"
               << "PidFile \"" << FFolder << "/tinyproxy.pid\"\n";
        for (std::uint16_t port : connectPorts)
            config << "ConnectPort " << port << "\n";
        if (geteuid() == 0)
            config << "User nobody\nGroup nogroup\n";
        config.close();

        const char *arguments[] = {TinyproxyBinary, "-d", "-c", FConfig.c_str(), nullptr};
        if (posix_spawn(&FPid, TinyproxyBinary, nullptr, nullptr, const_cast<char *const *>(arguments), environ) != 0) {
            FPid = 0;
            return;
        }
        // Ready once it accepts connections.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Accepts())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Stop();
    }

    ~TTinyproxy()
    {
        Stop();
        if (!FFolder.empty()) {
            std::remove((FFolder + "/tinyproxy.log").c_str());
            std::remove((FFolder + "/tinyproxy.pid").c_str());
            std::remove(FConfig.c_str());
            rmdir(FFolder.c_str());
        }
    }

    bool Running() const { return FPid > 0; }
    std::uint16_t GetPort() const { return FPort; }
    std::string Log() const
    {
        std::ifstream file(FFolder + "/tinyproxy.log");
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    bool Accepts() const
    {
        std::unique_ptr<Platform::IStreamSocket> socket;
        if (Platform::Sockets().CreateStream(socket) != 0)
            return false;
        int result = socket->Connect(0x7F000001, FPort);
        for (int i = 0; i < 50 && result == Platform::SocketError::WouldBlock; ++i) {
            bool ready = false;
            socket->Wait(Platform::TSocketWait::Writable, 10, ready);
            result = socket->ConnectResult();
        }
        socket->Close(Platform::TSocketClose::Graceful);
        return result == 0;
    }

    void Stop()
    {
        if (FPid <= 0)
            return;
        kill(FPid, SIGTERM);
        int status = 0;
        waitpid(FPid, &status, 0);
        FPid = 0;
    }

    std::string FFolder;
    std::string FConfig;
    std::uint16_t FPort = 0;
    pid_t FPid = 0;
};

class TinyproxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FProxy.Running()) << "tinyproxy (Debian package tinyproxy-bin) did not start";
    }

    TTinyproxy FProxy;
    Testing::TFakeApplication FApplication;
};

// A TLS server behind tinyproxy, whose tunnels go to the TLS front's port only.
class TinyproxyTunnelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTls.Running()) << FTls.Error();
        FProxy = std::make_unique<TTinyproxy>(std::vector<std::uint16_t>{FTls.Port("good")});
        ASSERT_TRUE(FProxy->Running()) << "tinyproxy (Debian package tinyproxy-bin) did not start";
        FTrust.emplace(FTls.CaPem());
        FClient.SetTimeOut(5000);
        FClient.SetProxy("127.0.0.1");
        FClient.SetProxyPort(FProxy->GetPort());
    }

    TLoopbackServer FOrigin{[](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "", Testing::ReadNetTestFile("news-rss2-world.xml")));
    }};
    Testing::TTlsTestServer FTls{FOrigin.GetPort()};
    std::unique_ptr<TTinyproxy> FProxy;
    std::optional<Testing::TTrustedTestCa> FTrust;
    Testing::TFakeApplication FApplication;
    THttpClient FClient{Platform::Sockets(), FApplication};
};

TEST_F(TinyproxyTunnelTest, SecureFeedIsFetchedThroughTheTunnel)
{
    FClient.Get(FTls.Url("good", "/rss/world.xml"));
    EXPECT_EQ(FClient.GetStatus(), 200) << FProxy->Log();
    EXPECT_EQ(FClient.GetBody(), Testing::ReadNetTestFile("news-rss2-world.xml"));
    ASSERT_EQ(FOrigin.GetRequests().size(), 1u);
    EXPECT_EQ(FOrigin.GetRequests()[0].substr(0, 29), "GET /rss/world.xml HTTP/1.0\r\n");
}

TEST_F(TinyproxyTunnelTest, TunnelToAPortTheProxyDoesNotAllowIsRefused)
{
    std::string error = "no error";
    try {
        FClient.Get(FTls.Url("other-host", "/rss/world.xml"));
    } catch (const ESockError &caught) {
        error = caught.what();
    }
    EXPECT_EQ(error, "Proxy refused the tunnel: HTTP/1.0 403 Access violation") << FProxy->Log();
    EXPECT_TRUE(FOrigin.GetRequests().empty());
}

TEST_F(TinyproxyTest, FeedIsFetchedThroughTheProxy)
{
    std::string feed = Testing::ReadNetTestFile("news-rss2-world.xml");
    TLoopbackServer origin([&](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: application/rss+xml\r\n", feed));
    });
    THttpClient client(Platform::Sockets(), FApplication);
    client.SetTimeOut(5000);
    client.SetProxy("127.0.0.1");
    client.SetProxyPort(FProxy.GetPort());
    client.Get("http://" + origin.GetAuthority() + "/rss/world.xml");
    EXPECT_EQ(client.GetStatus(), 200) << FProxy.Log();
    EXPECT_EQ(client.GetBody(), feed);
    ASSERT_EQ(origin.GetRequests().size(), 1u);
    // The proxy turned the full URL back into a path for the origin server.
    EXPECT_EQ(origin.GetRequests()[0].substr(0, 31), "GET /rss/world.xml HTTP/1.0\r\nHo");
}

TEST_F(TinyproxyTest, ProxyErrorPageIsABodyWithAFailureStatus)
{
    THttpClient client(Platform::Sockets(), FApplication);
    client.SetTimeOut(5000);
    client.SetProxy("127.0.0.1");
    client.SetProxyPort(FProxy.GetPort());
    int failures = 0;
    client.SetOnFailure([&](THttpClient &, TCmdType) { ++failures; });
    client.Get("http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort()) + "/feed");
    EXPECT_GE(client.GetStatus(), 400);
    EXPECT_FALSE(client.GetBody().empty());
    EXPECT_EQ(failures, 1);
}

TEST_F(TinyproxyTest, FeedStepUsesTheProxySetting)
{
    TLoopbackServer origin([](TLoopbackConnection &connection, const std::string &request) {
        bool forWeather = request.find("/forecastrss?p=USOR0338&u=f ") != std::string::npos;
        connection.Send(TLoopbackServer::Response(
            200, "OK", "", Testing::ReadNetTestFile(forWeather ? "weather-two-day-f.xml" : "news-double-escaped.xml")));
    });
    THttpClient client(Platform::Sockets(), FApplication);
    TFeedValues values;
    TFeedSettings settings;
    settings.ShowWeather = true;
    settings.ShowNews = true;
    settings.UseProxy = true;
    settings.Proxy = "127.0.0.1";
    settings.Port = std::to_string(FProxy.GetPort());
    settings.TDegree = "f";
    settings.WeatherCode = "USOR0338";
    settings.WeatherSource = TWeatherSource::RssFeed;
    settings.WeatherHost = origin.GetAuthority();
    settings.RSS_Url = "http://" + origin.GetAuthority() + "/notes.rss";
    WeatherHTTP feed(FApplication, client, values, settings, [] { return 0; }, TThreadStart::Suspended);
    feed.FeedTick();
    EXPECT_EQ(origin.GetRequests().size(), 2u) << FProxy.Log();
    EXPECT_EQ(values.GetTodayCode(), 32);
    EXPECT_EQ(values.GetTomorrowHi(), "78");
    EXPECT_EQ(values.GetNameNews(), "Rails Notes");
    EXPECT_EQ(values.GetRssLine(), "  ***  Review of \"Agile Web Development\"  ***  Use <b> sparingly & don't nest  ***  ");
}

} // namespace
} // namespace Halcyra::Net
