// The character sets of downloaded documents and the gadgets' 8-bit text: detection, conversion by
// the core and by the system, and the stand-ins for what a code page lacks.
#include "net/AnsiText.h"
#include "net/DocumentEncoding.h"
#include "net/Utf8.h"
#include "net/Windows1252.h"
#include "platform/TextEncodings.h"

#include <gtest/gtest.h>

#include <map>

namespace Halcyra::Net {
namespace {

// A code page that has ASCII and the Russian letters of Windows-1251, a few of its punctuation marks,
// and nothing else: the stand-ins must fill in for the rest.
class TCyrillicCodePage final : public Platform::ITextEncodings {
public:
    bool AppendAnsi(char32_t character, std::string &text) const override
    {
        static constexpr std::pair<char32_t, unsigned char> Punctuation[] = {
            {0x2013, 0x96}, {0x201C, 0x93}, {0x201D, 0x94}, {0x00AB, 0xAB}, {0x00BB, 0xBB}};
        if (character >= 0x0410 && character <= 0x044F) {
            text.push_back(static_cast<char>(0xC0 + (character - 0x0410)));
            return true;
        }
        for (auto [unicode, byte] : Punctuation) {
            if (unicode == character) {
                text.push_back(static_cast<char>(byte));
                return true;
            }
        }
        return false;
    }
    std::optional<std::string> DecodeToUtf8(std::string_view, std::string_view) const override { return std::nullopt; }
};

TEST(AnsiText, CharactersTheCodePageLacksGetNearStandIns)
{
    const std::pair<const char *, const char *> cases[] = {
        // In Windows-1252 as they are.
        {"\xe2\x80\x9cQuotes\xe2\x80\x9d \xe2\x80\x98" "and\xe2\x80\x99 \xe2\x80\x93 dashes \xe2\x80\x94 \xe2\x82\xac" "5\xe2\x80\xa6",
         "\x93Quotes\x94 \x91" "and\x92 \x96 dashes \x97 \x80" "5\x85"},
        {"f\xc3\xbcr Gr\xc3\xbc\xc3\x9f" "e \xc2\xa9", "f\xfcr Gr\xfc\xdf" "e \xa9"},
        // Letters without their marks, and spelled out.
        {"\xc5\x81\xc3\xb3" "d\xc5\xba, Ha\xc5\x9f" "ek, \xc3\x90\xc3\xb8" "r, Tr\xe1\xba\xa7n", "L\xf3" "dz, Hasek, \xd0\xf8r, Tran"},
        {"\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0 \xd0\xa9\xd1\x83\xd0\xba\xd0\xb8\xd0\xbd", "Moskva Shchukin"},
        {"\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1", "Athina"},
        // Symbols, full-width letters, combining marks, what has no form at all, and invalid UTF-8.
        {"\xe2\x82\xb9 1 \xe2\x86\x92 2 \xe2\x89\xa4 3", "Rs 1 -> 2 <= 3"},
        {"\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\x91", "AB1"},
        {"e\xcc\x81t\xcc\x88", "et"},
        {"\xe4\xb8\xad\xe6\x96\x87 \xe2\x99\xa5", "?? ?"},
        {"bad \xff\xc3 bytes \xed\xa0\x80", "bad ?? bytes ???"},
    };
    for (auto [utf8, ansi] : cases)
        EXPECT_EQ(Utf8ToAnsi(utf8, Windows1252Encodings(), 1000), ansi) << utf8;
}

TEST(AnsiText, ACodePageThatHasTheCharacterIsUsedFirst)
{
    const TCyrillicCodePage cyrillic;
    // Cyrillic letters and the dash and quotes it has; the euro sign, the curly single quotes and
    // the Latin letter with an accent take their stand-ins.
    EXPECT_EQ(Utf8ToAnsi("\xe2\x80\x9c\xd0\x9c\xd0\xb8\xd1\x80\xe2\x80\x9d \xe2\x80\x93 \xe2\x82\xac \xe2\x80\x98" "caf\xc3\xa9\xe2\x80\x99",
                         cyrillic, 100),
              "\x93\xcc\xe8\xf0\x94 \x96 EUR 'cafe'");
}

TEST(AnsiText, TheBoundCutsBeforeACharacterThatWouldNotFitWhole)
{
    EXPECT_EQ(Utf8ToAnsi("ab\xe2\x82\xb9", Windows1252Encodings(), 3), "ab");
    EXPECT_EQ(Utf8ToAnsi("ab\xe2\x82\xb9", Windows1252Encodings(), 4), "abRs");
    EXPECT_EQ(Utf8ToAnsi("abc", Windows1252Encodings(), 0), "");
}

TEST(Windows1252, EveryByteRoundTripsAndTheFreeOnesStandForC1Controls)
{
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t character = Windows1252ToUnicode(static_cast<unsigned char>(byte));
        if (character >= 0x80 && character < 0xA0) {
            EXPECT_FALSE(UnicodeToWindows1252(character)) << byte;
            continue;
        }
        EXPECT_EQ(UnicodeToWindows1252(character), static_cast<unsigned char>(byte)) << byte;
    }
    EXPECT_EQ(Windows1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Windows1252ToUnicode(0x81), 0x81u);
    EXPECT_FALSE(UnicodeToWindows1252(0x0100));
}

TEST(Utf8, InvalidSequencesAreRefusedAndRepairedAsWindows1252)
{
    for (const char *invalid : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc3", "\x80", "\xf8\x88\x80\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
    EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x98\x80 \xef\xbf\xbd \xc2\x80"));
    EXPECT_EQ(RepairedUtf8("caf\xe9 \x93ok\x94 \xc3\xa9"), "caf\xc3\xa9 \xe2\x80\x9cok\xe2\x80\x9d \xc3\xa9");
    std::string text;
    AppendUtf8(text, 0xD800);
    AppendUtf8(text, 0x1F600);
    EXPECT_EQ(text, "\xef\xbf\xbd\xf0\x9f\x98\x80");
}

TEST(DocumentEncoding, TheCharacterSetIsFoundInOrder)
{
    const auto utf8Of = [](std::string_view body, std::string_view charset = {}) {
        return DocumentToUtf8(body, charset, Windows1252Encodings());
    };
    // A byte order mark before anything else.
    EXPECT_EQ(utf8Of("\xEF\xBB\xBF<a>\xc3\xa9</a>", "iso-8859-1"), "<a>\xc3\xa9</a>");
    EXPECT_EQ(utf8Of(std::string("\xFE\xFF\0<\0\xe9", 6)), "<\xc3\xa9");
    EXPECT_EQ(utf8Of(std::string("\xFF\xFE<\0=\xd8\0\xde", 8)), "<\xf0\x9f\x98\x80");
    // UTF-16 without a mark.
    EXPECT_EQ(utf8Of(std::string("<\0?\0x\0", 6)), "<?x");
    EXPECT_EQ(utf8Of(std::string("\0<\0a", 4)), "<a");
    // The declaration before the answer's charset, the charset before the default.
    EXPECT_EQ(utf8Of("<?xml version='1.0' encoding='ISO-8859-1'?><a>\xe9</a>", "utf-8"),
              "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xc3\xa9</a>");
    EXPECT_EQ(utf8Of("<a>\xe9\x80</a>", "Windows-1252"), "<a>\xc3\xa9\xe2\x82\xac</a>");
    EXPECT_EQ(utf8Of("<a>\xc3\xa9</a>"), "<a>\xc3\xa9</a>");
    // UTF-8 named Latin-1, or UTF-16 named for bytes that are not, is UTF-8.
    EXPECT_EQ(utf8Of("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xc3\xa9</a>"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xc3\xa9</a>");
    EXPECT_EQ(utf8Of("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xc3\xa9</a>"),
              "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xc3\xa9</a>");
    // A character set nobody knows, and a name no character set has, leave UTF-8 with repairs.
    EXPECT_EQ(utf8Of("<a>\xc3\xa9 \xe9</a>", "x-unknown-set"), "<a>\xc3\xa9 \xc3\xa9</a>");
    EXPECT_EQ(utf8Of("<a>\xe9</a>", "utf-8//TRANSLIT"), "<a>\xc3\xa9</a>");
}

TEST(DocumentEncoding, TheSystemConvertsOtherCharacterSets)
{
    const Platform::ITextEncodings &system = Platform::SystemTextEncodings();
    const std::map<std::string, std::pair<std::string, std::string>> cases = {
        {"windows-1251", {"\xcc\xe8\xf0 \xb9", "\xd0\x9c\xd0\xb8\xd1\x80 \xe2\x84\x96"}},
        {"KOI8-R", {"\xed\xc9\xd2", "\xd0\x9c\xd0\xb8\xd1\x80"}},
        {"iso-8859-2", {"\xa3\xf3" "d\xbc", "\xc5\x81\xc3\xb3" "d\xc5\xba"}},
        {"Shift_JIS", {"\x93\xfa\x96\x7b", "\xe6\x97\xa5\xe6\x9c\xac"}},
        {"windows-1253", {"\xc1\xe8\xde\xed\xe1", "\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1"}},
    };
    for (const auto &[charset, bytesAndText] : cases) {
        EXPECT_EQ(DocumentToUtf8(bytesAndText.first, charset, system), bytesAndText.second) << charset;
        EXPECT_EQ(system.DecodeToUtf8(charset, bytesAndText.first).value_or("?"), bytesAndText.second) << charset;
    }
    EXPECT_FALSE(system.DecodeToUtf8("x-no-such-set", "abc"));
}

TEST(DocumentEncoding, TheCharsetOfTheAnswersContentType)
{
    const std::pair<const char *, const char *> cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=ISO-8859-1\r\n\r\n", "iso-8859-1"},
        {"HTTP/1.0 200 OK\r\ncontent-type: application/rss+xml;charset=\"windows-1251\"; q=1\r\n\r\n", "windows-1251"},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n", ""},
        {"HTTP/1.0 200 OK\r\nX-Content-Type: text/xml; charset=koi8-r\r\n\r\n", ""},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/xml; charset=a b\r\n\r\n", ""},
        {"", ""},
    };
    for (auto [header, charset] : cases)
        EXPECT_EQ(ContentTypeCharset(header), charset) << header;
}

} // namespace
} // namespace Halcyra::Net
