// The feed thread's pacing loop and the feed step it hands to the user-interface thread.
#include "net/FeedThread.h"

#include "net/DocumentEncoding.h"
#include "net/FeedParsing.h"
#include "net/SockErrors.h"
#include "net/TextRoutines.h"
#include "net/WeatherService.h"
#include "platform/Application.h"

#include <chrono>

namespace Halcyra::Net {

WeatherHTTP::WeatherHTTP(Platform::IApplication &application, THttpClient &client, IFeedTargets &targets,
                         const TFeedSettings &settings, std::function<int()> minute, TThreadStart start,
                         std::chrono::milliseconds stepPause)
    : FApplication(application), FClient(client), FTargets(targets), FSettings(settings), FMinute(std::move(minute)),
      FStepPause(stepPause)
{
    if (start == TThreadStart::Running)
        Start();
}

WeatherHTTP::~WeatherHTTP()
{
    Terminate();
    if (!FThread.joinable())
        return;
    // The thread may be waiting for the user-interface thread to run its step: keep handling messages
    // until it has seen the end request.
    while (!FFinished) {
        FApplication.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    FThread.join();
}

void WeatherHTTP::Start()
{
    if (FThread.joinable() || GetTerminated())
        return;
    FThread = std::thread([this] { Execute(); });
}

void WeatherHTTP::Terminate()
{
    FEnd.request_stop();
    {
        std::lock_guard lock(FPauseMutex);
        FPauseEnded = true;
    }
    FPauseWake.notify_all();
}

void WeatherHTTP::Execute()
{
    while (!GetTerminated()) {
        // A loop that has ended runs no more steps: nothing is left to pace.
        if (!FApplication.Synchronize([this] { FeedTick(); }))
            break;
        std::unique_lock lock(FPauseMutex);
        FPauseWake.wait_for(lock, FStepPause, [this] { return FPauseEnded; });
    }
    FFinished = true;
}

void WeatherHTTP::FeedTick()
{
    // A step handed over while a download of the previous one waits would nest: it is dropped.
    if (GetTerminated() || FInFeedTick)
        return;
    FInFeedTick = true;
    struct TTickGuard {
        bool &InFeedTick;
        ~TTickGuard() { InFeedTick = false; }
    } guard{FInFeedTick};

    if (FTargets.GetRefreshCounter() == 0) {
        // The schedule goes on whatever the refreshes' outcome, an error they let through included: a
        // refresh that failed waits for the next due time instead of being tried at every step.
        struct TScheduleGuard {
            IFeedTargets &Targets;
            ~TScheduleGuard() { Targets.SetRefreshCounter(1); }
        } schedule{FTargets};
        if (FSettings.ShowWeather)
            RefreshWeatherFeed();
        if (FSettings.ShowNews && !GetTerminated())
            RefreshNewsFeed();
    }
    int minute = FMinute();
    int counter = FTargets.GetRefreshCounter();
    int next = counter;
    if (minute != LastMinute)
        ++next;
    if (next > RefreshMinutes)
        next = 0;
    if (next != counter)
        FTargets.SetRefreshCounter(next);
    LastMinute = minute;
}

void WeatherHTTP::PrepareClient()
{
    FClient.SetTimeOut(FeedTimeOut);
    if (FSettings.UseProxy) {
        FClient.SetProxyPort(StrToInt(FSettings.Port));
        FClient.SetProxy(FSettings.Proxy);
    } else {
        FClient.SetProxy("");
        FClient.SetProxyPort(0);
    }
}

std::optional<TWeatherValues> WeatherHTTP::FetchWeatherRss()
{
    PrepareClient();
    FClient.Get(WeatherFeedURL(FSettings.WeatherHost, FSettings.WeatherCode, FSettings.TDegree), FEnd.get_token());
    return ParseWeatherFeed(FClient.GetBody());
}

std::optional<TWeatherValues> WeatherHTTP::FetchWeatherService()
{
    // A code the location table does not know (a setting edited by hand) has no place to ask for.
    if (!FSettings.WeatherPlace)
        return WeatherNotAvailable();
    PrepareClient();
    const TTemperatureUnit unit = TemperatureUnitOf(FSettings.TDegree);
    FClient.Get(WeatherServiceURL(FSettings.WeatherService, *FSettings.WeatherPlace, unit), FEnd.get_token());
    // An answer that is not the expected one leaves the values as they are: not available until the
    // first good answer, the last good ones after it.
    return ParseWeatherService(FClient.GetBody(), unit);
}

void WeatherHTTP::RefreshWeatherFeed()
{
    try {
        const std::optional<TWeatherValues> values =
            FSettings.WeatherSource == TWeatherSource::RssFeed ? FetchWeatherRss() : FetchWeatherService();
        if (!values)
            return;
        FTargets.SetTodayCode(values->TodayCode);
        FTargets.SetTodayNow(values->TodayNow);
        FTargets.SetTomorrowCode(values->TomorrowCode);
        FTargets.SetTomorrowLow(values->TomorrowLow);
        FTargets.SetTomorrowHi(values->TomorrowHi);
    } catch (const ESockError &) {
        // Leaves the client ready for the next request.
        FClient.Disconnect();
        FClient.Abort();
    } catch (const EConvertError &) {
        // A proxy port or a condition code that is no number ends this refresh quietly.
        FClient.Disconnect();
    } catch (const EURLError &) {
        FClient.Disconnect();
    }
}

void WeatherHTTP::RefreshNewsFeed()
{
    try {
        PrepareClient();
        FClient.Get(FSettings.RSS_Url, FEnd.get_token());
        TAnswerReading reading;
        reading.Encodings = FSettings.Encodings;
        reading.Charset = ContentTypeCharset(FClient.GetHeader());
        reading.Address = FClient.GetURL();
        TNewsValues values = ParseNewsFeed(FClient.GetBody(), reading);
        if (values.NameNews)
            FTargets.SetNameNews(*values.NameNews);
        if (values.NewsLink)
            FTargets.SetNewsLink(*values.NewsLink);
        FTargets.SetRssLine(values.RssLine);
    } catch (const ESockError &) {
        FClient.Disconnect();
        FClient.Abort();
    } catch (const EConvertError &) {
        FClient.Disconnect();
    } catch (const EURLError &) {
        // An empty or https feed address.
        FClient.Disconnect();
    }
}

} // namespace Halcyra::Net
