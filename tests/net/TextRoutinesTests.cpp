// The feed text routines: cutting between markers, finding references, decoding and stripping.
#include "net/TextRoutines.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

TEST(ExtractBetween, CutsTokenAndLeavesRestAfterTheEndMarkersFirstCharacter)
{
    std::string rest;
    std::string token;
    ExtractBetween("<item><title>X</title></item>tail", "<item>", rest, token, "</item>");
    EXPECT_EQ(token, "<title>X</title>");
    EXPECT_EQ(rest, "/item>tail");
}

TEST(ExtractBetween, SingleCharacterEndMarkerIsSkippedWhole)
{
    std::string rest;
    std::string token;
    ExtractBetween("<?xml version=\"1.0\"?>", "<?", rest, token, " ");
    EXPECT_EQ(token, "xml");
    EXPECT_EQ(rest, "version=\"1.0\"?>");
}

TEST(ExtractBetween, BeginMarkerStartsAtTheFirstCharacter)
{
    std::string rest;
    std::string token;
    ExtractBetween("BEGINNING|end", "BEGIN", rest, token, "|");
    EXPECT_EQ(token, "BEGINNING");
    EXPECT_EQ(rest, "end");
}

TEST(ExtractBetween, MissingStartMarkerGivesFinAndKeepsToken)
{
    std::string rest = "old";
    std::string token = "previous";
    ExtractBetween("no markers here", "<title>", rest, token, "</title>");
    EXPECT_EQ(rest, "FIN");
    EXPECT_EQ(token, "previous");
}

TEST(ExtractBetween, MissingEndMarkerGivesFinAndKeepsToken)
{
    std::string rest;
    std::string token = "previous";
    ExtractBetween("<title>unterminated", "<title>", rest, token, "</title>");
    EXPECT_EQ(rest, "FIN");
    EXPECT_EQ(token, "previous");
}

TEST(ExtractBetween, EndMarkerIsSearchedOnlyAfterTheStartMarker)
{
    std::string rest;
    std::string token;
    ExtractBetween("\"early\" code=\"32\" temp=\"75\"", "code=\"", rest, token, "\"");
    EXPECT_EQ(token, "32");
    EXPECT_EQ(rest, " temp=\"75\"");
}

TEST(ExtractBetween, EmptyTokenAndEmptyRest)
{
    std::string rest = "x";
    std::string token = "x";
    ExtractBetween("<a></a>", "<a>", rest, token, "<");
    EXPECT_EQ(token, "");
    EXPECT_EQ(rest, "/a>");
    ExtractBetween("ab", "a", rest, token, "b");
    EXPECT_EQ(token, "");
    EXPECT_EQ(rest, "");
}

TEST(ExtractBetween, EmptyMarkersAreNeverFound)
{
    std::string rest;
    std::string token = "kept";
    ExtractBetween("text", "", rest, token, "x");
    EXPECT_EQ(rest, "FIN");
    ExtractBetween("text", "t", rest, token, "");
    EXPECT_EQ(rest, "FIN");
    EXPECT_EQ(token, "kept");
}

TEST(ExtractBetween, SearchIsCaseSensitive)
{
    std::string rest;
    std::string token = "kept";
    ExtractBetween("<TITLE>A</TITLE>", "<title>", rest, token, "</title>");
    EXPECT_EQ(rest, "FIN");
    EXPECT_EQ(token, "kept");
}

TEST(ExtractBetween, OutArgumentsMayBeTheInputItself)
{
    std::string body = "<a>1</a><a>2</a>";
    std::string token;
    ExtractBetween(body, "<a>", body, token, "</a>");
    EXPECT_EQ(token, "1");
    EXPECT_EQ(body, "/a><a>2</a>");
    std::string same = "<b>x</b>";
    ExtractBetween(same, "<b>", token, same, "</b>");
    EXPECT_EQ(same, "x");
    EXPECT_EQ(token, "/b>");
}

TEST(ExtractEntity, FindsNameBeforeAndRest)
{
    std::string rest;
    std::string before;
    std::string name;
    bool found = false;
    ExtractEntity("A &amp; B", rest, found, before, name);
    EXPECT_TRUE(found);
    EXPECT_EQ(before, "A ");
    EXPECT_EQ(name, "amp");
    EXPECT_EQ(rest, " B");
}

TEST(ExtractEntity, NoAmpersandLeavesBeforeAndNameUnchanged)
{
    std::string rest;
    std::string before = "b";
    std::string name = "n";
    bool found = true;
    ExtractEntity("plain", rest, found, before, name);
    EXPECT_FALSE(found);
    EXPECT_EQ(rest, "plain");
    EXPECT_EQ(before, "b");
    EXPECT_EQ(name, "n");
}

TEST(ExtractEntity, AmpersandWithoutSemicolonSetsBeforeOnly)
{
    std::string rest;
    std::string before = "b";
    std::string name = "n";
    bool found = true;
    ExtractEntity("Q & A", rest, found, before, name);
    EXPECT_FALSE(found);
    EXPECT_EQ(rest, "Q & A");
    EXPECT_EQ(before, "Q ");
    EXPECT_EQ(name, "n");
}

TEST(ExtractEntity, NameRunsToTheFirstSemicolonAfterTheAmpersand)
{
    std::string rest;
    std::string before;
    std::string name;
    bool found = false;
    ExtractEntity("x; &a&b;c;", rest, found, before, name);
    EXPECT_TRUE(found);
    EXPECT_EQ(before, "x; ");
    EXPECT_EQ(name, "a&b");
    EXPECT_EQ(rest, "c;");
}

TEST(DecodeEntities, EveryNameOfTheTable)
{
    EXPECT_EQ(DecodeEntities("&quot;&amp;&#039;&apos;&lt;&gt;&#36;&#39;&#038;"), "\"&''<>$'&");
}

TEST(DecodeEntities, NamesAreCaseSensitiveAndUnknownOnesStayAsWritten)
{
    EXPECT_EQ(DecodeEntities("&AMP; &amp; &nbsp; &#8217;"), "&AMP; & &nbsp; &#8217;");
}

TEST(DecodeEntities, UnknownReferenceDoesNotRepeatThePreviousReplacement)
{
    EXPECT_EQ(DecodeEntities("&lt;b&gt; &raquo; more"), "<b> &raquo; more");
}

TEST(DecodeEntities, AmpersandWithoutSemicolonLeavesTheRestUnchanged)
{
    EXPECT_EQ(DecodeEntities("Q&amp;A: Rock & Roll"), "Q&A: Rock & Roll");
    EXPECT_EQ(DecodeEntities("trailing &"), "trailing &");
}

TEST(DecodeEntities, DecodesOnceOnly)
{
    EXPECT_EQ(DecodeEntities("&amp;quot;"), "&quot;");
    EXPECT_EQ(DecodeEntities(DecodeEntities("&amp;quot;")), "\"");
}

TEST(DecodeEntities, ControlCharactersBecomeSpacesButHighBytesStay)
{
    EXPECT_EQ(DecodeEntities("a\tb\nc\r\n"), "a b c  ");
    EXPECT_EQ(DecodeEntities(std::string("x\0y", 3)), "x y");
    EXPECT_EQ(DecodeEntities("caf\xC3\xA9 \x7F\xFF"), "caf\xC3\xA9 \x7F\xFF");
}

TEST(DecodeEntities, EmptyText)
{
    EXPECT_EQ(DecodeEntities(""), "");
    EXPECT_EQ(DecodeEntities("&;"), "&;");
}

TEST(StripCData, RemovesBracketsAndMakesApostrophes)
{
    EXPECT_EQ(StripCData("<![CDATA[It\xE2\x80\x99s here]]>"), "It's here");
    EXPECT_EQ(StripCData("don&amp;#39;t"), "don't");
}

TEST(StripCData, ReplacesEveryOccurrenceInOrder)
{
    EXPECT_EQ(StripCData("<![CDATA[a]]> <![CDATA[b]]>"), "a b");
    // The brackets go after the apostrophes: a marker split by a quotation mark stays split.
    EXPECT_EQ(StripCData("]]\xE2\x80\x99>"), "]]'>");
    // Removing the opening bracket can make a closing one, which the later step then removes.
    EXPECT_EQ(StripCData("]<![CDATA[]>"), "");
}

TEST(StripCData, OtherTextIsUntouched)
{
    EXPECT_EQ(StripCData("plain &#39; \xE2\x80\x98"), "plain &#39; \xE2\x80\x98");
    EXPECT_EQ(StripCData(""), "");
}

TEST(StrToInt, DecimalNumbers)
{
    EXPECT_EQ(StrToInt("32"), 32);
    EXPECT_EQ(StrToInt("-5"), -5);
    EXPECT_EQ(StrToInt("+8080"), 8080);
    EXPECT_EQ(StrToInt("  3200"), 3200);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
}

TEST(StrToInt, AnythingElseIsAConversionError)
{
    for (const char *text : {"", " ", "xml", "12a", "1 ", "+-1", "--1", "2147483648", "0x10", "3.5"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const EConvertError &error) {
            EXPECT_EQ(std::string(error.what()), "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

} // namespace
} // namespace Halcyra::Net
