// On Windows the gadgets' texts are in the system's ANSI code page and the gadgets' font draws that
// code page. These run in the test program's own run (Windows-1252) and again under a Russian
// locale, where Wine's ANSI code page is Windows-1251.
#include "gadgets/GadgetText.h"
#include "net/FeedParsing.h"
#include "platform/TextEncodings.h"
#include "platform/win32/Win32DeviceContext.h"

#include <gtest/gtest.h>

#include <map>
#include <windows.h>

namespace Halcyra {
namespace {

TEST(AnsiCodePage, FeedTextsAreInTheSystemsCodePage)
{
    struct TExpected {
        std::string Name;
        std::string Line;
    };
    // "Новости – “мир” € café" and "Zürich: 5 €"
    const std::map<UINT, TExpected> expected = {
        {1252, {"Novosti \x96 \x93mir\x94 \x80 caf\xe9", "  ***  Z\xfcrich: 5 \x80  ***  "}},
        {1251, {"\xcd\xee\xe2\xee\xf1\xf2\xe8 \x96 \x93\xec\xe8\xf0\x94 \x88 cafe", "  ***  Zurich: 5 \x88  ***  "}},
    };
    const auto found = expected.find(GetACP());
    if (found == expected.end())
        GTEST_SKIP() << "no expectation for code page " << GetACP();
    Net::TAnswerReading reading;
    reading.Encodings = &Platform::SystemTextEncodings();
    const Net::TNewsValues values = Net::ParseNewsFeed(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
        "<title>\xd0\x9d\xd0\xbe\xd0\xb2\xd0\xbe\xd1\x81\xd1\x82\xd0\xb8 \xe2\x80\x93 \xe2\x80\x9c\xd0\xbc\xd0\xb8\xd1\x80\xe2\x80\x9d \xe2\x82\xac "
        "caf\xc3\xa9</title><item><title>Z\xc3\xbcrich: 5 \xe2\x82\xac</title></item></channel></rss>",
        reading);
    EXPECT_EQ(values.NameNews.value_or("?"), found->second.Name);
    EXPECT_EQ(values.RssLine, found->second.Line);
}

TEST(AnsiCodePage, TheGadgetsFontDrawsTheSystemsCodePage)
{
    const HDC memory = CreateCompatibleDC(nullptr);
    ASSERT_NE(memory, nullptr);
    Platform::TWin32DeviceContext dc(memory);
    {
        TGadgetFont font(dc, "Arial", 16, 700);
        CHARSETINFO info{};
        ASSERT_TRUE(TranslateCharsetInfo(reinterpret_cast<DWORD *>(static_cast<UINT_PTR>(GetTextCharset(memory))), &info,
                                         TCI_SRCCHARSET));
        EXPECT_EQ(info.ciACP, GetACP());
    }
    DeleteDC(memory);
}

} // namespace
} // namespace Halcyra
