// The .scr in its full-screen mode on a real Windows API (Wine with an X server of its own in our
// runs): the scene on the screen as the Linux program shows it, the input that ends the run and the
// input that does not, the feeds fetched through a proxy on 127.0.0.1 and shown, a news feed fetched
// over https with SChannel and shown, and the desktop's request to close.
#include "BuildHosts.h"
#include "imaging/Picture.h"
#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "net/TlsTestServer.h"
#include "platform/Resources.h"
#include "win32/ModuleRuns.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Halcyra {
namespace {

using namespace Testing;

constexpr const char *SettingsKey = "SOFTWARE\\Tessaly Software\\Halcyra Screensaver";

// The product's own settings key of this (private) prefix, written before the run and removed after.
class TSaverSettings {
public:
    TSaverSettings(std::initializer_list<std::pair<const char *, DWORD>> numbers,
                   std::initializer_list<std::pair<const char *, std::string>> texts)
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey);
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        const auto number = [&](const char *name, DWORD value) {
            RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
        };
        const auto text = [&](const char *name, const std::string &value) {
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()), static_cast<DWORD>(value.size() + 1));
        };
        number("Brightness", 256);
        number("SoundVolume", 0);
        text("TDegree", "f");
        text("WeatherCode", "20001");
        text("RSS_Url", "http://news.example/rss/world.xml");
        for (const char *name : {"ShowTime", "ShowWeather", "ShowNews", "ShowBlack", "UseProxy"})
            number(name, 0);
        text("Proxy", "");
        text("Port", "");
        for (const auto &[name, value] : numbers)
            number(name, value);
        for (const auto &[name, value] : texts)
            text(name, value);
        RegCloseKey(key);
    }
    ~TSaverSettings() { RegDeleteKeyA(HKEY_CURRENT_USER, SettingsKey); }
};

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The picture's colour as GetPixel reports it.
COLORREF AsColorRef(std::uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Waits until the screen shows the colour at (x, y); a safety bound, not a budget.
bool ScreenShows(int x, int y, COLORREF colour)
{
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (ScreenPixel(x, y) == colour)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

Imaging::TPicture ModulePicture(const char *name)
{
    const auto stored = Platform::ModuleResources().Find(Platform::ResourceTypeData, name);
    auto load = stored ? Imaging::TPicture::FromStored(*stored) : Imaging::TPictureLoad{};
    return load.Picture ? *load.Picture : Imaging::TPicture{};
}

bool Running(const TStartedProgram &program)
{
    return WaitForSingleObject(program.Process.hProcess, 0) == WAIT_TIMEOUT;
}

void PressEscape()
{
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// Asks the program's windows to close, as the desktop does when the session ends or a close button is
// pressed.
void AskToClose(const TStartedProgram &program)
{
    EnumWindows(
        [](HWND window, LPARAM process) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(process) && IsWindowVisible(window))
                PostMessageA(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        static_cast<LPARAM>(program.Process.dwProcessId));
}

void MoveMouseTo(int x, int y)
{
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof(INPUT));
}

TEST(WindowsSaver, AnimatesTheSceneAndEndsOnEscapeButNotOnTheFirstMouseEvent)
{
    TSaverSettings settings({}, {});
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_FALSE(background.Empty());
    TStartedProgram program = StartModule("/s");
    ASSERT_TRUE(program.Started);
    // The same pictures drawn the same way as on Linux: the background where nothing covers it.
    for (const auto &[x, y] : {std::pair{20, 20}, std::pair{700, 100}})
        EXPECT_TRUE(ScreenShows(x, y, AsColorRef(background.Bitmap()->GetPixel(x, y)))) << x << "," << y;
    std::set<COLORREF> water;
    for (int sample = 0; sample < 10; ++sample) {
        water.insert(ScreenPixel(360, 600));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    EXPECT_GT(water.size(), 1u) << "the sea stood still";

    MoveMouseTo(600, 400);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Running(program)) << "the first mouse event ended the run";
    PressEscape();
    EXPECT_EQ(FinishModule(program), 0);
}

TEST(WindowsSaver, FetchesTheWeatherThenTheNewsThroughTheProxyAndShowsThem)
{
    const std::string weather = ReadNetTestFile("weather-two-day-f.xml");
    const std::string news = ReadNetTestFile("news-rss2-world.xml");
    TLoopbackServer proxy([&](TLoopbackConnection &connection, const std::string &request) {
        const bool forWeather = request.find("/forecastrss?") != std::string::npos;
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: text/xml\r\n", forWeather ? weather : news));
    });
    TSaverSettings settings({{"ShowTime", 1}, {"ShowWeather", 1}, {"ShowNews", 1}, {"UseProxy", 1}},
                            {{"WeatherCode", "USOR0338"}, {"Proxy", "127.0.0.1"}, {"Port", std::to_string(proxy.GetPort())}});
    TStartedProgram program = StartModule("/s");
    ASSERT_TRUE(program.Started);
    for (int attempt = 0; attempt < 400 && proxy.GetRequests().size() < 2; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> requests = proxy.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Testing::ProxiedGet(BuildHosts::WeatherHost, "/forecastrss?p=USOR0338&u=f"));
    EXPECT_EQ(requests[1], Testing::ProxiedGet("news.example", "/rss/world.xml"));
    const Imaging::TPicture icons = ModulePicture("QMV3Weather");
    ASSERT_FALSE(icons.Empty());
    EXPECT_TRUE(ScreenShows(665 + 26, 706 + 26, AsColorRef(icons.Bitmap()->GetPixel(26, 32 * 52 + 26)))) << "today's icon";
    EXPECT_TRUE(Running(program)) << "the saver goes on after the feeds";
    AskToClose(program);
    EXPECT_EQ(FinishModule(program), 0);
}

TEST(WindowsSaver, ShowsTheHeadlinesOfAnHttpsFeed)
{
    const std::string feed = ReadNetTestFile("news-rss2-plain.xml");
    TLoopbackServer origin([&](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: application/rss+xml\r\n", feed));
    });
    TTlsTestServer tls(origin.GetPort());
    ASSERT_TRUE(tls.Running()) << tls.Error();
    // The module runs in the same prefix, so it finds the test CA in the user's Root store.
    TTrustedTestCa trust(tls.CaPem());
    ASSERT_TRUE(trust.Trusted());
    TSaverSettings settings({{"ShowNews", 1}}, {{"RSS_Url", tls.Url("good", "/news/feed.xml")}});
    TStartedProgram program = StartModule("/s");
    ASSERT_TRUE(program.Started);
    for (int attempt = 0; attempt < 400 && origin.GetRequests().empty(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(origin.GetRequests().size(), 1u);
    EXPECT_EQ(origin.GetRequests()[0].substr(0, 45), "GET /news/feed.xml HTTP/1.0\r\nHost: localhost:");
    // The news band alone stands at 453; the feed's name shows in grey once the feed has been read.
    bool title = false;
    for (int attempt = 0; attempt < 100 && !title; ++attempt) {
        for (int x = 453 + 90; x < 453 + 200 && !title; ++x)
            for (int y = 705; y < 721 && !title; ++y)
                title = ScreenPixel(x, y) == RGB(0x99, 0x99, 0x99);
        if (!title)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(title) << "the feed's name is not shown";
    EXPECT_TRUE(Running(program));
    AskToClose(program);
    EXPECT_EQ(FinishModule(program), 0);
}

} // namespace
} // namespace Halcyra
