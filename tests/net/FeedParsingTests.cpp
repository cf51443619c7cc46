// Weather and news parsing on feeds written in the formats of the weather RSS service and of common
// news feeds.
#include "net/FeedParsing.h"
#include "net/TextRoutines.h"

#include "net/NetTestData.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

using Testing::ReadNetTestFile;
using Testing::ReplaceOnce;

void ExpectNotAvailable(const TWeatherValues &values)
{
    EXPECT_EQ(values.TodayCode, 48);
    EXPECT_EQ(values.TomorrowCode, 48);
    EXPECT_EQ(values.TodayNow, "NA");
    EXPECT_EQ(values.TomorrowLow, "NA");
    EXPECT_EQ(values.TomorrowHi, "NA");
}

TEST(WeatherFeed, TakesTheConditionAndTheSecondForecast)
{
    TWeatherValues values = ParseWeatherFeed(ReadNetTestFile("weather-two-day-f.xml"));
    EXPECT_EQ(values.TodayCode, 32);
    EXPECT_EQ(values.TodayNow, "75");
    EXPECT_EQ(values.TomorrowCode, 26);
    EXPECT_EQ(values.TomorrowLow, "58");
    EXPECT_EQ(values.TomorrowHi, "78");
}

TEST(WeatherFeed, FiveDayAnswerWithNegativeTemperatures)
{
    TWeatherValues values = ParseWeatherFeed(ReadNetTestFile("weather-five-day-c.xml"));
    EXPECT_EQ(values.TodayCode, 11);
    EXPECT_EQ(values.TodayNow, "-1");
    EXPECT_EQ(values.TomorrowCode, 11);
    EXPECT_EQ(values.TomorrowLow, "1");
    EXPECT_EQ(values.TomorrowHi, "9");
}

TEST(WeatherFeed, AnswerWithoutXmlDeclarationIsNotAvailable)
{
    ExpectNotAvailable(ParseWeatherFeed(ReadNetTestFile("weather-error-page.html")));
    ExpectNotAvailable(ParseWeatherFeed(""));
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    ExpectNotAvailable(ParseWeatherFeed(feed.substr(feed.find("<rss"))));
    // The declaration must be followed by a space to be read as "xml".
    ExpectNotAvailable(ParseWeatherFeed(ReplaceOnce(feed, "<?xml ", "<?xml\t")));
}

TEST(WeatherFeed, CodesAndTemperaturesPassThroughUnconverted)
{
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    feed = ReplaceOnce(feed, "code=\"32\"  temp=\"75\"", "code=\"3200\"  temp=\"+75.5\"");
    TWeatherValues values = ParseWeatherFeed(feed);
    EXPECT_EQ(values.TodayCode, 3200);
    EXPECT_EQ(values.TodayNow, "+75.5");
}

TEST(WeatherFeed, MissingTemperatureGivesEmptyText)
{
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    feed = ReplaceOnce(feed, "temp=\"75\"", "");
    feed = ReplaceOnce(feed, "low=\"58\"", "");
    TWeatherValues values = ParseWeatherFeed(feed);
    EXPECT_EQ(values.TodayCode, 32);
    EXPECT_EQ(values.TodayNow, "");
    EXPECT_EQ(values.TomorrowLow, "");
    EXPECT_EQ(values.TomorrowHi, "78");
}

TEST(WeatherFeed, ErrorAnswerWithDeclarationButNoConditionIsRejected)
{
    EXPECT_THROW(ParseWeatherFeed(ReadNetTestFile("weather-error-city-not-found.xml")), EConvertError);
}

TEST(WeatherFeed, CodeThatIsNoNumberIsRejected)
{
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    EXPECT_THROW(ParseWeatherFeed(ReplaceOnce(feed, "code=\"32\"", "code=\"sunny\"")), EConvertError);
    EXPECT_THROW(ParseWeatherFeed(ReplaceOnce(feed, "code=\"32\"", "")), EConvertError);
    EXPECT_THROW(ParseWeatherFeed(ReplaceOnce(feed, "code=\"26\"", "code=\"\"")), EConvertError);
}

TEST(WeatherFeed, TomorrowsCodeIsNeverTakenFromToday)
{
    std::string feed = ReadNetTestFile("weather-two-day-f.xml");
    // Without a code of its own, tomorrow's forecast is no answer at all.
    EXPECT_THROW(ParseWeatherFeed(ReplaceOnce(feed, "code=\"26\"", "")), EConvertError);
    // With a single forecast there is no tomorrow.
    std::string single = ReplaceOnce(feed, "<yweather:forecast day=\"Wed\"", "<yweather:nothing day=\"Wed\"");
    EXPECT_THROW(ParseWeatherFeed(single), EConvertError);
}

TEST(WeatherFeed, FeedURL)
{
    EXPECT_EQ(WeatherFeedURL("weather.example", "20001", "f"), "http://weather.example/forecastrss?p=20001&u=f");
    EXPECT_EQ(WeatherFeedURL("127.0.0.1:8080", "SPXX0016", "c"), "http://127.0.0.1:8080/forecastrss?p=SPXX0016&u=c");
}

TEST(NewsFeed, TitleLinkAndItemsOfAnRss2Feed)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-rss2-world.xml"));
    ASSERT_TRUE(values.NameNews);
    EXPECT_EQ(*values.NameNews, "World & Region | The Daily Ledger");
    ASSERT_TRUE(values.NewsLink);
    EXPECT_EQ(*values.NewsLink, "https://www.dailyledger.example/world");
    EXPECT_EQ(values.RssLine, "  ***  Harbour talks resume after storm"
                              "  ***  Minister calls vote \"a turning point\""
                              "  ***  It's the coldest January in 40 years  ***  ");
}

TEST(NewsFeed, RssElementWithoutDeclarationIsAccepted)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-no-declaration-one-line.xml"));
    ASSERT_TRUE(values.NameNews);
    EXPECT_EQ(*values.NameNews, "Top Stories - News");
    ASSERT_TRUE(values.NewsLink);
    // The link is passed on as the feed writes it.
    EXPECT_EQ(*values.NewsLink, "http://news.example.com/news?ned=us&amp;topic=w");
    EXPECT_EQ(values.RssLine, "  ***  Leaders meet in Geneva - Daily Post  ***  Talks end 'without a deal' - Wire  ***  ");
}

TEST(NewsFeed, BlankLinesBeforeTheRssElement)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-blank-lines-no-declaration.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Gadget Weekly");
    EXPECT_EQ(values.RssLine, "  ***  Why it's time to update  ***  The week's best deals  ***  ");
}

TEST(NewsFeed, CDataTitlesAndLinkWithCrLfLineEnds)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-cdata-crlf.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Markets Mint - Latest");
    EXPECT_EQ(values.NewsLink.value_or("?"), "http://www.markets-mint.example/");
    EXPECT_EQ(values.RssLine, "  ***  Rupee opens flat; markets await policy  ***  Investors' mood turns cautious  ***  ");
}

TEST(NewsFeed, DoublyEscapedReferencesComeOutPlain)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-double-escaped.xml"));
    EXPECT_EQ(values.RssLine, "  ***  Review of \"Agile Web Development\"  ***  Use <b> sparingly & don't nest  ***  ");
}

TEST(NewsFeed, ChannelTitleIsDecodedOnce)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><channel><title>A &amp;amp; B\tC</title>"
                                       "<link>http://x.example/</link></channel></rss>");
    EXPECT_EQ(values.NameNews.value_or("?"), "A &amp; B C");
}

TEST(NewsFeed, ControlCharactersInTitlesBecomeSpaces)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><title>T</title><link>L</link>"
                                       "<item><title>Line one\nline\ttwo\n</title></item></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Line one line two   ***  ");
}

TEST(NewsFeed, AmpersandWithoutSemicolonStays)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><title>Rock & Roll</title></item></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Rock & Roll  ***  ");
}

TEST(NewsFeed, UnknownReferenceStaysAsWritten)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><title>&lt;3 &hearts; &#8212; ok</title></item></rss>");
    EXPECT_EQ(values.RssLine, "  ***  <3 &hearts; &#8212; ok  ***  ");
}

TEST(NewsFeed, FeedWithoutItemsGivesTheSeparatorOnly)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-no-items.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Quiet Feed");
    EXPECT_EQ(values.NewsLink.value_or("?"), "http://quiet.example.net/");
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, TitleWithoutLinkFindsNoItemsAndNoLink)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-title-without-link.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "(Obsolete Feed)");
    EXPECT_FALSE(values.NewsLink);
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, FeedWithoutTitleHasAnEmptyName)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><channel><link>L</link><item>x</item></channel></rss>");
    EXPECT_EQ(values.NameNews.value_or("?"), "");
    EXPECT_FALSE(values.NewsLink);
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, ItemsWithAttributesAreNotFound)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-rdf-items-with-attributes.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Tech Talk");
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, ItemWithoutTitleIsSkipped)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><description>no title</description></item>"
                                       "<item><title>Second</title></item>"
                                       "<item></item>"
                                       "<item><title></title></item></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Second  ***    ***  ");
}

TEST(NewsFeed, UnterminatedItemEndsTheLine)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><title>Kept</title></item><item><title>Lost</title></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Kept  ***  ");
}

TEST(NewsFeed, AnswerThatIsNoFeedIsNotAvailable)
{
    for (const std::string &body : {ReadNetTestFile("news-html-page.html"), std::string(),
                                    std::string("<rss>no attributes</rss>"), std::string("plain text")}) {
        TNewsValues values = ParseNewsFeed(body);
        EXPECT_FALSE(values.NameNews);
        EXPECT_FALSE(values.NewsLink);
        EXPECT_EQ(values.RssLine, "*** Not Available Now ***");
    }
}

} // namespace
} // namespace Halcyra::Net
