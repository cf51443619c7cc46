// A feed's texts as a reader sees them, and the mending of feeds that are not well-formed.
#include "net/ReadableText.h"
#include "net/XmlDocument.h"
#include "net/Windows1252.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

TEST(ReadableText, ReferencesMarkupAndWhiteSpace)
{
    struct TCase {
        const char *Text;
        TTextKind Kind;
        const char *Readable;
    };
    const TCase cases[] = {
        {"It&#8217;s &mdash; &quot;ok&quot;&hellip;", TTextKind::Text, "It\xe2\x80\x99s \xe2\x80\x94 \"ok\"\xe2\x80\xa6"},
        {"&#x41;&#X42;&#67;&apos;&amp;amp;", TTextKind::Text, "ABC'&amp;"},
        {"&#150; &#0; &#xD800; &#1114112;", TTextKind::Text, "\xe2\x80\x93 \xef\xbf\xbd \xef\xbf\xbd \xef\xbf\xbd"},
        {"&Eacute;&eacute; &EACUTE; &madeup; & ; &#x; AT&T", TTextKind::Text, "\xc3\x89\xc3\xa9 &EACUTE; &madeup; & ; &#x; AT&T"},
        {"  a\t\n b&nbsp;&nbsp;c\xe2\x80\x83" "d \xc2\xad\xe2\x80\x8b" "e  ", TTextKind::Text, "a b c d e"},
        {"<b>kept</b> in text", TTextKind::Text, "<b>kept</b> in text"},
        {"<span class='r'>\xe2\x82\xb9</span>5 <a href=\"x>y\">link</a>", TTextKind::Html, "\xe2\x82\xb9" "5 link"},
        {"one<br>two<p>three</p><!-- note -->four", TTextKind::Html, "one two three four"},
        {"&lt;b&gt; is shown, <vector> and 2 < 3 too", TTextKind::Html, "<b> is shown, <vector> and 2 < 3 too"},
        {"unclosed <b class=\"x", TTextKind::Html, "unclosed <b class=\"x"},
    };
    for (const TCase &test : cases)
        EXPECT_EQ(ReadableText(test.Text, test.Kind), test.Readable) << test.Text;
}

TEST(MendedXml, WhatFeedsGetWrongIsMended)
{
    const std::pair<const char *, const char *> cases[] = {
        {"junk <?xml version=\"1.0\"?><a/>", "<?xml version=\"1.0\"?><a/>"},
        {"\n\n  <rss/>", "<rss/>"},
        {"<t>Rock & Roll &nbsp;&unknown; &#150; &#1; &amp;&lt;</t>", "<t>Rock &amp; Roll &#160;&amp;unknown; &#8211;   &amp;&lt;</t>"},
        {"<t>5 < 7 <br> <img src=\"a.png\"> <br/></t>", "<t>5 &lt; 7 <br/> <img src=\"a.png\"/> <br/></t>"},
        {"<a href=\"?x=1&y=<2>\">t</a>", "<a href=\"?x=1&amp;y=&lt;2>\">t</a>"},
        {"<t><![CDATA[a & b < c]]><!-- & --><?pi & ?></t>", "<t><![CDATA[a & b < c]]><!-- & --><?pi & ?></t>"},
        {"<t>\x01\x1f\ttab</t>", "<t>  \ttab</t>"},
        {"<!DOCTYPE rss [<!ENTITY x \"y\">]><rss/>", "<!DOCTYPE rss [<!ENTITY x \"y\">]><rss/>"},
        {"no markup at all", ""},
    };
    for (auto [text, mended] : cases)
        EXPECT_EQ(MendedXml(text), mended) << text;
}

TEST(XmlDocument, AWellFormedDocumentIsReadStrictlyAndAnIllFormedOneMended)
{
    const TXmlDocument strict = TXmlDocument::Read("<r a=\"1\"><t>x</t></r>", {}, Windows1252Encodings());
    EXPECT_EQ(strict.Reading(), TXmlReading::WellFormed);
    EXPECT_EQ(strict.Root().LocalName(), "r");
    EXPECT_EQ(strict.Root().Attribute("a").value_or("?"), "1");
    const TXmlDocument mended = TXmlDocument::Read("<r><t>a & b</r>", {}, Windows1252Encodings());
    EXPECT_EQ(mended.Reading(), TXmlReading::Mended);
    EXPECT_EQ(mended.Root().Children().at(0).Text(100), "a & b");
    for (const char *unreadable : {"", "plain text", "\x00\x01"}) {
        const TXmlDocument none = TXmlDocument::Read(unreadable, {}, Windows1252Encodings());
        EXPECT_EQ(none.Reading(), TXmlReading::Unreadable) << unreadable;
        EXPECT_FALSE(none.Root());
    }
}

TEST(XmlDocument, EntitiesAreNeitherLoadedNorExpanded)
{
    // An entity that would read a file gives nothing; one that would grow a thousandfold makes the
    // document ill-formed, and the mended reading shows the references as written.
    const TXmlDocument external = TXmlDocument::Read(
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY file SYSTEM \"file:///etc/hostname\">]><r>[&file;]</r>", {},
        Windows1252Encodings());
    EXPECT_EQ(external.Reading(), TXmlReading::WellFormed);
    EXPECT_EQ(external.Root().Text(1 << 20), "[]");
    const std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                               "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]><r>&d;</r>";
    EXPECT_EQ(TXmlDocument::Read(laughs, {}, Windows1252Encodings()).Root().Text(1 << 20), "&d;");
}

TEST(XmlDocument, TextIsCutOnACharactersBoundary)
{
    const TXmlDocument document = TXmlDocument::Read("<r>ab\xe2\x82\xb9<i>cd</i></r>", {}, Windows1252Encodings());
    EXPECT_EQ(document.Root().Text(4), "ab");
    EXPECT_EQ(document.Root().Text(5), "ab\xe2\x82\xb9");
    EXPECT_EQ(document.Root().Text(100), "ab\xe2\x82\xb9" "cd");
}

} // namespace
} // namespace Halcyra::Net
