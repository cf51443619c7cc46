// Taking URLs apart and building the request lines, without a network: ports by scheme and host,
// paths, hosts kept from the previous request, characters refused, and the exact lines for direct
// and proxy requests.
#include "net/HttpClient.h"
#include "net/SockErrors.h"
#include "net/TextRoutines.h"

#include "support/FakeApplication.h"
#include "support/FakeSocket.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

class HttpClientUrlTest : public ::testing::Test {
protected:
    void Parse(const std::string &url)
    {
        FClient.SetURL(url);
        FClient.ParseURL();
    }

    std::vector<std::string> Lines(const std::string &url)
    {
        Parse(url);
        FClient.AssembleHTTPHeader();
        return FClient.GetRequestLines().GetLines();
    }

    Testing::TFakeApplication FApplication;
    Testing::TFakeSocketLayer FSockets;
    THttpClient FClient{FSockets, FApplication};
};

TEST_F(HttpClientUrlTest, SchemeHostPortAndPath)
{
    Parse("http://weather.example/forecastrss?p=20001&u=f");
    EXPECT_EQ(FClient.GetHost(), "weather.example");
    EXPECT_EQ(FClient.GetPath(), "/forecastrss?p=20001&u=f");
    EXPECT_EQ(FClient.GetPort(), 80);
}

TEST_F(HttpClientUrlTest, PortAfterTheHostIsTakenOutOfIt)
{
    Parse("http://feeds.example:8080/rss");
    EXPECT_EQ(FClient.GetHost(), "feeds.example");
    EXPECT_EQ(FClient.GetPort(), 8080);
    EXPECT_EQ(FClient.GetURL(), "http://feeds.example:8080/rss");
}

TEST_F(HttpClientUrlTest, UrlWithoutPathGainsASlash)
{
    Parse("http://feeds.example");
    EXPECT_EQ(FClient.GetPath(), "/");
    EXPECT_EQ(FClient.GetURL(), "http://feeds.example/");
    EXPECT_EQ(FClient.GetHost(), "feeds.example");
}

TEST_F(HttpClientUrlTest, SchemesSetThePort)
{
    Parse("gopher://hole.example/1");
    EXPECT_EQ(FClient.GetPort(), 70);
    Parse("FTP://files.example/pub");
    EXPECT_EQ(FClient.GetPort(), 21);
    Parse("news://x.example/");
    EXPECT_EQ(FClient.GetPort(), 80);
    Parse("gopher://hole.example:7070/1");
    EXPECT_EQ(FClient.GetPort(), 7070);
}

TEST_F(HttpClientUrlTest, ZeroPortIsEightyAndAUrlWithoutSchemeIsPlainOnPortEighty)
{
    EXPECT_EQ(FClient.GetPort(), 0);
    Parse("feeds.example/rss");
    EXPECT_EQ(FClient.GetPort(), 80);
    EXPECT_EQ(FClient.GetHost(), "feeds.example");
    EXPECT_EQ(FClient.GetPath(), "/rss");
    // Neither a port set before nor the previous request's scheme and port carry over.
    FClient.SetPort(8081);
    Parse("other.example/rss");
    EXPECT_EQ(FClient.GetPort(), 80);
    Parse("https://secure.example:8443/rss");
    Parse("other.example/rss");
    EXPECT_EQ(FClient.GetPort(), 80);
    EXPECT_FALSE(FClient.GetSecure());
    Parse("bare.example");
    EXPECT_EQ(FClient.GetHost(), "bare.example");
    EXPECT_EQ(FClient.GetPath(), "/");
    EXPECT_EQ(FClient.GetURL(), "bare.example/");
}

TEST_F(HttpClientUrlTest, PathAloneKeepsThePreviousHost)
{
    Parse("http://feeds.example:8080/a");
    Parse("/b/c");
    EXPECT_EQ(FClient.GetHost(), "feeds.example");
    EXPECT_EQ(FClient.GetPort(), 8080);
    EXPECT_EQ(FClient.GetPath(), "/b/c");
}

TEST_F(HttpClientUrlTest, PathIsCutButTheUrlIsNot)
{
    std::string path = "/" + std::string(299, 'p');
    Parse("http://feeds.example" + path);
    EXPECT_EQ(FClient.GetPath(), path.substr(0, 256));
    EXPECT_EQ(FClient.GetURL(), "http://feeds.example" + path);
}

TEST_F(HttpClientUrlTest, Errors)
{
    FClient.SetURL("");
    EXPECT_THROW(FClient.ParseURL(), EURLError);
    FClient.SetURL("http://feeds.example:http/");
    EXPECT_THROW(FClient.ParseURL(), EConvertError);
}

TEST_F(HttpClientUrlTest, HttpsTakesPort443AndAPathAloneKeepsTheScheme)
{
    Parse("https://feeds.example/rss");
    EXPECT_TRUE(FClient.GetSecure());
    EXPECT_EQ(FClient.GetPort(), 443);
    Parse("HTTPS://feeds.example:8443/rss");
    EXPECT_TRUE(FClient.GetSecure());
    EXPECT_EQ(FClient.GetPort(), 8443);
    Parse("/other");
    EXPECT_TRUE(FClient.GetSecure());
    EXPECT_EQ(FClient.GetPort(), 8443);
    EXPECT_EQ(FClient.GetHost(), "feeds.example");
    Parse("http://feeds.example/rss");
    EXPECT_FALSE(FClient.GetSecure());
    EXPECT_EQ(FClient.GetPort(), 80);
}

TEST_F(HttpClientUrlTest, BlanksAndControlCharactersAreRefusedBeforeAnythingIsSent)
{
    for (const char *proxy : {"", "127.0.0.1"}) {
        FClient.SetProxy(proxy);
        FClient.SetProxyPort(3128);
        for (const char *url : {"http://feeds.example/rss\r\nGET /second HTTP/1.0", "http://feeds.example/a b",
                                "http://feeds.example/rss\n", "http://feeds\r.example/", "http://feeds example/",
                                "http://feeds.example/\t", "http://feeds.example/\x7F", "http://feeds.example/\x01x",
                                "https://feeds.example/?q=\x1F", " http://feeds.example/", "http://feeds.example/#a b"}) {
            try {
                FClient.Get(url);
                ADD_FAILURE() << "no error for " << url;
            } catch (const EURLError &error) {
                EXPECT_STREQ(error.what(), "Invalid character in URL") << url;
            }
        }
    }
    EXPECT_TRUE(FSockets.Created.empty());
    EXPECT_TRUE(FSockets.LookedUp.empty());
    // Bytes above 0x7F are not controls: such an address is taken apart as usual.
    Parse("http://feeds.example/caf\xC3\xA9");
    EXPECT_EQ(FClient.GetPath(), "/caf\xC3\xA9");
}

TEST(ResolveLocation, TakesTheLocationAgainstTheAddressJustRequested)
{
    const std::string base = "http://feeds.example:8080/a/b/c?q=1";
    struct TCase {
        const char *Location;
        const char *Resolved;
    };
    for (TCase location : {
             TCase{"dir/page.xml", "http://feeds.example:8080/a/b/dir/page.xml"},
             TCase{"page.xml", "http://feeds.example:8080/a/b/page.xml"},
             TCase{"./page.xml", "http://feeds.example:8080/a/b/page.xml"},
             TCase{"../x", "http://feeds.example:8080/a/x"},
             TCase{"..", "http://feeds.example:8080/a/"},
             TCase{"./", "http://feeds.example:8080/a/b/"},
             TCase{"../../../../x", "http://feeds.example:8080/x"},
             TCase{"/abs/path", "http://feeds.example:8080/abs/path"},
             TCase{"/abs/./p/../path/", "http://feeds.example:8080/abs/path/"},
             TCase{"?p=2", "http://feeds.example:8080/a/b/c?p=2"},
             TCase{"d/e?f=../g", "http://feeds.example:8080/a/b/d/e?f=../g"},
             TCase{"#top", "http://feeds.example:8080/a/b/c?q=1"},
             TCase{"x.xml#part", "http://feeds.example:8080/a/b/x.xml"},
             TCase{"  dir/page.xml \t", "http://feeds.example:8080/a/b/dir/page.xml"},
             TCase{"", "http://feeds.example:8080/"},
             TCase{"//other.example/feed", "http://other.example/feed"},
             TCase{"http://other.example:81/feed", "http://other.example:81/feed"},
             TCase{"HTTPS://secure.example/", "HTTPS://secure.example/"},
         }) {
        EXPECT_EQ(ResolveLocation(base, location.Location), location.Resolved) << location.Location;
    }
    EXPECT_EQ(ResolveLocation("http://feeds.example", "x.xml"), "http://feeds.example/x.xml");
    EXPECT_EQ(ResolveLocation("http://feeds.example/", "../x.xml"), "http://feeds.example/x.xml");
}

TEST_F(HttpClientUrlTest, DirectRequestLines)
{
    EXPECT_EQ(Lines("http://feeds.example:8080/rss/world.xml"),
              (std::vector<std::string>{"GET /rss/world.xml HTTP/1.0", "Host: feeds.example",
                                        "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff",
                                        "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript",
                                        "Content-type: application/x-www-form-urlencoded"}));
}

TEST_F(HttpClientUrlTest, ProxyRequestLinesWithCookie)
{
    FClient.SetProxy("proxy.example");
    FClient.SetHeaderInfo({"id=42"});
    EXPECT_EQ(Lines("http://feeds.example/rss"),
              (std::vector<std::string>{"GET http://feeds.example/rss HTTP/1.0", "Proxy-Connection: Keep-Alive",
                                        "Host: feeds.example",
                                        "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff",
                                        "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript",
                                        "Cookie: id=42", "Content-type: application/x-www-form-urlencoded"}));
}

TEST(ExStringList, SetValueReplacesTheLineOfThatNameIgnoringCase)
{
    TExStringList lines;
    lines.Add("GET / HTTP/1.0");
    lines.Add("host: old");
    lines.SetValue("Host", "new");
    lines.SetValue("Cookie", "a=b");
    EXPECT_EQ(lines.GetLines(), (std::vector<std::string>{"GET / HTTP/1.0", "Host: new", "Cookie: a=b"}));
}

} // namespace
} // namespace Halcyra::Net
