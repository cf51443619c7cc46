// The locked feed values.
#include "net/FeedTargets.h"

namespace Halcyra::Net {
namespace {

template <typename T>
T Read(std::mutex &lock, const T &field)
{
    std::lock_guard guard(lock);
    return field;
}

template <typename T>
void Write(std::mutex &lock, T &field, const T &value)
{
    std::lock_guard guard(lock);
    field = value;
}

} // namespace

int TFeedValues::GetRefreshCounter() const { return Read(FLock, FRefreshCounter); }
void TFeedValues::SetRefreshCounter(int counter) { Write(FLock, FRefreshCounter, counter); }
int TFeedValues::GetTodayCode() const { return Read(FLock, FTodayCode); }
void TFeedValues::SetTodayCode(int code) { Write(FLock, FTodayCode, code); }
std::string TFeedValues::GetTodayNow() const { return Read(FLock, FTodayNow); }
void TFeedValues::SetTodayNow(const std::string &text) { Write(FLock, FTodayNow, text); }
int TFeedValues::GetTomorrowCode() const { return Read(FLock, FTomorrowCode); }
void TFeedValues::SetTomorrowCode(int code) { Write(FLock, FTomorrowCode, code); }
std::string TFeedValues::GetTomorrowLow() const { return Read(FLock, FTomorrowLow); }
void TFeedValues::SetTomorrowLow(const std::string &text) { Write(FLock, FTomorrowLow, text); }
std::string TFeedValues::GetTomorrowHi() const { return Read(FLock, FTomorrowHi); }
void TFeedValues::SetTomorrowHi(const std::string &text) { Write(FLock, FTomorrowHi, text); }
std::string TFeedValues::GetNameNews() const { return Read(FLock, FNameNews); }
void TFeedValues::SetNameNews(const std::string &text) { Write(FLock, FNameNews, text); }
std::string TFeedValues::GetRssLine() const { return Read(FLock, FRssLine); }
void TFeedValues::SetRssLine(const std::string &text) { Write(FLock, FRssLine, text); }
std::string TFeedValues::GetNewsLink() const { return Read(FLock, FNewsLink); }
void TFeedValues::SetNewsLink(const std::string &link) { Write(FLock, FNewsLink, link); }

void TFeedValues::CopyNameNews(std::string &into) const
{
    std::lock_guard guard(FLock);
    into.assign(FNameNews);
}

void TFeedValues::CopyRssLine(std::string &into) const
{
    std::lock_guard guard(FLock);
    into.assign(FRssLine);
}

void TFeedValues::CopyWeatherForDrawing(TWeatherShown &into)
{
    const auto shown = [](int &code) {
        if (code < 0 || code > WeatherCodeHighest)
            code = WeatherCodeNotAvailable;
        return code;
    };
    std::lock_guard guard(FLock);
    into.TodayCode = shown(FTodayCode);
    into.TomorrowCode = shown(FTomorrowCode);
    into.TodayNow.assign(FTodayNow);
    into.TomorrowLow.assign(FTomorrowLow);
    into.TomorrowHi.assign(FTomorrowHi);
}

} // namespace Halcyra::Net
