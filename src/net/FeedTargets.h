// Where the feed step puts what it downloaded (the weather gadget's values and refresh counter, the
// news ticker's texts, the main form's news link) and the settings it reads, as the feed code sees
// them. The scene implements IFeedTargets over its gadgets; TFeedValues is a complete implementation
// whose texts are safe to read on the frame timer thread while the user-interface thread writes them.
#pragma once

#include "BuildHosts.h"
#include "config/LocationTable.h"
#include "net/Windows1252.h"
#include "platform/TextEncodings.h"

#include <mutex>
#include <optional>
#include <string>

namespace Halcyra::Net {

// The weather gadget's not-available code and text; codes 0 to 47 name conditions.
inline constexpr int WeatherCodeNotAvailable = 48;
inline constexpr int WeatherCodeHighest = 47;
inline constexpr const char *WeatherTextNotAvailable = "NA";
// The news ticker's line before the first feed, and after an answer that is no feed.
inline constexpr const char *NewsNotAvailable = "*** Not Available Now ***";

// Where the weather comes from, chosen by the build: the forecast service asked by the place's
// coordinates, or the weather RSS feed asked by the location code.
enum class TWeatherSource { Service, RssFeed };
inline constexpr TWeatherSource BuildWeatherSource = BuildHosts::WeatherFromRssFeed ? TWeatherSource::RssFeed : TWeatherSource::Service;

// The settings the feed step reads at every refresh, copied from the loaded settings.
struct TFeedSettings {
    bool ShowWeather = false;
    bool ShowNews = false;
    bool UseProxy = false;
    std::string Proxy;       // proxy host name or address
    std::string Port;        // proxy port, as decimal text
    std::string TDegree;     // units letter sent to the weather service: "c" or "f"
    std::string WeatherCode; // location code sent to the weather service
    std::string RSS_Url;     // address of the news feed
    // Host (and optional ":port") of the weather RSS service; the build's host unless a test points
    // it at a server of its own.
    std::string WeatherHost = BuildHosts::WeatherHost;
    TWeatherSource WeatherSource = BuildWeatherSource;
    // Scheme and host of the forecast service, and where WeatherCode's place lies (none for a code
    // the location table does not know).
    std::string WeatherService = BuildHosts::WeatherService;
    std::optional<TPlaceCoordinates> WeatherPlace;
    // The code page the news texts are made for; the system's in the program.
    const Platform::ITextEncodings *Encodings = &Windows1252Encodings();
};

// The values the feed step writes. Every call comes from the user-interface thread; an implementation
// must let the frame timer thread read the texts meanwhile without ever seeing one half replaced.
class IFeedTargets {
public:
    virtual ~IFeedTargets() = default;

    // The weather gadget's refresh schedule: 0 means a refresh is due, any other value counts minute
    // changes since the last refresh.
    virtual int GetRefreshCounter() const = 0;
    virtual void SetRefreshCounter(int counter) = 0;

    // Weather gadget: condition codes (48 not available) and temperatures as the feed writes them.
    virtual void SetTodayCode(int code) = 0;
    virtual void SetTodayNow(const std::string &text) = 0;
    virtual void SetTomorrowCode(int code) = 0;
    virtual void SetTomorrowLow(const std::string &text) = 0;
    virtual void SetTomorrowHi(const std::string &text) = 0;

    // News ticker: the feed's name and the joined headlines; the main form's link opened with F2.
    virtual void SetNameNews(const std::string &text) = 0;
    virtual void SetRssLine(const std::string &text) = 0;
    virtual void SetNewsLink(const std::string &link) = 0;
};

// The weather values as a frame draws them.
struct TWeatherShown {
    int TodayCode = WeatherCodeNotAvailable;
    int TomorrowCode = WeatherCodeNotAvailable;
    std::string TodayNow;
    std::string TomorrowLow;
    std::string TomorrowHi;
};

// The values that cross from the user-interface thread (the feed step writes them) to the frame timer
// thread (the gadgets draw them), with the gadgets' initial values. One lock guards them, held only
// for a copy, so a frame never waits behind anything slower. The scene's gadgets read and write
// their values here, and the feed step writes here through IFeedTargets.
class TFeedValues final : public IFeedTargets {
public:
    int GetRefreshCounter() const override;
    void SetRefreshCounter(int counter) override;

    int GetTodayCode() const;
    void SetTodayCode(int code) override;
    std::string GetTodayNow() const;
    void SetTodayNow(const std::string &text) override;
    int GetTomorrowCode() const;
    void SetTomorrowCode(int code) override;
    std::string GetTomorrowLow() const;
    void SetTomorrowLow(const std::string &text) override;
    std::string GetTomorrowHi() const;
    void SetTomorrowHi(const std::string &text) override;

    std::string GetNameNews() const;
    void SetNameNews(const std::string &text) override;
    std::string GetRssLine() const;
    void SetRssLine(const std::string &text) override;
    std::string GetNewsLink() const;
    void SetNewsLink(const std::string &link) override;

    // For the frame: copies into the caller's strings, which keep their capacity, so that a frame
    // allocates only after a text has grown.
    void CopyNameNews(std::string &into) const;
    void CopyRssLine(std::string &into) const;
    // Copies the weather values; first, in the same locked step, a code that names no condition
    // (outside 0..47) is stored back as 48, so a code the feed writes meanwhile is never overwritten.
    void CopyWeatherForDrawing(TWeatherShown &into);

private:
    mutable std::mutex FLock;
    int FRefreshCounter = 0;
    int FTodayCode = WeatherCodeNotAvailable;
    int FTomorrowCode = WeatherCodeNotAvailable;
    std::string FTodayNow = WeatherTextNotAvailable;
    std::string FTomorrowHi = WeatherTextNotAvailable;
    std::string FTomorrowLow = WeatherTextNotAvailable;
    std::string FRssLine = NewsNotAvailable;
    std::string FNameNews;
    std::string FNewsLink;
};

} // namespace Halcyra::Net
