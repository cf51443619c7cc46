// Linux backend of the clock: localtime_r, and the time format of the user's LC_TIME locale
// without its seconds.
#include "platform/Clock.h"
#include "platform/linux/LocaleTimeFormat.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <string>
#include <string_view>

namespace Halcyra::Platform {
namespace {

// The locale the environment names for LC_TIME, as "" resolves it: LC_ALL, else LC_TIME, else LANG.
std::string TimeLocaleName()
{
    for (const char *variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        if (const char *name = std::getenv(variable); name != nullptr && *name != '\0')
            return name;
    }
    return "C";
}

class TLinuxClock final : public IClock {
public:
    // The time's locale with its own character set, which tells how its texts are written.
    TLinuxClock() : FLocale(newlocale(LC_TIME_MASK | LC_CTYPE_MASK, TimeLocaleName().c_str(), static_cast<locale_t>(0)))
    {
        // An environment naming a locale the system lacks falls back to the C locale.
        if (FLocale == static_cast<locale_t>(0))
            FLocale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        // The locale is fixed for the life of the process, and so is its format.
        FFormat = TimeFormatWithoutSeconds(FLocale != static_cast<locale_t>(0) ? nl_langinfo_l(T_FMT, FLocale) : "");
        FUtf8 = FLocale != static_cast<locale_t>(0) && std::string_view(nl_langinfo_l(CODESET, FLocale)) == "UTF-8";
    }
    ~TLinuxClock() override
    {
        if (FLocale != static_cast<locale_t>(0))
            freelocale(FLocale);
    }

    TLocalTime Now() override
    {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm local{};
        localtime_r(&now.tv_sec, &local);
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_nsec / 1000000)};
    }

    TTimeText LocaleTimeText(const TLocalTime &time) override
    {
        tm broken{};
        broken.tm_year = time.Year - 1900;
        broken.tm_mon = time.Month - 1;
        broken.tm_mday = time.Day;
        broken.tm_hour = time.Hour;
        broken.tm_min = time.Minute;
        broken.tm_sec = time.Second;
        TTimeText text;
        // strftime_l reports 0 for a text that does not fit, which leaves the text empty.
        text.Length = strftime_l(text.Bytes.data(), text.Bytes.size(), FFormat.c_str(), &broken, FLocale);
        // The gadgets draw 8-bit text: a UTF-8 locale's text is rewritten in their code page (an
        // 8-bit locale's bytes are Latin ones already).
        if (FUtf8)
            text.Length = Utf8ToWindows1252(text.Bytes.data(), text.Length);
        return text;
    }

    unsigned Milliseconds() override
    {
        using namespace std::chrono;
        return static_cast<unsigned>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

private:
    locale_t FLocale;
    std::string FFormat;
    bool FUtf8 = false;
};

} // namespace

IClock &SystemClock()
{
    static TLinuxClock clock;
    return clock;
}

} // namespace Halcyra::Platform
