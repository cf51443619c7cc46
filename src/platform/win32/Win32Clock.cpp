// Windows backend of the clock: GetLocalTime, GetTimeFormatA of the thread's locale, timeGetTime.
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

    std::string LocaleTimeText(const TLocalTime &time) override
    {
        SYSTEMTIME system{};
        system.wYear = static_cast<WORD>(time.Year);
        system.wMonth = static_cast<WORD>(time.Month);
        system.wDay = static_cast<WORD>(time.Day);
        system.wHour = static_cast<WORD>(time.Hour);
        system.wMinute = static_cast<WORD>(time.Minute);
        system.wSecond = static_cast<WORD>(time.Second);
        char text[128] = {};
        const int length = GetTimeFormatA(GetThreadLocale(), TIME_NOSECONDS, &system, nullptr, text, sizeof text);
        return length > 0 ? std::string(text, static_cast<std::size_t>(length - 1)) : std::string();
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
