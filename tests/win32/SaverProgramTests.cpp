// The .scr in its full-screen mode on a real Windows API (Wine with an X server of its own in our
// runs): the scene on the screen as the Linux program shows it, the input that ends the run and the
// input that does not, the feeds fetched through a proxy on 127.0.0.1 (the forecast service over https
// with SChannel, through the proxy's tunnel) and shown, the forecast page F3 hands to the shell, a news
// feed fetched over https and shown, and the desktop's request to close.
#include "BuildHosts.h"
#include "config/LocationTable.h"
#include "gadgets/GadgetText.h"
#include "imaging/Picture.h"
#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "net/WeatherService.h"
#include "net/TlsTestServer.h"
#include "platform/Resources.h"
#include "platform/win32/Win32DeviceContext.h"
#include "support/TestPictures.h"
#include "win32/ModuleRuns.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Halcyra {
namespace {

using namespace Testing;

bool Running(const TStartedProgram &program)
{
    return WaitForSingleObject(program.Process.hProcess, 0) == WAIT_TIMEOUT;
}

// Wine's shell hands web pages to the first working command of its browser list: here one that
// writes the page it got into a file of the Linux side, read back through the drive of the root.
class TRecordingWineBrowser {
public:
    TRecordingWineBrowser() : FFile("/tmp/halcyra-wine-browser-" + std::to_string(GetCurrentProcessId()) + ".page")
    {
        DeleteFileA(WindowsPath().c_str());
        const std::string command = "/bin/sh -c \"printf '%s' \\\"$0\\\" > '" + FFile + "'\"";
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE *>(command.c_str()), static_cast<DWORD>(command.size() + 1));
        RegCloseKey(key);
    }
    ~TRecordingWineBrowser()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser");
        DeleteFileA(WindowsPath().c_str());
    }

    // The page the browser got; waits for it to have been written (a safety bound, not a budget).
    std::string Page() const
    {
        std::string page;
        for (int attempt = 0; attempt < 200 && page.empty(); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::ifstream file(WindowsPath(), std::ios::binary);
            page.assign(std::istreambuf_iterator<char>(file), {});
        }
        return page;
    }

private:
    std::string WindowsPath() const
    {
        std::string path = "Z:" + FFile;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    std::string FFile;
};

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

// A 32-bit top-down bitmap of GDI's, selected into a memory device context of its own; black when new.
class TDibSection {
public:
    TDibSection(int width, int height) : FWidth(width), FDc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void *bits = nullptr;
        FBitmap = CreateDIBSection(FDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        FPixels = static_cast<const std::uint32_t *>(bits);
        if (FBitmap != nullptr)
            FPrevious = SelectObject(FDc, FBitmap);
    }
    ~TDibSection()
    {
        if (FBitmap != nullptr) {
            SelectObject(FDc, FPrevious);
            DeleteObject(FBitmap);
        }
        DeleteDC(FDc);
    }
    TDibSection(const TDibSection &) = delete;
    TDibSection &operator=(const TDibSection &) = delete;

    bool Made() const { return FPixels != nullptr; }
    HDC Dc() const { return FDc; }
    // 0xRRGGBB, once GDI has finished drawing.
    std::uint32_t Pixel(int x, int y) const
    {
        GdiFlush();
        return FPixels[y * FWidth + x] & 0xFFFFFF;
    }

private:
    int FWidth;
    HDC FDc;
    HBITMAP FBitmap = nullptr;
    HGDIOBJ FPrevious = nullptr;
    const std::uint32_t *FPixels = nullptr;
};

// The weather gadget's texts stand in the band's last 48 rows.
constexpr int TextBandTop = 720;

// The places where the weather gadget's two texts, as a frame with the clock shown writes them (bold
// Arial of height 20 in white, through GDI as the module draws them), cover a pixel whole: there the
// screen shows white whatever lies beneath.
std::vector<std::pair<int, int>> WeatherTextPixels(const std::string &today, const std::string &tomorrow)
{
    TDibSection reference(1024, 768);
    std::vector<std::pair<int, int>> covered;
    if (!reference.Made())
        return covered;
    {
        Platform::TWin32DeviceContext dc(reference.Dc());
        TGadgetFont font(dc, "Arial", 20, 700);
        dc.SetBkMode(Platform::TBackgroundMode::Transparent);
        dc.SetTextColor(GadgetWhite);
        dc.TextOutA(724, 727, today);
        dc.TextOutA(836, 727, tomorrow);
    }
    for (int y = TextBandTop; y < 768; ++y)
        for (int x = 724; x < 1024; ++x)
            if (reference.Pixel(x, y) == GadgetWhite)
                covered.emplace_back(x, y);
    return covered;
}

// How many of the places of the text band the screen does not show in white, read in one copy:
// Wine reads the screen from the X server for every call.
std::size_t UnlitOnScreen(const std::vector<std::pair<int, int>> &places)
{
    TDibSection band(1024, 768 - TextBandTop);
    HDC screen = GetDC(nullptr);
    const bool copied = band.Made() && BitBlt(band.Dc(), 0, 0, 1024, 768 - TextBandTop, screen, 0, TextBandTop, SRCCOPY);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return places.size();
    return static_cast<std::size_t>(std::count_if(places.begin(), places.end(), [&](const std::pair<int, int> &at) {
        return band.Pixel(at.first, at.second - TextBandTop) != GadgetWhite;
    }));
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
    const std::string serviceHost = SecureWeatherServiceHost();
    if (serviceHost.empty())
        GTEST_SKIP() << "the build asks its forecast service at " << BuildHosts::WeatherService << ", not at https://host";
    const std::string weather = ReadNetTestFile("weather-service-washington-f.json");
    const std::string news = ReadNetTestFile("news-rss2-world.xml");
    // The forecast service: a TLS front whose certificate names the service's host, from a test CA in
    // the user's Root store of the prefix the module runs in.
    TLoopbackServer service([&](TLoopbackConnection &connection, const std::string &) {
        connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: application/json\r\n", weather));
    });
    TTlsTestServer tls(service.GetPort(), serviceHost);
    ASSERT_TRUE(tls.Running()) << tls.Error();
    TTrustedTestCa trust(tls.CaPem());
    ASSERT_TRUE(trust.Trusted());
    // The proxy tunnels the service's https to that front and answers the news' plain GET itself.
    TLoopbackServer proxy([&](TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("CONNECT ", 0) == 0)
            connection.Tunnel(tls.Port("named"));
        else
            connection.Send(TLoopbackServer::Response(200, "OK", "Content-Type: text/plain\r\n", news));
    });
    TSaverSettings settings({{"ShowTime", 1}, {"ShowWeather", 1}, {"ShowNews", 1}, {"UseProxy", 1}},
                            {{"Proxy", "127.0.0.1"}, {"Port", std::to_string(proxy.GetPort())}});
    TStartedProgram program = StartModule("/s");
    ASSERT_TRUE(program.Started);
    for (int attempt = 0; attempt < 400 && proxy.GetRequests().size() < 2; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> requests = proxy.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], TunnelRequest(serviceHost + ":443"));
    EXPECT_EQ(requests[1], ProxiedGet("news.example", "/rss/world.xml"));
    const auto washington = EmbeddedLocationCoordinates(Platform::ModuleResources()).Find("20001");
    ASSERT_TRUE(washington);
    ASSERT_EQ(service.GetRequests().size(), 1u);
    EXPECT_EQ(service.GetRequests()[0],
              SecureGet(serviceHost, Net::WeatherServiceURL("", *washington, Net::TTemperatureUnit::Fahrenheit)));
    // Today's icon (partly cloudy by day) and tomorrow's (slight rain).
    const Imaging::TPicture icons = ModulePicture("QMV3Weather");
    ASSERT_FALSE(icons.Empty());
    for (const auto &[code, left] : {std::pair{30, 665}, std::pair{11, 777}}) {
        const auto [x, y] = Testing::PixelWhereFramesDiffer(*icons.Bitmap(), 52, code, 48);
        EXPECT_TRUE(ScreenShows(left + x, 706 + y, AsColorRef(icons.Bitmap()->GetPixel(x, code * 52 + y)))) << "icon " << code;
    }
    // Today's temperature and tomorrow's low and high, rounded to whole degrees. The values change
    // one by one, so a frame may still show a text of before next to a new icon.
    const std::vector<std::pair<int, int>> texts = WeatherTextPixels("42\xB0", "33...48\xB0");
    ASSERT_FALSE(texts.empty());
    std::size_t unlit = UnlitOnScreen(texts);
    for (int attempt = 0; attempt < 100 && unlit != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        unlit = UnlitOnScreen(texts);
    }
    EXPECT_EQ(unlit, 0u) << "of the " << texts.size() << " pixels that 42 and 33...48 degrees cover, so many are not white";
    EXPECT_TRUE(Running(program)) << "the saver goes on after the feeds";
    AskToClose(program);
    EXPECT_EQ(FinishModule(program), 0);
}

TEST(WindowsSaver, F3HandsTheForecastPageOfThePlaceToTheShellAndEnds)
{
    TSaverSettings settings({{"ShowWeather", 1}}, {{"TDegree", "c"}, {"WeatherCode", "AFXX0005"}});
    TRecordingWineBrowser browser;
    TStartedProgram program = StartModule("/s");
    ASSERT_TRUE(program.Started);
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_TRUE(ScreenShows(20, 20, AsColorRef(background.Bitmap()->GetPixel(20, 20)))) << "the scene never showed";
    PressKey(VK_F3);
    EXPECT_EQ(FinishModule(program), 0);
    EXPECT_EQ(browser.Page(), std::string(BuildHosts::ForecastPages) + "/31.5938,64.3716?m");
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
