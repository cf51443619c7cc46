// Picks the weather gadget's values out of a weather RSS answer and the news ticker's texts out of an
// RSS news feed, by plain text search as the feed step has always done it.
#pragma once

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

// The address of the weather RSS answer for a location code and units letter on the given host.
std::string WeatherFeedURL(const std::string &host, const std::string &weatherCode, const std::string &tDegree);

// The current condition and tomorrow's forecast (the second forecast element). An answer without an
// XML declaration gives the not-available values (48 and "NA"). A condition or forecast element that
// is missing, or a code that is not a whole number, raises EConvertError: such an answer changes
// nothing. A missing temperature attribute gives an empty text.
TWeatherValues ParseWeatherFeed(std::string_view body);

struct TNewsValues {
    // The feed's name (its first title); not set for an answer that is no feed.
    std::optional<std::string> NameNews;
    // "  ***  " title 1 "  ***  " title 2 "  ***  " ..., or "*** Not Available Now ***" for an answer
    // that is neither XML nor starts with an rss element.
    std::string RssLine;
    // The feed's first link after its first title; not set when there is none.
    std::optional<std::string> NewsLink;
};

// The separator before, between and after the headlines.
inline constexpr std::string_view NewsSeparator = "  ***  ";

// The feed's name, link and joined item titles. Items are the literal "<item>" elements in document
// order; an item without a title is left out.
TNewsValues ParseNewsFeed(std::string_view body);

} // namespace Halcyra::Net
