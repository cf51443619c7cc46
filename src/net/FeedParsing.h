// Picks the weather gadget's values out of a weather RSS answer, by plain text search as the feed
// step has always done it, and the news ticker's texts out of a news feed with the feed reader.
#pragma once

#include "net/Windows1252.h"
#include "platform/TextEncodings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Net {

struct TWeatherValues {
    int TodayCode = 0;
    std::string TodayNow;
    int TomorrowCode = 0;
    std::string TomorrowLow;
    std::string TomorrowHi;
};

// The values the gadget shows when there is no weather to show: 48 and "NA".
TWeatherValues WeatherNotAvailable();

// The address of the weather RSS answer for a location code and units letter on the given host.
std::string WeatherFeedURL(const std::string &host, const std::string &weatherCode, const std::string &tDegree);

// The current condition and tomorrow's forecast (the second forecast element). An answer without an
// XML declaration gives the not-available values (48 and "NA"). A condition or forecast element that
// is missing, or a code that is not a whole number, raises EConvertError: such an answer changes
// nothing. A missing temperature attribute gives an empty text.
TWeatherValues ParseWeatherFeed(std::string_view body);

struct TNewsValues {
    // The feed's name (its own title, empty when it has none); not set for an answer that is no feed.
    std::optional<std::string> NameNews;
    // "  ***  " title 1 "  ***  " title 2 "  ***  " ..., or "*** Not Available Now ***" for an answer
    // that is no feed.
    std::string RssLine;
    // The address of the feed's own page; not set when it names none that a browser can open.
    std::optional<std::string> NewsLink;
};

// The separator before, between and after the headlines.
inline constexpr std::string_view NewsSeparator = "  ***  ";

// The bounds of what a feed gives, in bytes of the gadgets' text: larger feeds are cut, never refused.
inline constexpr std::size_t MaxNewsHeadlines = 100;
inline constexpr std::size_t MaxNewsTitleBytes = 512;
inline constexpr std::size_t MaxNewsLineBytes = 32 * 1024;
inline constexpr std::size_t MaxNewsNameBytes = 512;
inline constexpr std::size_t MaxNewsLinkBytes = 512;

// What the reader knows of an answer besides its body.
struct TAnswerReading {
    // The code page the texts are made for and the converters of other character sets.
    const Platform::ITextEncodings *Encodings = &Windows1252Encodings();
    // The charset parameter of the answer's Content-Type, when it had one.
    std::string Charset;
    // The address the feed was fetched from: a relative link is taken against it.
    std::string Address;
};

// The feed's name, link and joined headlines, in the gadgets' code page, read from any RSS or Atom
// feed (see ReadFeed); a feed that is not well-formed is read forgivingly.
TNewsValues ParseNewsFeed(std::string_view body, const TAnswerReading &reading = {});

// A feed's link as an address a browser takes (BrowserAddress: blanks at the ends dropped, blanks,
// quotes and characters beyond ASCII inside it percent-encoded), a relative one taken against base.
// Empty when the result is no web page's address or longer than MaxNewsLinkBytes.
std::string FeedLinkAddress(std::string_view link, std::string_view base);

} // namespace Halcyra::Net
