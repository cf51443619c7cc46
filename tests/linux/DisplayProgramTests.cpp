// The program as a screensaver daemon runs it: drawing the running scene into a window the test makes
// (named on the command line or in XSCREENSAVER_WINDOW), ending with 0 on SIGTERM and when the window
// is destroyed, sleeping while the window is unmapped, and the errors of the display options. Each
// test has an X server of its own.
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace Halcyra {
namespace {

using namespace Testing;

// The processor time a process has used so far, from /proc/<pid>/stat (user and system ticks).
double ProcessorSeconds(pid_t process)
{
    std::ifstream file("/proc/" + std::to_string(process) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The fields after the command's closing parenthesis: state is the first, utime the 12th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 1; index <= 13 && fields >> field; ++index) {
        if (index == 12)
            user = std::stoull(field);
        if (index == 13)
            system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The processor time a process uses over the seconds after the last frame in flight has ended.
double ProcessorSecondsOver(pid_t process, int seconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double before = ProcessorSeconds(process);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return ProcessorSeconds(process) - before;
}

class DisplayProgram : public TOwnXServerTest {
protected:
    void SetUp() override
    {
        TOwnXServerTest::SetUp();
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    }

    // A mapped window as a daemon makes one: black, its contents the display program's.
    Window CreateHostWindow(int x, int y, int width, int height)
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(FDisplay, DefaultScreen(FDisplay));
        attributes.override_redirect = True;
        Window window = XCreateWindow(FDisplay, DefaultRootWindow(FDisplay), x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                      CWBackPixel | CWOverrideRedirect, &attributes);
        XMapWindow(FDisplay, window);
        XSync(FDisplay, False);
        return window;
    }

    TRun StartDisplay(const std::vector<std::string> &arguments, const std::vector<std::string> &environment = {})
    {
        return Start(arguments, true, FServer.Name, &FSettings, environment);
    }

    // The window's pixels, 0x00RRGGBB row by row.
    std::vector<std::uint32_t> Capture(Window window, int width, int height)
    {
        std::vector<std::uint32_t> pixels;
        XImage *image = XGetImage(FDisplay, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                                  ZPixmap);
        if (image == nullptr)
            return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
        XDestroyImage(image);
        return pixels;
    }

    // Waits until the scene shows in the window (its middle is no longer black); a bound, not a budget.
    bool SceneShows(Window window, int width, int height)
    {
        for (int attempt = 0; attempt < 400; ++attempt) {
            const auto pixels = Capture(window, width, height);
            if (!pixels.empty() && pixels[static_cast<std::size_t>(height / 2) * width + width / 2] != 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Whether the window's picture changes over half a second.
    bool Animates(Window window, int width, int height)
    {
        const auto first = Capture(window, width, height);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return first != Capture(window, width, height);
    }

    // Once the scene shows, hide() makes it unseen: the program then uses under 1 % of a core over the
    // seconds given. After reveal() the scene animates again, and SIGTERM ends the program with 0.
    void ExpectSleepsWhileUnseen(TRun &run, Window drawn, int width, int height, int seconds, const std::function<void()> &hide,
                                 const std::function<void()> &reveal)
    {
        ASSERT_TRUE(SceneShows(drawn, width, height));
        hide();
        XSync(FDisplay, False);
        EXPECT_LT(ProcessorSecondsOver(run.Pid, seconds), 0.01 * seconds) << "under 1 % of a core over " << seconds << " s";
        reveal();
        XSync(FDisplay, False);
        ASSERT_TRUE(SceneShows(drawn, width, height));
        EXPECT_TRUE(Animates(drawn, width, height)) << "frames resume";
        kill(run.Pid, SIGTERM);
        EXPECT_EQ(Finish(run), 0);
    }

    // Whether a column of the window holds any pixel that is not black.
    static bool ColumnDrawn(const std::vector<std::uint32_t> &pixels, int width, int x)
    {
        for (std::size_t i = static_cast<std::size_t>(x); i < pixels.size(); i += static_cast<std::size_t>(width))
            if (pixels[i] != 0)
                return true;
        return false;
    }

    // No sound, no gadgets fetching anything: the scene alone.
    TSettingsHome FSettings{{"\"ShowTime\"=dword:1", "\"ShowWeather\"=dword:0", "\"ShowNews\"=dword:0", "\"Brightness\"=dword:256",
                             "\"SoundVolume\"=dword:0", "\"TDegree\"=\"c\"", "\"WeatherCode\"=\"\"", "\"RSS_Url\"=\"\"",
                             "\"ShowBlack\"=dword:0", "\"UseProxy\"=dword:0", "\"Proxy\"=\"\"", "\"Port\"=\"\""}};
};

TEST_F(DisplayProgram, DrawsTheAnimatedSceneIntoTheWindowScaledToFitAndEndsWithZeroOnSigterm)
{
    // 640 × 400 is wider than 4:3: the picture fills the height, 533 pixels wide, centred.
    const Window window = CreateHostWindow(30, 40, 640, 400);
    TRun run = StartDisplay({"-window-id", std::to_string(window)});
    ASSERT_TRUE(SceneShows(window, 640, 400));
    EXPECT_TRUE(Animates(window, 640, 400));
    const auto second = Capture(window, 640, 400);
    EXPECT_FALSE(ColumnDrawn(second, 640, 52)) << "black bar on the left";
    EXPECT_TRUE(ColumnDrawn(second, 640, 53));
    // Column 585 shows the frame's last column, which the scene leaves black.
    EXPECT_TRUE(ColumnDrawn(second, 640, 584));
    EXPECT_FALSE(ColumnDrawn(second, 640, 586)) << "black bar on the right";
    EXPECT_EQ(ScreenPixel(FDisplay, 5, 5), 0u) << "nothing drawn outside the window";

    kill(run.Pid, SIGTERM);
    EXPECT_EQ(Finish(run), 0);
}

TEST_F(DisplayProgram, RootDrawsIntoTheHostsWindowNamedInTheEnvironment)
{
    const Window window = CreateHostWindow(100, 100, 320, 240);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    TRun run = StartDisplay({"--root"}, {std::string("XSCREENSAVER_WINDOW=") + id});
    ASSERT_TRUE(SceneShows(window, 320, 240));
    EXPECT_EQ(ScreenPixel(FDisplay, 50, 50), 0u) << "the root window is left alone";
    // Exactly 4:3: the picture fills the whole window.
    const auto pixels = Capture(window, 320, 240);
    EXPECT_TRUE(ColumnDrawn(pixels, 320, 0));
    EXPECT_TRUE(ColumnDrawn(pixels, 320, 319));
    kill(run.Pid, SIGINT);
    EXPECT_EQ(Finish(run), 0);
}

TEST_F(DisplayProgram, EndsWithZeroWhenItsWindowIsDestroyed)
{
    const Window window = CreateHostWindow(0, 0, 400, 300);
    TRun run = StartDisplay({"--window-id", std::to_string(window)});
    ASSERT_TRUE(SceneShows(window, 400, 300));
    XDestroyWindow(FDisplay, window);
    XSync(FDisplay, False);
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0);
    EXPECT_EQ(errors.find("X Error"), std::string::npos) << errors;
}

TEST_F(DisplayProgram, SleepsWhileItsWindowIsUnmappedAndDrawsAgainWhenItIsMapped)
{
    const Window window = CreateHostWindow(0, 0, 400, 300);
    TRun run = StartDisplay({"--window-id", std::to_string(window)});
    // Mapped again, the window is cleared to black by the server; the scene comes back.
    ExpectSleepsWhileUnseen(run, window, 400, 300, 10, [&] { XUnmapWindow(FDisplay, window); },
                            [&] { XMapWindow(FDisplay, window); });
}

TEST_F(DisplayProgram, TheFullScreenSleepsWhileCoveredAndDrawsAgainWhenUncovered)
{
    TRun run = StartDisplay({"/s"});
    // A window over the whole screen, as a locker's: the saver's window is wholly covered.
    Window cover = 0;
    ExpectSleepsWhileUnseen(run, DefaultRootWindow(FDisplay), 1024, 768, 5, [&] { cover = CreateHostWindow(0, 0, 1024, 768); },
                            [&] { XDestroyWindow(FDisplay, cover); });
}

TEST_F(DisplayProgram, BadOptionsAndWindowsEndWithTheirCodeAndOneLine)
{
    struct TCase {
        std::vector<std::string> Arguments;
        std::vector<std::string> Environment;
        int ExitCode;
        std::string Line;
    };
    const TCase cases[] = {
        {{"--fullscreen"}, {}, 2, "usage: halcyra-screensaver [/s | /c | /p WINDOW | /a WINDOW | --root | --window-id ID]\n"},
        {{"--window-id", "0x1g"}, {}, 1, "halcyra-screensaver: '0x1g' is not a window id\n"},
        {{"--window-id", "0x7ffff01"}, {}, 1, "halcyra-screensaver: no window has the id 0x7ffff01\n"},
        {{}, {"XSCREENSAVER_WINDOW=root"}, 1, "halcyra-screensaver: 'root' is not a window id\n"},
    };
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.Line);
        TRun run = StartDisplay(test.Arguments, test.Environment);
        std::string errors;
        EXPECT_EQ(Finish(run, &errors), test.ExitCode);
        EXPECT_EQ(errors.substr(0, errors.find('\n') + 1), test.Line);
    }
}

} // namespace
} // namespace Halcyra
