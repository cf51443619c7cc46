// Tests of the RSS News tab against a directory server on 127.0.0.1: the title of the current
// feed, the categories and the feeds of a category as the directory answers them, the built-in
// directory when it cannot, and what the tab does when the network fails, when an address is
// unusable, and while a request waits.
#include "config/Form2Fixture.h"
#include "config/NewsDirectory.h"
#include "net/LoopbackServer.h"
#include "net/Windows1252.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <map>
#include <optional>

namespace Halcyra::Testing {
namespace {

constexpr const char *Feed = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>World &amp; News</title>"
                             "<item><title>First headline</title></item></channel></rss>";
constexpr const char *TwoCategories = "<categories count=\"2\"><item><category>World</category><id>7</id></item>"
                                      "<item><category>Tech</category><id>a+b&c</id></item></categories>";
constexpr const char *TechFeeds = "<rsslist count=\"2\"><item><title>Gadgets</title><url>http://gadgets.example/rss</url></item>"
                                  "<item><title>Code</title><url>http://code.example/rss</url></item></rsslist>";

// The path of a request as its first line names it ("GET <path> HTTP/1.0"); the path may hold blanks.
std::string PathOf(const std::string &request)
{
    const std::string line = request.substr(0, request.find("\r\n"));
    const std::size_t end = line.rfind(" HTTP/1.0");
    return line.size() > 4 && end != std::string::npos ? line.substr(4, end - 4) : line;
}

class NewsDirectory : public Form2Test {
protected:
    NewsDirectory()
    {
        Answers["/feed.xml"] = Feed;
        Answers[DirectoryCategoriesPath] = TwoCategories;
        Answers[std::string(DirectoryFeedListPath) + "a+b&c"] = TechFeeds;
        Answers[std::string(DirectoryFeedListPath) + "7"] = "<rsslist count=\"0\"></rsslist>";
        // The answers are complete before the server's thread starts, and never change.
        Server.emplace([this](TLoopbackConnection &connection, const std::string &request) {
            const std::string path = PathOf(request);
            if (path.starts_with(DirectoryFeedListPath) && HoldFeedLists.load())
                ReleaseFeedLists.wait_for(std::chrono::seconds(30));
            auto found = Answers.find(path);
            const std::string body = found == Answers.end() ? "<html>no such page</html>" : found->second;
            connection.Send(TLoopbackServer::Response(found == Answers.end() ? 404 : 200, "OK", "", body));
        });
        Services.WebHost = Server->GetAuthority();
    }

    // Opens the form with this feed address (and proxy settings) stored.
    void OpenWithFeed(const std::string &url, int useProxy = 0, const std::string &port = "")
    {
        TSettings settings = TSettings::Defaults();
        settings.RSS_Url = url;
        settings.UseProxy = useProxy;
        settings.Proxy = "127.0.0.1";
        settings.Port = port;
        Store.WriteAll(settings);
        Open();
    }
    std::string FeedUrl() const { return "http://" + Server->GetAuthority() + "/feed.xml"; }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (const auto &request : Server->GetRequests())
            paths.push_back(PathOf(request));
        return paths;
    }

    std::map<std::string, std::string> Answers;
    // Feed lists wait for ReleaseFeedLists while HoldFeedLists is set (after the future).
    std::shared_future<void> ReleaseFeedLists;
    std::atomic<bool> HoldFeedLists = false;
    std::optional<TLoopbackServer> Server;
};

TEST_F(NewsDirectory, TheFirstShowingLoadsTheFeedsTitleAndTheCategories)
{
    OpenWithFeed(FeedUrl());
    ShowPage(TId::TabSheet3);
    EXPECT_EQ(View->GetText(TId::UrlNews), FeedUrl());
    EXPECT_EQ(View->GetText(TId::StaticText3), "World & News");
    EXPECT_EQ(View->Items(TId::ComboBox1Category), (std::vector<std::string>{"User Defined", "World", "Tech"}));
    EXPECT_EQ(Form->ListBox1IdCategory, (std::vector<std::string>{"0", "7", "a+b&c"}));
    EXPECT_EQ(Selected(TId::ComboBox1Category), "User Defined");
    EXPECT_TRUE(Form->GetDirectoryLoaded());
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/feed.xml", DirectoryCategoriesPath}));
    // Shown again: the address is put back, nothing is loaded again.
    ShowPage(TId::TabSheet3);
    EXPECT_EQ(Server->GetRequests().size(), 2u);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(NewsDirectory, AnAnswerIsReadAsTheXmlItIsAndOneWithoutCategoriesGivesTheBuiltInDirectory)
{
    const std::pair<const char *, bool> bodies[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><categories count=\"1\"><item><category> World \xe9 </category><id>7</id></item></categories>", true},
        {"<categories><item><category>World \xc3\xa9</category><id> 7 </id></item></categories>", true},
        {"<html><item><category>World</category><id>7</id></item></html>", false},
        {"<categories count=\"0\"></categories>", false},
        {"", false}};
    for (auto [body, online] : bodies) {
        SCOPED_TRACE(body);
        const TLoopbackServer other([body](TLoopbackConnection &connection, const std::string &) {
            connection.Send(TLoopbackServer::Response(200, "OK", "", body));
        });
        Services.WebHost = other.GetAuthority();
        OpenWithFeed(FeedUrl());
        ShowPage(TId::TabSheet3);
        EXPECT_EQ(Form->GetBuiltInDirectoryShown(), !online);
        if (online) {
            EXPECT_EQ(View->Items(TId::ComboBox1Category), (std::vector<std::string>{"User Defined", "World \xe9"}));
            EXPECT_EQ(Form->ListBox1IdCategory, (std::vector<std::string>{"0", "7"}));
        } else {
            EXPECT_GE(View->Items(TId::ComboBox1Category).size(), 9u);
            EXPECT_EQ(View->Items(TId::ComboBox1Category).front(), "User Defined");
        }
    }
}

TEST_F(NewsDirectory, TheFeedsTitleIsTheFeedsOwnInEveryFormat)
{
    const std::pair<const char *, const char *> cases[] = {
        {"<rss version=\"2.0\"><channel><title><![CDATA[Tom&#039;s]]></title></channel></rss>", "Tom's"},
        {"<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom \xe2\x80\x93 news</title></feed>", "Atom \x96 news"},
        {"<rss><channel><image><title>Logo</title></image><title>No blank after rss</title></channel></rss>", "No blank after rss"},
        {"<html><title>A page</title></html>", "Not Available"},
        {"<rss version=\"2.0\"><channel></channel></rss>", "Not Available"},
    };
    for (auto [body, title] : cases)
        EXPECT_EQ(FeedTitle(body), title) << body;
}

TEST_F(NewsDirectory, TheFeedsTitleIsReadInTheAnswersCharset)
{
    const TLoopbackServer cyrillic([](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: text/xml; charset=windows-1251\r\n",
                                                  "<rss version=\"2.0\"><channel><title>\xcc\xe8\xf0 \x96 News</title></channel></rss>"));
    });
    OpenWithFeed("http://" + cyrillic.GetAuthority() + "/feed.xml");
    ShowPage(TId::TabSheet3);
    // The system's converter reads the letters; the dialog's code page spells them out.
    EXPECT_EQ(View->GetText(TId::StaticText3), "Mir \x96 News");
}

TEST_F(NewsDirectory, PickingACategoryListsItsFeedsAndTakesTheFirstAddress)
{
    OpenWithFeed(FeedUrl());
    ShowPage(TId::TabSheet3);
    PickEntry(TId::ComboBox1Category, "Tech");
    // The id goes out as received: plus and ampersand unencoded.
    EXPECT_EQ(Paths().back(), std::string(DirectoryFeedListPath) + "a+b&c");
    EXPECT_EQ(View->Items(TId::ComboBox2TitleNews), (std::vector<std::string>{"Gadgets", "Code"}));
    EXPECT_EQ(Selected(TId::ComboBox2TitleNews), "Gadgets");
    EXPECT_EQ(View->GetText(TId::StaticText3), "Gadgets");
    EXPECT_EQ(View->GetText(TId::UrlNews), "http://gadgets.example/rss");
    EXPECT_EQ(Form->GetPendingRSS_Url(), "http://gadgets.example/rss");

    Pick(TId::ComboBox2TitleNews, 1);
    EXPECT_EQ(View->GetText(TId::StaticText3), "Code");
    EXPECT_EQ(Form->GetPendingRSS_Url(), "http://code.example/rss");

    // "User Defined" clears the feeds and keeps the address.
    const std::size_t requests = Server->GetRequests().size();
    PickEntry(TId::ComboBox1Category, "User Defined");
    EXPECT_TRUE(View->Items(TId::ComboBox2TitleNews).empty());
    EXPECT_EQ(Form->GetPendingRSS_Url(), "http://code.example/rss");
    EXPECT_EQ(Server->GetRequests().size(), requests);
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().RSS_Url, "http://code.example/rss");
}

TEST_F(NewsDirectory, ACategoryWithoutFeedsKeepsTheAddress)
{
    OpenWithFeed(FeedUrl());
    ShowPage(TId::TabSheet3);
    Type(TId::UrlNews, "http://typed.example/rss");
    PickEntry(TId::ComboBox1Category, "World");
    EXPECT_TRUE(View->Items(TId::ComboBox2TitleNews).empty());
    EXPECT_EQ(View->GetText(TId::UrlNews), "http://typed.example/rss");
    EXPECT_EQ(Form->GetPendingRSS_Url(), "http://typed.example/rss");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(NewsDirectory, WithoutANetworkTheBuiltInDirectoryServesThroughTheSameLists)
{
    Services.WebHost = "127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort());
    OpenWithFeed("http://127.0.0.1:" + std::to_string(TLoopbackServer::UnusedPort()) + "/feed.xml");
    ShowPage(TId::TabSheet3);
    EXPECT_EQ(View->GetText(TId::StaticText3), "Not Available");
    EXPECT_TRUE(Errors.empty()) << "socket errors show no message";
    EXPECT_TRUE(Form->GetDirectoryLoaded());
    const std::vector<TBuiltInCategory> builtIn = EmbeddedNewsDirectory(Platform::ModuleResources(), Services.TextEncodings);
    ASSERT_FALSE(builtIn.empty());
    std::vector<std::string> names{"User Defined"};
    std::vector<std::string> ids{"0"};
    for (const TBuiltInCategory &category : builtIn) {
        names.push_back(category.Category.Name);
        ids.push_back(category.Category.Value);
    }
    EXPECT_EQ(View->Items(TId::ComboBox1Category), names);
    EXPECT_EQ(Form->ListBox1IdCategory, ids);
    EXPECT_EQ(Selected(TId::ComboBox1Category), "User Defined");

    // "User Defined" requests nothing and keeps the address.
    const std::string pending = Form->GetPendingRSS_Url();
    Pick(TId::ComboBox1Category, 0);
    EXPECT_TRUE(View->Items(TId::ComboBox2TitleNews).empty());
    EXPECT_EQ(Form->GetPendingRSS_Url(), pending);

    // A category lists its feeds at once; picking one sets the address, and OK stores it.
    Pick(TId::ComboBox1Category, 2);
    std::vector<std::string> titles;
    for (const TDirectoryEntry &feed : builtIn[1].Feeds)
        titles.push_back(feed.Name);
    EXPECT_EQ(View->Items(TId::ComboBox2TitleNews), titles);
    EXPECT_EQ(View->GetText(TId::StaticText3), builtIn[1].Feeds[0].Name);
    EXPECT_EQ(Form->GetPendingRSS_Url(), builtIn[1].Feeds[0].Value);
    Pick(TId::ComboBox2TitleNews, 3);
    EXPECT_EQ(View->GetText(TId::UrlNews), builtIn[1].Feeds[3].Value);
    EXPECT_EQ(View->GetText(TId::StaticText3), builtIn[1].Feeds[3].Name);
    EXPECT_TRUE(View->IsEnabled(TId::ComboBox1Category));
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().RSS_Url, builtIn[1].Feeds[3].Value);
}

TEST_F(NewsDirectory, AnUnusableAddressOrPortIsShownAndTheDirectoryLoadsAtTheNextShowing)
{
    struct TCase {
        std::string Url;
        int UseProxy;
        std::string Port;
        std::string Error;
    };
    const TCase cases[] = {{"", 0, "", "Empty URL"},
                           {"http://secure.example/my rss", 0, "", "Invalid character in URL"},
                           {FeedUrl(), 1, "abc", "'abc' is not a valid integer value"}};
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.Error);
        Errors.clear();
        OpenWithFeed(test.Url, test.UseProxy, test.Port);
        const std::size_t requests = Server->GetRequests().size();
        ShowPage(TId::TabSheet3);
        ShowPage(TId::TabSheet3);
        EXPECT_EQ(Errors, (std::vector<std::string>{test.Error, test.Error}));
        EXPECT_FALSE(Form->GetDirectoryLoaded());
        EXPECT_EQ(Server->GetRequests().size(), requests) << "no directory request";
        EXPECT_TRUE(View->IsEnabled(TId::ComboBox1Category));
        EXPECT_FALSE(View->Closed());
    }
    // Once an address is typed, the next showing loads.
    Errors.clear();
    OpenWithFeed("");
    Type(TId::UrlNews, FeedUrl());
    ShowPage(TId::TabSheet3);
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Form->GetDirectoryLoaded());
}

TEST_F(NewsDirectory, UntickingTheProxySendsTheNextRequestDirectly)
{
    // A proxy on 127.0.0.1 that answers as the directory does and keeps what it was asked.
    const std::string authority = "http://" + Server->GetAuthority();
    TLoopbackServer proxy([this, authority](TLoopbackConnection &connection, const std::string &request) {
        std::string path = PathOf(request);
        if (path.starts_with(authority))
            path.erase(0, authority.size());
        auto found = Answers.find(path);
        connection.Send(TLoopbackServer::Response(200, "OK", "", found == Answers.end() ? "" : found->second));
    });
    const std::string port = proxy.GetAuthority().substr(proxy.GetAuthority().rfind(':') + 1);
    OpenWithFeed(FeedUrl(), 1, port);
    ShowPage(TId::TabSheet3);
    EXPECT_EQ(proxy.GetRequests().size(), 2u) << "the feed's title and the categories through the proxy";
    EXPECT_TRUE(Paths().empty());

    View->SetChecked(TId::CheckBox1Proxy, false);
    PickEntry(TId::ComboBox1Category, "Tech");
    EXPECT_EQ(proxy.GetRequests().size(), 2u) << "no request through the proxy once unticked";
    EXPECT_EQ(Paths(), (std::vector<std::string>{std::string(DirectoryFeedListPath) + "a+b&c"}));
    EXPECT_EQ(View->Items(TId::ComboBox2TitleNews), (std::vector<std::string>{"Gadgets", "Code"}));

    View->SetChecked(TId::CheckBox1Proxy, true);
    PickEntry(TId::ComboBox1Category, "World");
    EXPECT_EQ(proxy.GetRequests().size(), 3u) << "ticked again, the proxy is used again";
    EXPECT_TRUE(Errors.empty());
}

TEST_F(NewsDirectory, WhileAFeedListLoadsNoSecondRequestStarts)
{
    std::promise<void> release;
    ReleaseFeedLists = release.get_future().share();
    HoldFeedLists.store(true);
    OpenWithFeed(FeedUrl());
    ShowPage(TId::TabSheet3);

    bool sawWait = false;
    Application.OnProcessMessages = [&] {
        if (sawWait)
            return;
        sawWait = true;
        EXPECT_TRUE(Form->GetRequestRunning());
        EXPECT_FALSE(View->IsEnabled(TId::ComboBox1Category));
        EXPECT_FALSE(View->IsEnabled(TId::ComboBox2TitleNews));
        // The user gets a pick and a tab switch in anyway: neither starts a request.
        PickEntry(TId::ComboBox1Category, "World");
        ShowPage(TId::TabSheet3);
        release.set_value();
    };
    PickEntry(TId::ComboBox1Category, "Tech");
    Application.OnProcessMessages = nullptr;
    EXPECT_TRUE(sawWait);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/feed.xml", DirectoryCategoriesPath, std::string(DirectoryFeedListPath) + "a+b&c"}));
    EXPECT_EQ(View->Items(TId::ComboBox2TitleNews), (std::vector<std::string>{"Gadgets", "Code"}));
    EXPECT_TRUE(View->IsEnabled(TId::ComboBox1Category));
    EXPECT_TRUE(View->IsEnabled(TId::ComboBox2TitleNews));
    EXPECT_TRUE(Errors.empty()) << "no \"Already connected\"";
}

TEST_F(NewsDirectory, ATypedAddressIsPendingAtOnceAndOnlyOkStoresIt)
{
    OpenWithFeed(FeedUrl());
    ShowPage(TId::TabSheet3);
    Type(TId::UrlNews, "http://mine.example/rss");
    EXPECT_EQ(Form->GetPendingRSS_Url(), "http://mine.example/rss");
    EXPECT_EQ(View->GetText(TId::StaticText3), "World & News") << "typing does not refresh the title";
    Click(TId::BTCancel);
    EXPECT_EQ(Stored().value().RSS_Url, FeedUrl());
    Open();
    Type(TId::UrlNews, "http://mine.example/rss");
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().RSS_Url, "http://mine.example/rss");
}

TEST(NewsDirectoryAnswers, EntriesAreDecodedTrimmedAndBounded)
{
    const auto entries = DirectoryEntries("<rsslist ><item><title> A &amp; B\xe2\x80\x94 </title><url> u1?a=1&amp;b=2 </url></item>"
                                          "<item><url>u2</url></item><item><title>no address</title></item></rsslist>",
                                          "rsslist", "title", "url");
    ASSERT_EQ(entries.size(), 1u) << "an entry without a name or a value helps no one pick";
    EXPECT_EQ(entries[0].Name, "A & B\x97");
    EXPECT_EQ(entries[0].Value, "u1?a=1&b=2");
    EXPECT_TRUE(DirectoryEntries("<categories><item><title>t</title><url>u</url></item></categories>", "rsslist", "title", "url").empty());
    std::string many = "<rsslist >";
    for (int i = 0; i < 5000; ++i)
        many += "<item><title>t</title><url>u</url></item>";
    EXPECT_EQ(DirectoryEntries(many, "rsslist", "title", "url").size(), MaxDirectoryEntries);
}

TEST(NewsDirectoryBuiltIn, EightCategoriesOfFivePublishersFeedsAtLeast)
{
    const std::vector<TBuiltInCategory> categories = EmbeddedNewsDirectory(Platform::ModuleResources(), Net::Windows1252Encodings());
    ASSERT_GE(categories.size(), 8u);
    std::vector<std::string> ids;
    for (const TBuiltInCategory &category : categories) {
        SCOPED_TRACE(category.Category.Name);
        EXPECT_FALSE(category.Category.Name.empty());
        EXPECT_NE(category.Category.Value, "0");
        EXPECT_EQ(std::count(ids.begin(), ids.end(), category.Category.Value), 0) << "ids are unique";
        ids.push_back(category.Category.Value);
        EXPECT_GE(category.Feeds.size(), 5u);
        for (const TDirectoryEntry &feed : category.Feeds) {
            EXPECT_FALSE(feed.Name.empty());
            EXPECT_TRUE(feed.Value.starts_with("https://")) << feed.Value;
        }
    }
    // The asset is UTF-8; its names come out in the dialog's code page.
    EXPECT_NE(std::find_if(categories.begin(), categories.end(),
                           [](const TBuiltInCategory &category) { return category.Category.Name == "Actualit\xe9s (fran\xe7" "ais)"; }),
              categories.end());
}

TEST(NewsDirectoryBuiltIn, CategoriesWithoutFeedsOrNamesAreLeftOut)
{
    const auto categories = BuiltInDirectory("<categories><item><category>Empty</category><id>e</id><rsslist/></item>"
                                             "<item><id>n</id><rsslist><item><title>t</title><url>u</url></item></rsslist></item>"
                                             "<item><category>Kept</category><id>k</id><rsslist><item><title>t</title><url>u</url></item></rsslist></item>"
                                             "</categories>",
                                             Net::Windows1252Encodings());
    ASSERT_EQ(categories.size(), 1u);
    EXPECT_EQ(categories[0].Category.Name, "Kept");
    EXPECT_TRUE(BuiltInDirectory("<rsslist/>", Net::Windows1252Encodings()).empty());
}

} // namespace
} // namespace Halcyra::Testing
