// Weather and news feed parsing with the text routines.
#include "net/FeedParsing.h"

#include "net/FeedTargets.h"
#include "net/TextRoutines.h"

namespace Halcyra::Net {
namespace {

// The value of an attribute written name="value" inside an element's text; empty when missing.
std::string AttributeValue(std::string_view element, std::string_view name)
{
    std::string marker(name);
    marker += "=\"";
    std::string_view rest;
    std::string_view value;
    ExtractBetween(element, marker, rest, value, "\"");
    return std::string(value);
}

} // namespace

std::string WeatherFeedURL(const std::string &host, const std::string &weatherCode, const std::string &tDegree)
{
    return "http://" + host + "/forecastrss?p=" + weatherCode + "&u=" + tDegree;
}

TWeatherValues ParseWeatherFeed(std::string_view body)
{
    TWeatherValues values;
    std::string_view rest;
    std::string_view token;
    ExtractBetween(body, "<?", rest, token, " ");
    if (token != "xml") {
        values.TodayCode = WeatherCodeNotAvailable;
        values.TomorrowCode = WeatherCodeNotAvailable;
        values.TodayNow = WeatherTextNotAvailable;
        values.TomorrowLow = WeatherTextNotAvailable;
        values.TomorrowHi = WeatherTextNotAvailable;
        return values;
    }

    // Each element gets a fresh variable: a missing one must not pass on the text of an earlier find.
    std::string_view condition;
    ExtractBetween(body, "<yweather:condition", rest, condition, "/>");
    body = rest;
    values.TodayCode = StrToInt(AttributeValue(condition, "code"));
    values.TodayNow = AttributeValue(condition, "temp");

    // The first forecast is today's; tomorrow's is the second.
    std::string_view today;
    ExtractBetween(body, "<yweather:forecast", rest, today, "/>");
    body = rest;
    std::string_view tomorrow;
    ExtractBetween(body, "<yweather:forecast", rest, tomorrow, "/>");
    values.TomorrowCode = StrToInt(AttributeValue(tomorrow, "code"));
    values.TomorrowLow = AttributeValue(tomorrow, "low");
    values.TomorrowHi = AttributeValue(tomorrow, "high");
    return values;
}

TNewsValues ParseNewsFeed(std::string_view body)
{
    TNewsValues values;
    std::string_view rest;
    std::string_view declaration;
    std::string_view firstElement;
    ExtractBetween(body, "<?", rest, declaration, " ");
    ExtractBetween(body, "<", rest, firstElement, " ");
    if (declaration != "xml" && firstElement != "rss") {
        values.RssLine = NewsNotAvailable;
        return values;
    }

    std::string_view title;
    ExtractBetween(body, "<title>", rest, title, "</title>");
    body = rest;
    std::string_view link;
    if (ExtractBetween(body, "<link>", rest, link, "</link>"))
        values.NewsLink = StripCData(link);
    body = rest;
    values.NameNews = DecodeEntities(StripCData(title));

    std::string line(NewsSeparator);
    for (;;) {
        std::string_view item;
        bool found = ExtractBetween(body, "<item>", rest, item, "</item>");
        body = rest;
        if (!found)
            break;
        std::string_view itemRest;
        std::string_view itemTitle;
        if (!ExtractBetween(item, "<title>", itemRest, itemTitle, "</title>"))
            continue;
        line += itemTitle;
        line += NewsSeparator;
    }
    // Decoded twice, so that references written doubly escaped come out plain.
    values.RssLine = DecodeEntities(DecodeEntities(StripCData(line)));
    return values;
}

} // namespace Halcyra::Net
