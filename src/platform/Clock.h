// Local time and its text in the user's locale.
#pragma once

#include <string>

namespace Halcyra::Platform {

struct TLocalTime {
    int Year = 0;
    int Month = 0; // 1..12
    int Day = 0;   // 1..31
    int Hour = 0;  // 0..23
    int Minute = 0;
    int Second = 0;
    int Milliseconds = 0;
};

class IClock {
public:
    virtual ~IClock() = default;

    // The local wall-clock time now.
    virtual TLocalTime Now() = 0;
    // The time as the user's locale writes it without seconds ("14:05", "2:05 PM").
    virtual std::string LocaleTimeText(const TLocalTime &time) = 0;
    // Milliseconds since an arbitrary start, increasing steadily (timeGetTime's counterpart).
    virtual unsigned Milliseconds() = 0;
};

// The system's clock.
IClock &SystemClock();

} // namespace Halcyra::Platform
