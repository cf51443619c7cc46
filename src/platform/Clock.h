// Local time and its text in the user's locale.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

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

// The locale's time text, held in place (at most 255 bytes) so that a frame can read it every time
// without allocating.
struct TTimeText {
    static constexpr std::size_t Capacity = 256;
    std::array<char, Capacity> Bytes{};
    std::size_t Length = 0;

    std::string_view View() const & { return {Bytes.data(), Length}; }
    // A view of a temporary would dangle at once.
    std::string_view View() const && = delete;
    // A text cut to the 255 bytes the buffer holds besides its terminating zero.
    static TTimeText From(std::string_view text)
    {
        TTimeText result;
        result.Length = text.size() < result.Bytes.size() ? text.size() : result.Bytes.size() - 1;
        text.copy(result.Bytes.data(), result.Length);
        return result;
    }
};

class IClock {
public:
    virtual ~IClock() = default;

    // The local wall-clock time now.
    virtual TLocalTime Now() = 0;
    // The time as the user's locale writes it without seconds and without the user's own overrides
    // of the locale ("21:35", "9:35 PM"); empty when it cannot be formatted. Safe on any thread.
    virtual TTimeText LocaleTimeText(const TLocalTime &time) = 0;
    // Milliseconds since an arbitrary start, increasing steadily (timeGetTime's counterpart).
    virtual unsigned Milliseconds() = 0;
};

// The system's clock.
IClock &SystemClock();

} // namespace Halcyra::Platform
