// The Linux clock's locale text without seconds, and the browser opener started without a shell.
#include "platform/Clock.h"
#include "platform/WebBrowser.h"
#include "platform/linux/LocaleTimeFormat.h"

#include "linux/FakeOpener.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

namespace fs = std::filesystem;

TEST(LocaleTimeFormat, SecondsAndTheirSeparatorAreTakenOut)
{
    EXPECT_EQ(TimeFormatWithoutSeconds("%H:%M:%S"), "%H:%M");
    EXPECT_EQ(TimeFormatWithoutSeconds("%T"), "%H:%M");
    EXPECT_EQ(TimeFormatWithoutSeconds("%r"), "%-I:%M %p") << "a 12-hour hour is not padded";
    EXPECT_EQ(TimeFormatWithoutSeconds("%l:%M:%S %p"), "%-l:%M %p");
    EXPECT_EQ(TimeFormatWithoutSeconds("%H.%M.%S"), "%H.%M");
    EXPECT_EQ(TimeFormatWithoutSeconds("%p %I:%M:%S"), "%p %-I:%M");
    EXPECT_EQ(TimeFormatWithoutSeconds("%H:%M"), "%H:%M");
    EXPECT_EQ(TimeFormatWithoutSeconds("%%S %H:%M"), "%%S %H:%M") << "a literal percent sign is no conversion";
    EXPECT_EQ(TimeFormatWithoutSeconds(""), "%H:%M");
    // The seconds' unit goes with them; a word after a blank stays.
    EXPECT_EQ(TimeFormatWithoutSeconds("%H\xE6\x99\x82%M\xE5\x88\x86%S\xE7\xA7\x92"), "%H\xE6\x99\x82%M\xE5\x88\x86");
    EXPECT_EQ(TimeFormatWithoutSeconds("%H\xEC\x8B\x9C %M\xEB\xB6\x84 %S\xEC\xB4\x88"), "%H\xEC\x8B\x9C %M\xEB\xB6\x84");
    EXPECT_EQ(TimeFormatWithoutSeconds("%H:%M:%Ss %p"), "%H:%M %p");
    EXPECT_EQ(TimeFormatWithoutSeconds("%H:%M:%S Uhr"), "%H:%M Uhr");
}

TEST(LocaleTimeFormat, AUtf8TextIsWrittenInTheGadgetsCodePage)
{
    const std::pair<std::string, std::string> cases[] = {
        {"22:35", "22:35"},
        {"21\xE6\x99\x82" "35\xE5\x88\x86", "21?35?"},
        {"9:35 \xCE\x9C\xCE\x9C", "9:35 ??"},
        {"\xC3\xA9 \xE2\x82\xAC \xC5\x93 \xC2\xA0", "\xE9 \x80 \x9C \xA0"},
        {"\xF0\x9F\x95\x99!", "?!"},
        // Broken sequences: a lone continuation byte, a lead byte cut short, an invalid lead byte.
        {"a\x80" "b\xE6\x99" "c\xFF", "a?b??c?"},
    };
    for (const auto &[utf8, expected] : cases) {
        std::string text = utf8;
        text.resize(Utf8ToWindows1252(text.data(), text.size()));
        EXPECT_EQ(text, expected) << utf8;
    }
}

TEST(LinuxClock, TheTimeTextHasNoSeconds)
{
    TLocalTime time{2026, 12, 7, 14, 5, 33, 0};
    const TTimeText timeText = SystemClock().LocaleTimeText(time);
    const std::string text(timeText.View());
    EXPECT_NE(text.find("05"), std::string::npos) << text;
    EXPECT_EQ(text.find("33"), std::string::npos) << text;
}

// The clock's text for 21:35 in a locale compiled into the build folder, printed by this test program
// started again with that locale (the clock fixes its locale when first used).
std::string LocaleTimeIn(const std::string &locale)
{
    const std::string command = "env -u LC_ALL -u LC_TIME LOCPATH='" HALCYRA_TEST_LOCALES_DIR "' LANG=" + locale +
                                ".UTF-8 '" + fs::read_symlink("/proc/self/exe").string() + "' --print-locale-time 21 35";
    std::string text;
    if (FILE *child = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::size_t count = std::fread(buffer, 1, sizeof buffer, child))
            text.append(buffer, count);
        pclose(child);
    }
    return text;
}

TEST(LinuxClock, TheLocaleWritesTheTime)
{
    EXPECT_EQ(LocaleTimeIn("en_US"), "9:35 PM");
    EXPECT_EQ(LocaleTimeIn("de_DE"), "21:35");
    // "21時35分" without the seconds' unit, in the gadgets' 8-bit code page.
    EXPECT_EQ(LocaleTimeIn("ja_JP"), "21?35?");
}

TEST(LinuxClock, NowIsAPlausibleLocalTime)
{
    TLocalTime now = SystemClock().Now();
    EXPECT_GE(now.Year, 2024);
    EXPECT_TRUE(now.Month >= 1 && now.Month <= 12);
    EXPECT_TRUE(now.Hour >= 0 && now.Hour <= 23);
    EXPECT_TRUE(now.Milliseconds >= 0 && now.Milliseconds <= 999);
}

// The browser's opener replaced by a stand-in, first on PATH.
class LinuxWebBrowser : public testing::Test {
protected:
    void SetUp() override
    {
        FPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", FOpener.SearchPath().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", FPath.c_str(), 1); }

    Testing::TFakeOpener FOpener;
    std::string FPath;
};

TEST_F(LinuxWebBrowser, TheAddressReachesTheOpenerAsOneArgument)
{
    // As the browser is handed it: the blank and the backquotes percent-encoded, the rest as written.
    ASSERT_TRUE(SystemWebBrowser().OpenPage("http://example.org/a b;touch x$(id)`id`&c='d'"));
    EXPECT_EQ(FOpener.Received(), "http://example.org/a%20b;touch%20x$(id)%60id%60&c='d'\n");
    EXPECT_FALSE(fs::exists("x")) << "nothing was run by a shell";
}

TEST_F(LinuxWebBrowser, AnAddressThatIsNoWebPageIsNotHandedOn)
{
    EXPECT_FALSE(SystemWebBrowser().OpenPage("file:///etc/passwd"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(FOpener.Called());
}

} // namespace
} // namespace Halcyra::Platform
