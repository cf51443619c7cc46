// Weather feed parsing with the text routines; news feeds through the feed reader.
#include "net/FeedParsing.h"

#include "net/AnsiText.h"
#include "net/FeedReader.h"
#include "net/FeedTargets.h"
#include "net/HttpClient.h"
#include "net/TextRoutines.h"
#include "net/WebAddress.h"

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

TWeatherValues WeatherNotAvailable()
{
    TWeatherValues values;
    values.TodayCode = WeatherCodeNotAvailable;
    values.TomorrowCode = WeatherCodeNotAvailable;
    values.TodayNow = WeatherTextNotAvailable;
    values.TomorrowLow = WeatherTextNotAvailable;
    values.TomorrowHi = WeatherTextNotAvailable;
    return values;
}

TWeatherValues ParseWeatherFeed(std::string_view body)
{
    TWeatherValues values;
    std::string_view rest;
    std::string_view token;
    ExtractBetween(body, "<?", rest, token, " ");
    if (token != "xml")
        return WeatherNotAvailable();

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

TNewsValues ParseNewsFeed(std::string_view body, const TAnswerReading &reading)
{
    TNewsValues values;
    const TXmlDocument document = TXmlDocument::Read(body, reading.Charset, *reading.Encodings);
    const std::optional<TFeedSummary> feed = ReadFeed(document, MaxNewsHeadlines);
    if (!feed) {
        values.RssLine = NewsNotAvailable;
        return values;
    }
    values.NameNews = Utf8ToAnsi(feed->Title, *reading.Encodings, MaxNewsNameBytes);
    if (std::string link = FeedLinkAddress(feed->Link, reading.Address); !link.empty())
        values.NewsLink = std::move(link);

    std::string line(NewsSeparator);
    for (const std::string &headline : feed->Headlines) {
        std::string title = Utf8ToAnsi(headline, *reading.Encodings, MaxNewsTitleBytes);
        // A title cut at its bound may end in the blank before the cut.
        while (!title.empty() && title.back() == ' ')
            title.pop_back();
        if (line.size() + title.size() + NewsSeparator.size() > MaxNewsLineBytes)
            break;
        line += title;
        line += NewsSeparator;
    }
    values.RssLine = std::move(line);
    return values;
}

std::string FeedLinkAddress(std::string_view link, std::string_view base)
{
    const std::string_view written = TrimmedBlanks(link);
    if (written.empty())
        return {};
    std::optional<std::string> address = BrowserAddress(written);
    if (!address && !base.empty())
        address = BrowserAddress(ResolveLocation(base, written));
    if (!address || address->size() > MaxNewsLinkBytes)
        return {};
    return *address;
}

} // namespace Halcyra::Net
