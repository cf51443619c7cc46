// Weather and news parsing on feeds written in the formats of the weather RSS service and of common
// news feeds: every RSS and Atom version, their character sets, ill-formed feeds and the bounds.
#include "net/FeedParsing.h"
#include "net/TextRoutines.h"
#include "platform/TextEncodings.h"

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
                              "  ***  It\x92s the coldest January in 40 years  ***  ");
}

TEST(NewsFeed, RssElementWithoutDeclarationIsAcceptedAndItsLinkDecoded)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-no-declaration-one-line.xml"));
    ASSERT_TRUE(values.NameNews);
    EXPECT_EQ(*values.NameNews, "Top Stories - News");
    ASSERT_TRUE(values.NewsLink);
    EXPECT_EQ(*values.NewsLink, "http://news.example.com/news?ned=us&topic=w");
    EXPECT_EQ(values.RssLine, "  ***  Leaders meet in Geneva - Daily Post  ***  Talks end 'without a deal' - Wire  ***  ");
}

TEST(NewsFeed, BlankLinesBeforeTheRssElement)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-blank-lines-no-declaration.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Gadget Weekly");
    EXPECT_EQ(values.RssLine, "  ***  Why it's time to update  ***  The week\x92s best deals  ***  ");
}

TEST(NewsFeed, CDataTitlesAndLinkWithCrLfLineEnds)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-cdata-crlf.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Markets Mint - Latest");
    EXPECT_EQ(values.NewsLink.value_or("?"), "http://www.markets-mint.example/");
    EXPECT_EQ(values.RssLine, "  ***  Rupee opens flat; markets await policy  ***  Investors\x92 mood turns cautious  ***  ");
}

TEST(NewsFeed, DoublyEscapedReferencesComeOutPlain)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-double-escaped.xml"));
    EXPECT_EQ(values.RssLine, "  ***  Review of \"Agile Web Development\"  ***  Use <b> sparingly & don't nest  ***  ");
}

TEST(NewsFeed, ChannelTitleReadsAsTheHeadlinesDo)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><channel><title>A &amp;amp; B\tC</title>"
                                       "<link>http://x.example/</link></channel></rss>");
    EXPECT_EQ(values.NameNews.value_or("?"), "A & B C");
}

TEST(NewsFeed, ControlCharactersInTitlesBecomeSpaces)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><title>T</title><link>L</link>"
                                       "<item><title>Line one\nline\ttwo\n</title></item></rss>");
    // Runs of white space are one space, and a title has none at its ends.
    EXPECT_EQ(values.RssLine, "  ***  Line one line two  ***  ");
}

TEST(NewsFeed, AmpersandWithoutSemicolonStays)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><title>Rock & Roll</title></item></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Rock & Roll  ***  ");
}

TEST(NewsFeed, HtmlNamesAndNumberedReferencesAreDecodedAndAnUnknownNameStays)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><title>&lt;3 &hearts; &#8212; &#x2019;ok&madeup;</title></item></rss>");
    // The heart is not in Windows-1252 and has no stand-in.
    EXPECT_EQ(values.RssLine, "  ***  <3 ? \x97 \x92ok&madeup;  ***  ");
}

TEST(NewsFeed, FeedWithoutItemsGivesTheSeparatorOnly)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-no-items.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Quiet Feed");
    EXPECT_EQ(values.NewsLink.value_or("?"), "http://quiet.example.net/");
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, TitleWithoutLinkStillGivesTheHeadlines)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-title-without-link.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "(Obsolete Feed)");
    EXPECT_FALSE(values.NewsLink);
    EXPECT_EQ(values.RssLine, "  ***  Feed has moved  ***  ");
}

TEST(NewsFeed, FeedWithoutTitleHasAnEmptyName)
{
    TNewsValues values = ParseNewsFeed("<rss version=\"2.0\"><channel><link>L</link><item>x</item></channel></rss>");
    EXPECT_EQ(values.NameNews.value_or("?"), "");
    EXPECT_FALSE(values.NewsLink);
    EXPECT_EQ(values.RssLine, "  ***  ");
}

TEST(NewsFeed, ItemsWithAttributesAreRead)
{
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-rdf-items-with-attributes.xml"));
    EXPECT_EQ(values.NameNews.value_or("?"), "Tech Talk");
    EXPECT_EQ(values.RssLine, "  ***  Compilers get faster  ***  ");
}

TEST(NewsFeed, ItemWithoutTitleIsSkipped)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><title>T</title><link>L</link>"
                                       "<item><description>no title</description></item>"
                                       "<item><title>Second</title></item>"
                                       "<item></item>"
                                       "<item><title></title></item></rss>");
    // An empty title is no title.
    EXPECT_EQ(values.RssLine, "  ***  Second  ***  ");
}

TEST(NewsFeed, AFeedCutOffGivesTheHeadlinesBeforeTheCut)
{
    TNewsValues values = ParseNewsFeed("<?xml version=\"1.0\"?><rss><channel><title>T</title><link>L</link>"
                                       "<item><title>Kept</title></item><item><title>Unclosed</title></rss>");
    EXPECT_EQ(values.RssLine, "  ***  Kept  ***  Unclosed  ***  ");
    values = ParseNewsFeed("<rss version=\"2.0\"><channel><title>T</title><item><title>Whole</title></item><item><tit");
    EXPECT_EQ(values.RssLine, "  ***  Whole  ***  ");
}

TEST(NewsFeed, AnswerThatIsNoFeedIsNotAvailable)
{
    for (const std::string &body : {ReadNetTestFile("news-html-page.html"), std::string(), std::string("plain text"),
                                    std::string("{\"items\": []}"), std::string("<feed xmlns=\"urn:x-other\"><title>x</title></feed>")}) {
        TNewsValues values = ParseNewsFeed(body);
        EXPECT_FALSE(values.NameNews);
        EXPECT_FALSE(values.NewsLink);
        EXPECT_EQ(values.RssLine, "*** Not Available Now ***");
    }
}

} // namespace
} // namespace Halcyra::Net

namespace Halcyra::Net {
namespace {

using Testing::ReadNetTestFile;

// Feeds shaped like the ones people subscribe to, each with the name, link and line it gives.
TEST(NewsFeedFormats, EveryFormatGivesItsOwnNameLinkAndHeadlines)
{
    struct TCase {
        const char *File;
        const char *Name;
        const char *Link; // "" for none
        const char *Line;
    };
    const TCase cases[] = {
        // Atom 1.0: titles of text, HTML and XHTML; the alternate link, not the self link; an entry
        // without a title left out; a module's title never taken.
        {"news-atom10-utf8.xml", "Entwickler-Ticker \x96 neueste Meldungen",
         "http://www.ticker.example/developer/?wt_mc=rss&from=atom",
         "  ***  Anwendungsserver: Version 10 f\xfcr Java EE 7 ist frei  ***  Cordova-Erweiterung \"Tools\" ver\xf6" "ffentlicht"
         "  ***  \xc4nderungen bei der Authentifizierung & mehr  ***  Tales from the Web side: Typpr\xfc" "fungen  ***  "},
        // Atom 0.3: escaped HTML titles; a title of text keeps what looks like markup.
        {"news-atom03-escaped.xml", "Pine & Quill Weblog", "http://pinequill.example/",
         "  ***  Sharpening chisels \x97 a primer  ***  Glue <b> versus </b> screws  ***  "},
        // RSS 1.0 named ISO-8859-1, whose byte 0x92 is the quote Windows wrote; Dublin Core's title; the
        // channel's own title, neither the image's nor the text input's.
        {"news-rdf-latin1.xml", "Tech Talk", "http://tech.example.org/?from=rss&x=1",
         "  ***  Caf\xe9 owners\x92 compilers get faster  ***  Survey: C still leads \xab new \xbb projects  ***  "},
        {"news-rss092-windows1252.xml", "Caf\xe9 Courier \x96 Front page", "http://courier.example/",
         "  ***  \x93Prices up\x94 as the \x80 slips \x97 again\x85  ***  Na\xefve \x91tests\x92 pass  ***  "},
        // CDATA holding HTML shows its text: no tags, no comment, a line break a blank; a "<" that starts
        // no HTML tag stays.
        {"news-cdata-html.xml", "Mint Markets - News", "https://www.mint-markets.example/rss/News",
         "  ***  Shares rise to Rs1,200 after results  ***  Investors\x92 mood turns cautious"
         "  ***  Is 2 < 3? Vectors <vector> and & more  ***  "},
        // Not well-formed: an HTML name XML lacks, a bare "&", an unclosed line break, a bare "<".
        {"news-ill-formed.xml", "Tom & Jerry's Corner Shop", "http://corner.example/?a=1&b=2",
         "  ***  Rock & Roll Night \x85 tonight  ***  Caf\xe9 opens downtown  ***  Price: 5 < 7 \xa9 &unknown;  ***  "},
        // A channel without a title keeps its headlines and gets an empty name.
        {"news-no-channel-title.xml", "", "", "  ***  First without a link  ***  Second  ***  "},
    };
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.File);
        const TNewsValues values = ParseNewsFeed(ReadNetTestFile(test.File));
        EXPECT_EQ(values.NameNews.value_or("(not set)"), test.Name);
        EXPECT_EQ(values.NewsLink.value_or(""), test.Link);
        EXPECT_EQ(values.RssLine, test.Line);
    }
    // A root without a channel is read as one.
    EXPECT_EQ(ParseNewsFeed("<rss><title>T</title><item><title>I</title></item></rss>").NameNews.value_or("?"), "T");
}

TEST(NewsFeedFormats, Rss20WithNamespacesInUtf8)
{
    TAnswerReading reading;
    reading.Address = "https://www.harbour-times.example/rss/world.xml?edition=int";
    TNewsValues values = ParseNewsFeed(ReadNetTestFile("news-rss2-namespaces.xml"), reading);
    EXPECT_EQ(values.NameNews.value_or("?"), "Harbour Times \x96 World");
    // The relative link is the feed's own page on the feed's server.
    EXPECT_EQ(values.NewsLink.value_or("?"), "https://www.harbour-times.example/world/");
    EXPECT_EQ(values.RssLine, "  ***  Talks on the \x93new\x94 treaty resume \x97 again"
                              "  ***  Rupee falls to Rs83 against the dollar\x85"
                              "  ***  F\xfcr G\xe4ste: Z\xfcrich\x92s \x91new\x92 caf\xe9  ***  ");
    EXPECT_FALSE(ParseNewsFeed(ReadNetTestFile("news-rss2-namespaces.xml")).NewsLink) << "no address to take it against";
}

TEST(NewsFeedFormats, ByteOrderMarksUtf16AndTheAnswersCharset)
{
    const std::string feed = "<rss version=\"2.0\"><channel><title>Caf\xc3\xa9 \xe2\x80\x93 \xd0\x9c\xd0\xb8\xd1\x80</title></channel></rss>";
    EXPECT_EQ(ParseNewsFeed("\xEF\xBB\xBF" + feed).NameNews.value_or("?"), "Caf\xe9 \x96 Mir");
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<rss version=\"2.0\"><channel><title>Caf\xe9</title></channel></rss>")) {
        utf16 += c;
        utf16 += '\0';
    }
    EXPECT_EQ(ParseNewsFeed(utf16).NameNews.value_or("?"), "Caf\xe9");

    // Without a declaration, the answer's charset names the bytes; the system converts them.
    TAnswerReading reading;
    reading.Encodings = &Platform::SystemTextEncodings();
    reading.Charset = "windows-1251";
    const std::string cyrillic = "<rss version=\"2.0\"><channel><title>\xcc\xee\xf1\xea\xe2\xe0</title></channel></rss>";
    EXPECT_EQ(ParseNewsFeed(cyrillic, reading).NameNews.value_or("?"), "Moskva");
    // A declaration names them before the charset does.
    reading.Charset = "iso-8859-1";
    EXPECT_EQ(ParseNewsFeed("<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + cyrillic, reading).NameNews.value_or("?"), "Moskva");
}

TEST(NewsFeedBounds, LargeFeedsAreCutNeverRefused)
{
    std::string feed = "<rss version=\"2.0\"><channel><title>" + std::string(600, 'n') + "</title><link>http://x.example/" +
                       std::string(600, 'l') + "</link>";
    for (int item = 0; item < 150; ++item)
        feed += "<item><title>" + std::to_string(item) + "</title></item>";
    feed += "</channel></rss>";
    TNewsValues values = ParseNewsFeed(feed);
    EXPECT_EQ(values.NameNews.value_or("?"), std::string(512, 'n'));
    EXPECT_FALSE(values.NewsLink) << "a cut address would open another page";
    EXPECT_NE(values.RssLine.find("  ***  99  ***  "), std::string::npos);
    EXPECT_TRUE(values.RssLine.ends_with("  ***  99  ***  ")) << "at most 100 headlines";

    // A title is cut at 512 bytes before a stand-in that would not fit whole; the line stops at 32 KiB
    // before a headline that would not fit whole, and still ends with the separator.
    std::string rupees = "x";
    for (int i = 0; i < 300; ++i)
        rupees += "\xe2\x82\xb9";
    std::string longFeed = "<rss version=\"2.0\"><channel><title>T</title>";
    for (int item = 0; item < 100; ++item)
        longFeed += "<item><title>" + rupees + "</title></item>";
    longFeed += "</channel></rss>";
    values = ParseNewsFeed(longFeed);
    const std::string cutTitle = "x" + [] {
        std::string text;
        for (int i = 0; i < 255; ++i)
            text += "Rs";
        return text;
    }();
    EXPECT_TRUE(values.RssLine.starts_with("  ***  " + cutTitle + "  ***  "));
    EXPECT_LE(values.RssLine.size(), 32u * 1024);
    EXPECT_GT(values.RssLine.size(), 32u * 1024 - 511 - 7);
    EXPECT_TRUE(values.RssLine.ends_with(cutTitle + "  ***  "));
}

TEST(NewsFeedLinks, LinksBecomeAddressesABrowserOpens)
{
    const std::pair<const char *, const char *> cases[] = {
        {" https://a.example/path?q=1&r=2 \n", "https://a.example/path?q=1&r=2"},
        {"https://a.example/caf\xc3\xa9 menu", "https://a.example/caf%C3%A9%20menu"},
        {"/news/", "https://feeds.example/news/"},
        {"story.html", "https://feeds.example/rss/story.html"},
        {"javascript:alert(1)", ""},
        {"file:///etc/passwd", ""},
        {"", ""},
    };
    for (auto [link, address] : cases)
        EXPECT_EQ(FeedLinkAddress(link, "https://feeds.example/rss/all.xml"), address) << link;
    EXPECT_EQ(FeedLinkAddress("/news/", ""), "");
}

} // namespace
} // namespace Halcyra::Net
