// The feed step and its thread: the refresh schedule, the downloads against a real server on
// 127.0.0.1 (directly and through the proxy setting), failures that leave the gadgets as they were,
// and ending the thread while it waits for the user-interface thread or for a download.
#include "net/FeedThread.h"
#include "net/SockErrors.h"
#include "net/WeatherService.h"
#include "platform/Resources.h"
#include "platform/Socket.h"
#include "platform/TextEncodings.h"
#include "platform/UiWorkQueue.h"

#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "support/FakeApplication.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Halcyra::Net {
namespace {

// The tests that need many steps take them 1 ms apart.
constexpr std::chrono::milliseconds FastSteps{1};

using Testing::ReadNetTestFile;
using Testing::TLoopbackConnection;
using Testing::TLoopbackServer;

std::string Ok(const std::string &body)
{
    return TLoopbackServer::Response(200, "OK", "Content-Type: text/xml;charset=UTF-8\r\n", body);
}

// Serves the weather feed on /forecastrss and the news feed on any other path.
class TFeedServer {
public:
    TFeedServer(std::string weather, std::string news)
        : FServer([weather = std::move(weather), news = std::move(news)](TLoopbackConnection &connection,
                                                                         const std::string &request) {
              bool forWeather = request.find("/forecastrss?") != std::string::npos;
              connection.Send(Ok(forWeather ? weather : news));
          })
    {
    }

    TLoopbackServer FServer;
};

void ExpectWeatherUntouched(const TFeedValues &values)
{
    EXPECT_EQ(values.GetTodayCode(), 48);
    EXPECT_EQ(values.GetTodayNow(), "NA");
    EXPECT_EQ(values.GetTomorrowCode(), 48);
    EXPECT_EQ(values.GetTomorrowLow(), "NA");
    EXPECT_EQ(values.GetTomorrowHi(), "NA");
}

class FeedStepTest : public ::testing::Test {
protected:
    // A feed step driven by hand, with the minute under the test's control.
    std::unique_ptr<WeatherHTTP> MakeFeed(const TFeedSettings &settings)
    {
        return std::make_unique<WeatherHTTP>(FApplication, FClient, FValues, settings, [this] { return FMinute.load(); },
                                             TThreadStart::Suspended);
    }

    TFeedSettings Settings(const TLoopbackServer &server, bool weather, bool news)
    {
        TFeedSettings settings;
        settings.ShowWeather = weather;
        settings.ShowNews = news;
        settings.TDegree = "f";
        settings.WeatherCode = "USOR0338";
        settings.WeatherSource = TWeatherSource::RssFeed;
        settings.WeatherHost = server.GetAuthority();
        settings.RSS_Url = "http://" + server.GetAuthority() + "/rss/world.xml";
        return settings;
    }

    Testing::TFakeApplication FApplication;
    THttpClient FClient{Platform::Sockets(), FApplication};
    TFeedValues FValues;
    std::atomic<int> FMinute = 0;
};

TEST(FeedValues, StartWithTheGadgetsInitialValues)
{
    TFeedValues values;
    EXPECT_EQ(values.GetRefreshCounter(), 0);
    EXPECT_EQ(values.GetTodayCode(), 48);
    EXPECT_EQ(values.GetTomorrowCode(), 48);
    EXPECT_EQ(values.GetTodayNow(), "NA");
    EXPECT_EQ(values.GetTomorrowLow(), "NA");
    EXPECT_EQ(values.GetTomorrowHi(), "NA");
    EXPECT_EQ(values.GetRssLine(), "*** Not Available Now ***");
    EXPECT_EQ(values.GetNameNews(), "");
    EXPECT_EQ(values.GetNewsLink(), "");
}

TEST(FeedValues, TextsReadOnOneThreadWhileAnotherWritesAreAlwaysWhole)
{
    TFeedValues values;
    const std::string shortLine(10, 'a');
    const std::string longLine(5000, 'b');
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            values.SetRssLine(i % 2 == 0 ? shortLine : longLine);
        done = true;
    });
    int torn = 0;
    while (!done) {
        std::string line = values.GetRssLine();
        if (line != shortLine && line != longLine && line != "*** Not Available Now ***")
            ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST_F(FeedStepTest, FirstStepRefreshesAndThenEveryThirtyMinuteChanges)
{
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), "");
    auto feed = MakeFeed(Settings(feeds.FServer, true, false));
    FMinute = 0;
    feed->FeedTick();
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 1u);
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
    // Steps within the same minute count nothing.
    feed->FeedTick();
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
    for (int change = 1; change <= 29; ++change) {
        FMinute = change;
        feed->FeedTick();
        feed->FeedTick();
    }
    EXPECT_EQ(FValues.GetRefreshCounter(), 30);
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 1u);
    FMinute = 30;
    feed->FeedTick();
    EXPECT_EQ(FValues.GetRefreshCounter(), 0);
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 1u);
    feed->FeedTick();
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 2u);
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
    EXPECT_EQ(feed->LastMinute, 30);
}

TEST_F(FeedStepTest, FirstMinuteChangeMayComeAtOnce)
{
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), "");
    auto feed = MakeFeed(Settings(feeds.FServer, true, false));
    FMinute = 17;
    feed->FeedTick();
    EXPECT_EQ(FValues.GetRefreshCounter(), 2);
    EXPECT_EQ(feed->LastMinute, 17);
}

TEST_F(FeedStepTest, NothingIsDownloadedWhenBothGadgetsAreOff)
{
    TFeedServer feeds("", "");
    auto feed = MakeFeed(Settings(feeds.FServer, false, false));
    feed->FeedTick();
    EXPECT_TRUE(feeds.FServer.GetRequests().empty());
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
}

TEST_F(FeedStepTest, WeatherRefreshAsksForTheLocationAndUnitsAndSetsTheGadget)
{
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), "");
    auto feed = MakeFeed(Settings(feeds.FServer, true, false));
    feed->RefreshWeatherFeed();
    ASSERT_EQ(feeds.FServer.GetRequests().size(), 1u);
    EXPECT_EQ(feeds.FServer.GetRequests()[0].substr(0, 40), "GET /forecastrss?p=USOR0338&u=f HTTP/1.0");
    EXPECT_EQ(FValues.GetTodayCode(), 32);
    EXPECT_EQ(FValues.GetTodayNow(), "75");
    EXPECT_EQ(FValues.GetTomorrowCode(), 26);
    EXPECT_EQ(FValues.GetTomorrowLow(), "58");
    EXPECT_EQ(FValues.GetTomorrowHi(), "78");
    EXPECT_EQ(FClient.GetTimeOut(), 5000);
}

TEST_F(FeedStepTest, WeatherThroughTheProxySettingUsesTheBuildsHost)
{
    TFeedServer proxy(ReadNetTestFile("weather-five-day-c.xml"), "");
    TFeedSettings settings = Settings(proxy.FServer, true, false);
    settings.WeatherHost = TFeedSettings{}.WeatherHost;
    settings.TDegree = "c";
    settings.WeatherCode = "SPXX0016";
    settings.UseProxy = true;
    settings.Proxy = "127.0.0.1";
    settings.Port = std::to_string(proxy.FServer.GetPort());
    auto feed = MakeFeed(settings);
    feed->RefreshWeatherFeed();
    ASSERT_EQ(proxy.FServer.GetRequests().size(), 1u);
    std::string host = BuildHosts::WeatherHost;
    EXPECT_EQ(proxy.FServer.GetRequests()[0].substr(0, 80),
              ("GET http://" + host + "/forecastrss?p=SPXX0016&u=c HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
               "Host: " + host + "\r\nAccept")
                  .substr(0, 80));
    EXPECT_EQ(FValues.GetTodayCode(), 11);
    EXPECT_EQ(FValues.GetTodayNow(), "-1");
}

// The forecast service on a server of the test's own, answering every request with `answer`.
class FeedStepFromTheService : public FeedStepTest {
protected:
    TFeedSettings ServiceSettings(const TLoopbackServer &server, const char *code = "20001")
    {
        TFeedSettings settings = Settings(server, true, false);
        settings.WeatherSource = TWeatherSource::Service;
        settings.WeatherService = "http://" + server.GetAuthority();
        settings.WeatherCode = code;
        settings.WeatherPlace = EmbeddedLocationCoordinates(Platform::ModuleResources()).Find(code);
        return settings;
    }
    static std::unique_ptr<TLoopbackServer> Serving(std::string answer)
    {
        return std::make_unique<TLoopbackServer>([answer = std::move(answer)](TLoopbackConnection &connection, const std::string &) {
            connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: application/json; charset=utf-8\r\n", answer));
        });
    }
    void Refresh(const std::string &answer)
    {
        const auto server = Serving(answer);
        MakeFeed(ServiceSettings(*server))->RefreshWeatherFeed();
        EXPECT_EQ(server->GetRequests().size(), 1u);
    }
    void ExpectWashington()
    {
        EXPECT_EQ(FValues.GetTodayCode(), 30);
        EXPECT_EQ(FValues.GetTodayNow(), "42");
        EXPECT_EQ(FValues.GetTomorrowCode(), 11);
        EXPECT_EQ(FValues.GetTomorrowLow(), "33");
        EXPECT_EQ(FValues.GetTomorrowHi(), "48");
    }
};

TEST_F(FeedStepFromTheService, AsksForThePlacesCoordinatesAndSetsTheGadget)
{
    const auto server = Serving(ReadNetTestFile("weather-service-washington-f.json"));
    MakeFeed(ServiceSettings(*server))->FeedTick();
    ASSERT_EQ(server->GetRequests().size(), 1u);
    const std::string request = server->GetRequests()[0];
    EXPECT_EQ(request.substr(0, request.find("\r\n")),
              "GET /v1/forecast?latitude=38.8951&longitude=-77.0364&current=temperature_2m,weather_code,is_day"
              "&daily=weather_code,temperature_2m_min,temperature_2m_max&timezone=auto&forecast_days=2"
              "&temperature_unit=fahrenheit HTTP/1.0");
    ExpectWashington();
    EXPECT_EQ(FClient.GetTimeOut(), 5000);
}

TEST_F(FeedStepFromTheService, GoesThroughTheProxySettingWithTheWholeAddress)
{
    const auto proxy = Serving(ReadNetTestFile("weather-service-nukualofa-c.json"));
    TFeedSettings settings = ServiceSettings(*proxy, "TNXX0001");
    settings.WeatherService = "http://weather-service.example";
    settings.TDegree = "c";
    settings.UseProxy = true;
    settings.Proxy = "127.0.0.1";
    settings.Port = std::to_string(proxy->GetPort());
    ASSERT_TRUE(settings.WeatherPlace);
    MakeFeed(settings)->RefreshWeatherFeed();
    ASSERT_EQ(proxy->GetRequests().size(), 1u);
    EXPECT_EQ(proxy->GetRequests()[0],
              Testing::ProxiedGet("weather-service.example",
                                  WeatherServiceURL("", *settings.WeatherPlace, TTemperatureUnit::Celsius)));
    EXPECT_EQ(FValues.GetTomorrowCode(), 4);
}

TEST_F(FeedStepFromTheService, AnswersThatCannotBeReadShowNotAvailableFirstAndChangeNothingLater)
{
    const std::string good = ReadNetTestFile("weather-service-washington-f.json");
    const std::vector<std::string> bad = {
        "",
        ReadNetTestFile("weather-service-bad-gateway.html"),
        ReadNetTestFile("weather-service-error-latitude.json"),
        Testing::ReplaceOnce(good, "[3,61]", "[3,\"rain\"]"),
        Testing::ReplaceOnce(good, "\"elevation\":14.0", "\"elevation\":14.0,\"x\":\"" + std::string(100 * 1024, 'x') + "\""),
    };
    Refresh(bad[1]);
    ExpectWeatherUntouched(FValues);
    Refresh(good);
    ExpectWashington();
    for (const std::string &answer : bad) {
        Refresh(answer);
        ExpectWashington();
    }
}

TEST_F(FeedStepFromTheService, ACodeWithoutCoordinatesIsNotAvailableAndAsksNothing)
{
    Refresh(ReadNetTestFile("weather-service-washington-f.json"));
    const auto server = Serving(ReadNetTestFile("weather-service-washington-f.json"));
    TFeedSettings settings = ServiceSettings(*server, "USXX9999");
    EXPECT_FALSE(settings.WeatherPlace);
    MakeFeed(settings)->RefreshWeatherFeed();
    EXPECT_TRUE(server->GetRequests().empty());
    ExpectWeatherUntouched(FValues);
}

TEST_F(FeedStepTest, WeatherErrorPageGivesTheNotAvailableValues)
{
    TFeedServer good(ReadNetTestFile("weather-two-day-f.xml"), "");
    MakeFeed(Settings(good.FServer, true, false))->RefreshWeatherFeed();
    EXPECT_EQ(FValues.GetTodayCode(), 32);
    TFeedServer bad(ReadNetTestFile("weather-error-page.html"), "");
    MakeFeed(Settings(bad.FServer, true, false))->RefreshWeatherFeed();
    ExpectWeatherUntouched(FValues);
}

TEST_F(FeedStepTest, WeatherAnswersThatCannotBeReadChangeNothing)
{
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    for (const std::string &answer : {ReadNetTestFile("weather-error-city-not-found.xml"),
                                      Testing::ReplaceOnce(feed, "code=\"26\"", "code=\"N/A\"")}) {
        TFeedServer feeds(answer, "");
        MakeFeed(Settings(feeds.FServer, true, false))->RefreshWeatherFeed();
        EXPECT_EQ(feeds.FServer.GetRequests().size(), 1u);
        ExpectWeatherUntouched(FValues);
    }
}

TEST_F(FeedStepTest, NetworkFailureChangesNothingAndTheNewsStillRefreshes)
{
    TFeedServer feeds("", ReadNetTestFile("news-rss2-world.xml"));
    TFeedSettings settings = Settings(feeds.FServer, true, true);
    settings.WeatherHost = "127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort());
    auto feed = MakeFeed(settings);
    feed->FeedTick();
    ExpectWeatherUntouched(FValues);
    EXPECT_EQ(FValues.GetNameNews(), "World & Region | The Daily Ledger");
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
    EXPECT_FALSE(FClient.GetConnected());
}

TEST_F(FeedStepTest, TimedOutDownloadChangesNothing)
{
    TLoopbackServer silent([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("<?xml version=\"1.0\"?>"));
        connection.Pause(7000);
    });
    auto feed = MakeFeed(Settings(silent, true, false));
    auto started = std::chrono::steady_clock::now();
    feed->FeedTick();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    ExpectWeatherUntouched(FValues);
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
}

TEST_F(FeedStepTest, ProxyPortThatIsNoNumberEndsTheRefreshQuietly)
{
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), ReadNetTestFile("news-rss2-world.xml"));
    TFeedSettings settings = Settings(feeds.FServer, true, true);
    settings.UseProxy = true;
    settings.Proxy = "127.0.0.1";
    settings.Port = "eighty";
    auto feed = MakeFeed(settings);
    EXPECT_NO_THROW(feed->FeedTick());
    EXPECT_TRUE(feeds.FServer.GetRequests().empty());
    ExpectWeatherUntouched(FValues);
    EXPECT_EQ(FValues.GetRssLine(), "*** Not Available Now ***");
    EXPECT_EQ(FValues.GetRefreshCounter(), 1);
    EXPECT_TRUE(FApplication.MessageBoxes.empty());
}

TEST_F(FeedStepTest, NewsRefreshSetsNameLineAndLink)
{
    TFeedServer feeds("", ReadNetTestFile("news-rss2-world.xml"));
    auto feed = MakeFeed(Settings(feeds.FServer, false, true));
    feed->FeedTick();
    ASSERT_EQ(feeds.FServer.GetRequests().size(), 1u);
    EXPECT_EQ(feeds.FServer.GetRequests()[0].substr(0, 33), "GET /rss/world.xml HTTP/1.0\r\nHost");
    EXPECT_EQ(FValues.GetNameNews(), "World & Region | The Daily Ledger");
    EXPECT_EQ(FValues.GetNewsLink(), "https://www.dailyledger.example/world");
    EXPECT_EQ(FValues.GetRssLine(), "  ***  Harbour talks resume after storm"
                                    "  ***  Minister calls vote \"a turning point\""
                                    "  ***  It\x92s the coldest January in 40 years  ***  ");
    // The news download has its own time budget, with the weather gadget off.
    EXPECT_EQ(FClient.GetTimeOut(), 5000);
}

TEST_F(FeedStepTest, NewsRefreshReadsTheAnswersCharsetInTheGadgetsCodePage)
{
    // No declaration: only the answer says the bytes are Windows-1251; the link is relative.
    TLoopbackServer feeds([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: application/rss+xml; charset=windows-1251\r\n",
                                                  "<rss version=\"2.0\"><channel><title>\xcd\xee\xe2\xee\xf1\xf2\xe8</title>"
                                                  "<link>/today/</link><item><title>\xcc\xe8\xf0 \x96 \xab\xef\xee\xe3\xee\xe4\xe0\xbb</title></item>"
                                                  "</channel></rss>"));
    });
    TFeedSettings settings = Settings(feeds, false, true);
    settings.Encodings = &Platform::SystemTextEncodings();
    MakeFeed(settings)->RefreshNewsFeed();
    EXPECT_EQ(FValues.GetNameNews(), "Novosti");
    EXPECT_EQ(FValues.GetRssLine(), "  ***  Mir \x96 \xabpogoda\xbb  ***  ");
    EXPECT_EQ(FValues.GetNewsLink(), "http://" + feeds.GetAuthority() + "/today/");
}

TEST_F(FeedStepTest, NewsRefreshUsesTheProxyItself)
{
    TFeedServer proxy("", ReadNetTestFile("news-cdata-crlf.xml"));
    TFeedSettings settings = Settings(proxy.FServer, false, true);
    settings.RSS_Url = "http://markets.example/rss/latest.xml";
    settings.UseProxy = true;
    settings.Proxy = "127.0.0.1";
    settings.Port = std::to_string(proxy.FServer.GetPort());
    MakeFeed(settings)->FeedTick();
    ASSERT_EQ(proxy.FServer.GetRequests().size(), 1u);
    EXPECT_EQ(proxy.FServer.GetRequests()[0].substr(0, 53), "GET http://markets.example/rss/latest.xml HTTP/1.0\r\nP");
    EXPECT_EQ(FValues.GetNewsLink(), "http://www.markets-mint.example/");
}

TEST_F(FeedStepTest, NewsAnswerThatIsNoFeedKeepsTheName)
{
    TFeedServer good("", ReadNetTestFile("news-rss2-world.xml"));
    MakeFeed(Settings(good.FServer, false, true))->RefreshNewsFeed();
    TFeedServer bad("", ReadNetTestFile("news-html-page.html"));
    MakeFeed(Settings(bad.FServer, false, true))->RefreshNewsFeed();
    EXPECT_EQ(FValues.GetRssLine(), "*** Not Available Now ***");
    EXPECT_EQ(FValues.GetNameNews(), "World & Region | The Daily Ledger");
    EXPECT_EQ(FValues.GetNewsLink(), "https://www.dailyledger.example/world");
}

TEST_F(FeedStepTest, NewsFeedWithoutLinkKeepsThePreviousLink)
{
    TFeedServer good("", ReadNetTestFile("news-rss2-world.xml"));
    MakeFeed(Settings(good.FServer, false, true))->RefreshNewsFeed();
    TFeedServer moved("", ReadNetTestFile("news-title-without-link.xml"));
    MakeFeed(Settings(moved.FServer, false, true))->RefreshNewsFeed();
    EXPECT_EQ(FValues.GetNameNews(), "(Obsolete Feed)");
    EXPECT_EQ(FValues.GetRssLine(), "  ***  Feed has moved  ***  ");
    EXPECT_EQ(FValues.GetNewsLink(), "https://www.dailyledger.example/world");
}

TEST_F(FeedStepTest, NewsAddressesThatCannotBeFetchedChangeNothing)
{
    TFeedServer feeds("", "");
    for (const char *url : {"", "https://secure.example/rss", "http://127.0.0.1:port/rss"}) {
        TFeedSettings settings = Settings(feeds.FServer, false, true);
        settings.RSS_Url = url;
        auto feed = MakeFeed(settings);
        EXPECT_NO_THROW(feed->FeedTick()) << url;
        EXPECT_EQ(FValues.GetRssLine(), "*** Not Available Now ***");
        EXPECT_EQ(FValues.GetNameNews(), "");
        EXPECT_EQ(FValues.GetRefreshCounter(), 1);
        FValues.SetRefreshCounter(0);
    }
    EXPECT_TRUE(feeds.FServer.GetRequests().empty());
}

TEST_F(FeedStepTest, EndRequestedDuringADownloadAbortsItAndSkipsTheNews)
{
    TFeedServer news("", ReadNetTestFile("news-rss2-world.xml"));
    TLoopbackServer slow([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(Ok("<?xml "));
        connection.Pause(10000);
    });
    TFeedSettings settings = Settings(news.FServer, true, true);
    settings.WeatherHost = slow.GetAuthority();
    auto feed = MakeFeed(settings);
    FApplication.OnProcessMessages = [&] {
        if (FApplication.ProcessMessagesCount == 10)
            feed->Terminate();
    };
    auto started = std::chrono::steady_clock::now();
    feed->FeedTick();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_TRUE(feed->GetTerminated());
    ExpectWeatherUntouched(FValues);
    EXPECT_TRUE(news.FServer.GetRequests().empty());
    // Once the end is asked, steps do nothing.
    FValues.SetRefreshCounter(0);
    feed->FeedTick();
    EXPECT_EQ(FValues.GetRefreshCounter(), 0);
}

TEST_F(FeedStepTest, EndAskedAtAnyMomentEndsTheDownloadAtOnce)
{
    enum class TWhen { JustBeforeTheDownload, FromAnotherThreadDuringIt, FromAHandlerDuringIt };
    enum class TFeed { Weather, News };
    struct TCase {
        const char *Name;
        TWhen When;
        TFeed Feed;
    };
    for (TCase moment : {
             TCase{"just before the weather download", TWhen::JustBeforeTheDownload, TFeed::Weather},
             TCase{"just before the news download", TWhen::JustBeforeTheDownload, TFeed::News},
             TCase{"from another thread during the weather download", TWhen::FromAnotherThreadDuringIt, TFeed::Weather},
             TCase{"from a handler during the news download", TWhen::FromAHandlerDuringIt, TFeed::News},
         }) {
        // Answers the first bytes of a feed, then keeps the connection open and silent for longer than
        // the download's 5 s budget.
        std::atomic<bool> answering = false;
        TLoopbackServer slow([&](TLoopbackConnection &connection, const std::string &) {
            connection.Send(Ok("<?xml "));
            answering = true;
            connection.Pause(20000);
        });
        auto feed = MakeFeed(Settings(slow, moment.Feed == TFeed::Weather, moment.Feed == TFeed::News));
        std::thread other;
        if (moment.When == TWhen::JustBeforeTheDownload)
            feed->Terminate();
        if (moment.When == TWhen::FromAnotherThreadDuringIt) {
            other = std::thread([&] {
                auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!answering && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                feed->Terminate();
            });
        }
        FApplication.ProcessMessagesCount = 0;
        FApplication.OnProcessMessages = [&] {
            if (moment.When == TWhen::FromAHandlerDuringIt && answering)
                feed->Terminate();
        };

        auto started = std::chrono::steady_clock::now();
        if (moment.Feed == TFeed::Weather)
            feed->RefreshWeatherFeed();
        else
            feed->RefreshNewsFeed();
        auto elapsed = std::chrono::steady_clock::now() - started;
        if (other.joinable())
            other.join();
        FApplication.OnProcessMessages = nullptr;

        if (moment.When == TWhen::JustBeforeTheDownload) {
            EXPECT_TRUE(slow.GetRequests().empty()) << moment.Name;
        }
        EXPECT_LT(elapsed, std::chrono::milliseconds(WeatherHTTP::FeedTimeOut))
            << moment.Name << ": the download ran into its 5 s budget instead of ending";
        ExpectWeatherUntouched(FValues);
        EXPECT_EQ(FValues.GetRssLine(), "*** Not Available Now ***");
        EXPECT_FALSE(FClient.GetConnected());
    }

    // The end belongs to the feed's downloads, not to the client: its next request goes through.
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), "");
    FClient.Get("http://" + feeds.FServer.GetAuthority() + "/forecastrss?p=USOR0338&u=f");
    EXPECT_EQ(FClient.GetStatus(), 200);
}

// Feed targets whose weather code cannot be stored: an error the feed step does not expect.
class TFailingTargets final : public IFeedTargets {
public:
    int GetRefreshCounter() const override { return Values.GetRefreshCounter(); }
    void SetRefreshCounter(int counter) override { Values.SetRefreshCounter(counter); }
    void SetTodayCode(int code) override
    {
        if (Failing)
            throw std::logic_error("no place for the code");
        Values.SetTodayCode(code);
    }
    void SetTodayNow(const std::string &text) override { Values.SetTodayNow(text); }
    void SetTomorrowCode(int code) override { Values.SetTomorrowCode(code); }
    void SetTomorrowLow(const std::string &text) override { Values.SetTomorrowLow(text); }
    void SetTomorrowHi(const std::string &text) override { Values.SetTomorrowHi(text); }
    void SetNameNews(const std::string &text) override { Values.SetNameNews(text); }
    void SetRssLine(const std::string &text) override { Values.SetRssLine(text); }
    void SetNewsLink(const std::string &link) override { Values.SetNewsLink(link); }

    TFeedValues Values;
    bool Failing = true;
};

TEST_F(FeedStepTest, ErrorsTheStepDoesNotExpectAreNotHiddenAndTheScheduleGoesOn)
{
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), "");
    TFailingTargets targets;
    WeatherHTTP feed(FApplication, FClient, targets, Settings(feeds.FServer, true, false), [] { return 0; },
                     TThreadStart::Suspended);
    EXPECT_THROW(feed.FeedTick(), std::logic_error);
    EXPECT_EQ(targets.GetRefreshCounter(), 1);
    EXPECT_FALSE(FClient.GetConnected());

    // The step is not left half begun: the next due refresh runs.
    targets.Failing = false;
    targets.SetRefreshCounter(0);
    feed.FeedTick();
    EXPECT_EQ(targets.Values.GetTodayCode(), 32);
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 2u);
}

TEST(FeedThread, RunsTheStepUntilAskedToEnd)
{
    Testing::TFakeApplication application;
    THttpClient client(Platform::Sockets(), application);
    TFeedValues values;
    TFeedServer feeds(ReadNetTestFile("weather-two-day-f.xml"), ReadNetTestFile("news-cdata-crlf.xml"));
    TFeedSettings settings;
    settings.ShowWeather = true;
    settings.ShowNews = true;
    settings.TDegree = "f";
    settings.WeatherCode = "USOR0338";
    settings.WeatherSource = TWeatherSource::RssFeed;
    settings.WeatherHost = feeds.FServer.GetAuthority();
    settings.RSS_Url = "http://" + feeds.FServer.GetAuthority() + "/news";
    std::atomic<int> steps = 0;
    {
        WeatherHTTP feed(
            application, client, values, settings,
            [&] {
                ++steps;
                return 0;
            },
            TThreadStart::Running, FastSteps);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (steps < 20 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_GE(steps.load(), 20);
    EXPECT_EQ(feeds.FServer.GetRequests().size(), 2u);
    EXPECT_EQ(values.GetTodayCode(), 32);
    EXPECT_EQ(values.GetRssLine(), "  ***  Rupee opens flat; markets await policy  ***  Investors\x92 mood turns cautious  ***  ");
    EXPECT_EQ(values.GetRefreshCounter(), 1);
}

TEST(FeedThread, EndsByItselfWhenTheLoopHasEnded)
{
    Testing::TFakeApplication application;
    application.LoopEnded = true;
    THttpClient client(Platform::Sockets(), application);
    TFeedValues values;
    std::atomic<int> steps = 0;
    WeatherHTTP feed(application, client, values, TFeedSettings{}, [&] { return ++steps; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(steps.load(), 0);
}

// An application whose Synchronize hands work to the thread that handles messages, as the real
// user-interface thread does.
class TQueuedApplication final : public Platform::IApplication {
public:
    void Initialize() override {}
    void SetTitle(const std::string &) override {}
    std::string GetTitle() const override { return {}; }
    Platform::TWindowHandle CreateMainWindow(Platform::TMainWindowKind, const Platform::TWindowEvents &) override { return 0; }
    void CloseMainWindow() override {}
    void SetMainWindowVisible(bool) override {}
    void SetMainWindowBorderStyle(Platform::TBorderStyle) override {}
    void SetMainWindowSize(int, int) override {}
    void Run() override {}
    void ProcessMessages() override { FQueue.RunPending(); }
    bool Synchronize(const std::function<void()> &work) override { return FQueue.RunOnUiThread(work); }
    int ShowCursor(bool) override { return 0; }
    void ShowMessageBox(Platform::TWindowHandle, const std::string &, const std::string &, Platform::TMessageBoxIcon) override {}

private:
    Platform::TUiWorkQueue FQueue{nullptr};
};

TEST(FeedThread, StepsRunOnTheUserInterfaceThreadAndEndingDoesNotDeadlock)
{
    TQueuedApplication application;
    THttpClient client(Platform::Sockets(), application);
    TFeedValues values;
    std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<int> steps = 0;
    std::atomic<int> elsewhere = 0;
    {
        WeatherHTTP feed(
            application, client, values, TFeedSettings{},
            [&] {
                if (std::this_thread::get_id() != uiThread)
                    ++elsewhere;
                return ++steps % 60;
            },
            TThreadStart::Running, FastSteps);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (steps < 50 && std::chrono::steady_clock::now() < deadline) {
            application.ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // The thread is now waiting for this thread to run its next step; ending must still return.
    }
    EXPECT_GE(steps.load(), 50);
    EXPECT_EQ(elsewhere.load(), 0);
    EXPECT_GE(values.GetRefreshCounter(), 1);
}

TEST(FeedThread, AnEndAskedDuringThePauseEndsItWithoutWaitingItOut)
{
    Testing::TFakeApplication application;
    THttpClient client(Platform::Sockets(), application);
    TFeedValues values;
    std::atomic<int> steps = 0;
    {
        // A pause no test run outlives: the thread object's end must cut it short.
        WeatherHTTP feed(application, client, values, TFeedSettings{}, [&] { return ++steps; }, TThreadStart::Running,
                         std::chrono::hours(1));
        while (steps == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(steps.load(), 1);
}

} // namespace
} // namespace Halcyra::Net
