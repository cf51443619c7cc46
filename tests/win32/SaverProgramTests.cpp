// The .scr in its full-screen mode on a real Windows API (Wine with an X server of its own in our
// runs): the scene on the screen as the Linux program shows it, the input that ends the run and the
// input that does not, the feeds fetched through a proxy on 127.0.0.1 and shown, and the desktop's
// request to close.
#include "BuildHosts.h"
#include "imaging/Picture.h"
#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
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

bool Running(const TStartedProgram &program)
{
    return WaitForSingleObject(program.Process.hProcess, 0) == WAIT_TIMEOUT;
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

} // namespace
} // namespace Halcyra
