// Windows backend of the clock: GetLocalTime, GetTimeFormatA of the thread's locale without the
// user's overrides, timeGetTime.
#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>

namespace Halcyra::Platform {
namespace {

class TWin32Clock final : public IClock {
public:
    TLocalTime Now() override
    {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    }

    TTimeText LocaleTimeText(const TLocalTime &time) override
    {
        SYSTEMTIME system{};
        system.wYear = static_cast<WORD>(time.Year);
        system.wMonth = static_cast<WORD>(time.Month);
        system.wDay = static_cast<WORD>(time.Day);
        system.wHour = static_cast<WORD>(time.Hour);
        system.wMinute = static_cast<WORD>(time.Minute);
        system.wSecond = static_cast<WORD>(time.Second);
        // The locale's own standard format, not the user's changes to it.
        TTimeText text;
        const int length = GetTimeFormatA(GetThreadLocale(), LOCALE_NOUSEROVERRIDE | TIME_NOSECONDS, &system, nullptr,
                                          text.Bytes.data(), static_cast<int>(text.Bytes.size()));
        text.Length = length > 0 ? static_cast<std::size_t>(length - 1) : 0;
        return text;
    }

    unsigned Milliseconds() override { return timeGetTime(); }
};

} // namespace

IClock &SystemClock()
{
    static TWin32Clock clock;
    return clock;
}

} // namespace Halcyra::Platform
