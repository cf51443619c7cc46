// WeatherHTTP, the thread that keeps the weather gadget and the news ticker supplied: it only paces
// the work, handing one feed step at a time to the user-interface thread, where the downloads, the
// parsing and the writes to the gadgets happen.
#pragma once

#include "net/FeedParsing.h"
#include "net/FeedTargets.h"
#include "net/HttpClient.h"
#include "platform/Application.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace Halcyra::Net {

// Whether the thread starts running when it is made.
enum class TThreadStart { Running, Suspended };

class WeatherHTTP {
public:
    // Minute changes between two refreshes.
    static constexpr int RefreshMinutes = 30;
    // The time budget of every feed download, in milliseconds.
    static constexpr int FeedTimeOut = 5000;
    // The pause between two feed steps. The steps only count minute changes, so four a second are
    // plenty; a shorter pause keeps the user-interface thread and the X server busy for nothing.
    static constexpr std::chrono::milliseconds StepPause{250};

    // client, targets and application must outlive the thread object; settings are copied. minute
    // returns the minute (0..59) of the local time now. stepPause replaces StepPause (the tests step
    // faster).
    WeatherHTTP(Platform::IApplication &application, THttpClient &client, IFeedTargets &targets,
                const TFeedSettings &settings, std::function<int()> minute,
                TThreadStart start = TThreadStart::Running, std::chrono::milliseconds stepPause = StepPause);
    // Asks the thread to end and waits for it, handling the application's messages meanwhile so that a
    // step the thread is waiting on can still run (it does nothing once the end is asked). Must not be
    // called from inside a feed step, that is from a handler that runs while a download waits.
    ~WeatherHTTP();

    WeatherHTTP(const WeatherHTTP &) = delete;
    WeatherHTTP &operator=(const WeatherHTTP &) = delete;

    // Starts a thread made suspended; does nothing when it runs already.
    void Start();
    // Asks the thread to end after its current pass, and ends a download in progress or about to start;
    // safe from any thread and at any time, a feed step included.
    void Terminate();
    bool GetTerminated() const { return FEnd.stop_requested(); }

    // One feed step, on the user-interface thread: refreshes when due and counts minute changes.
    void FeedTick();
    // Download and parse one feed. A network failure (ESockError), a number that is none (EConvertError)
    // or an address that cannot be requested (EURLError) ends the refresh and leaves the gadgets as they
    // were; any other error is not the feed's to hide and goes on to the caller.
    void RefreshWeatherFeed();
    void RefreshNewsFeed();

    // Minute of the local time at the previous step; 0 when the thread is made.
    std::int32_t LastMinute = 0;

private:
    void Execute();
    // Time-out and proxy from the settings; raises a number-conversion error for a port that is not a
    // number.
    void PrepareClient();
    // The weather values from the build's source; nullopt for an answer that changes nothing.
    std::optional<TWeatherValues> FetchWeatherRss();
    std::optional<TWeatherValues> FetchWeatherService();

    Platform::IApplication &FApplication;
    THttpClient &FClient;
    IFeedTargets &FTargets;
    TFeedSettings FSettings;
    std::function<int()> FMinute;
    // The end request. Every download of the feed carries its token, so an end asked just before a
    // download starts still ends it, where the client's own abort mark would be cleared by the start.
    std::stop_source FEnd;
    // The pause between steps, cut short by Terminate. A plain condition: a wait on the stop token was
    // seen to hang at the end under the Windows build's runtime.
    std::chrono::milliseconds FStepPause;
    std::mutex FPauseMutex;
    std::condition_variable FPauseWake;
    bool FPauseEnded = false;
    std::atomic<bool> FFinished = false;
    bool FInFeedTick = false;
    std::thread FThread;
};

} // namespace Halcyra::Net
