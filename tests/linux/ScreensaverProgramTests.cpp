// The Linux program itself, started as a host starts it: the preview drawn into an X11 window the
// test creates, a preview window destroyed before it is shown, the password mode, the settings dialog
// with the key file it writes, and the running saver: its animated scene, its input and exit, its
// feeds fetched through a proxy on 127.0.0.1 (the forecast service over https through the proxy's
// tunnel) and the forecast page F3 hands to the browser, a news feed fetched over https from a TLS
// server on 127.0.0.1, a larger screen and a second monitor. The program keeps its settings in
// folders of the test's own.
#include "BuildHosts.h"
#include "config/LocationTable.h"
#include "engine/SettingsStore.h"
#include "gadgets/GadgetText.h"
#include "imaging/BmpDecoder.h"
#include "imaging/Picture.h"
#include "linux/FakeOpener.h"
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"
#include "net/LoopbackServer.h"
#include "net/NetTestData.h"
#include "net/WeatherService.h"
#include "net/TlsTestServer.h"
#include "platform/Resources.h"
#include "platform/soft/SoftDeviceContext.h"
#include "support/TestPictures.h"
#include "platform/linux/FileRegistry.h"
#include "platform/linux/X11FramePainter.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <set>
#include <thread>
#include <unistd.h>
#include <utility>

extern char **environ;

namespace Halcyra {
namespace {

using Testing::TOwnXServer;
using namespace Testing;

class ScreensaverProgram : public testing::Test {
protected:
    void SetUp() override
    {
        // The host windows' pixels are read back: a window of a test beside it must not cover them.
        if (!Testing::UseProcessXServer() || (FDisplay = XOpenDisplay(nullptr)) == nullptr)
            GTEST_SKIP() << "Xvfb could not be started";
        // Windows of the program may go away while the test looks at them; the calls report that
        // through their results, and Xlib's default handler would end the test program instead.
        FPreviousHandler = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove_all(ProgramConfigHome(), error);
        if (FDisplay != nullptr) {
            XSetErrorHandler(FPreviousHandler);
            XCloseDisplay(FDisplay);
        }
    }

    // An unmapped window that the X server never paints itself, so what the program draws stays.
    Window CreateHostWindow(int width, int height)
    {
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.override_redirect = True;
        Window window = XCreateWindow(FDisplay, DefaultRootWindow(FDisplay), 10, 10, width, height, 0, CopyFromParent,
                                      InputOutput, CopyFromParent, CWBackPixmap | CWOverrideRedirect, &attributes);
        XSync(FDisplay, False);
        return window;
    }

    Display *FDisplay = nullptr;
    XErrorHandler FPreviousHandler = nullptr;
};

TEST_F(ScreensaverProgram, PreviewWaitsForTheWindowThenDrawsTheBitmapAtTheOrigin)
{
    const Window host = CreateHostWindow(200, 150);
    TRun run = Start({"/p", std::to_string(host)}, true);
    // The program is waiting for the window to be shown; show it a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XMapWindow(FDisplay, host);
    XSync(FDisplay, False);
    ASSERT_EQ(Finish(run), 0);

    auto dib = Platform::ModuleResources().Find(Platform::ResourceTypeBitmap, "PREVIEWBMP");
    ASSERT_TRUE(dib);
    auto expected = Imaging::DecodeDib(*dib);
    ASSERT_TRUE(expected.Bitmap) << expected.Error;
    ASSERT_EQ(expected.Bitmap->Width(), 154);
    ASSERT_EQ(expected.Bitmap->Height(), 116);

    XImage *image = XGetImage(FDisplay, host, 0, 0, 154, 116, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    for (auto [x, y] : {std::pair{0, 0}, {153, 0}, {0, 115}, {153, 115}, {77, 58}, {20, 90}})
        EXPECT_EQ(XGetPixel(image, x, y) & 0xFFFFFF, expected.Bitmap->GetPixel(x, y)) << "at " << x << "," << y;
    XDestroyImage(image);
    XDestroyWindow(FDisplay, host);
}

TEST_F(ScreensaverProgram, PreviewEndsWhenTheWindowIsDestroyedBeforeItIsShown)
{
    const Window host = CreateHostWindow(154, 116);
    TRun run = Start({"/p", std::to_string(host)}, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XDestroyWindow(FDisplay, host);
    XSync(FDisplay, False);
    EXPECT_EQ(Finish(run), 0);
}

// Closes the dialog of the run as its close button does; false (the run ended by SIGTERM) when the
// dialog is not on the display.
bool CloseTheDialog(Display *display, TRun &run)
{
    const Window window = FindWindowOf(display, run.Pid, "Screensaver Configuration");
    if (window != 0)
        AskToClose(display, window);
    else
        kill(run.Pid, SIGTERM);
    return window != 0;
}

TEST_F(ScreensaverProgram, ConfigurationModeShowsItsTitledWindowAndEndsWhenItCloses)
{
    TRun run = Start({"/c:4711"}, true);
    EXPECT_TRUE(CloseTheDialog(FDisplay, run)) << "no window titled \"Screensaver Configuration\"";
    EXPECT_EQ(Finish(run), 0);
}

// The settings the started programs keep, as the settings store reads them; nullopt when there is no key.
std::optional<TSettings> ProgramSettings()
{
    Platform::TFileRegistry files(ProgramConfigHome());
    TSettingsStore store(files);
    store.SetBrandName("Tessaly Software");
    store.SetSSName("Halcyra Screensaver");
    // Read without writing: the key may exist before its values are written.
    try {
        TSettings settings;
        if (store.ReadAll(settings))
            return settings;
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

TEST_F(ScreensaverProgram, TheSettingsDialogStoresTheDefaultsAtOnceAndClosingItExitsZero)
{
    ASSERT_FALSE(ProgramSettings());
    TRun run = Start({"/c"}, true);
    const Window window = FindWindowOf(FDisplay, run.Pid, "Screensaver Configuration");
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(FDisplay, window, &attributes), 0);
    EXPECT_EQ(attributes.width, 539);
    EXPECT_EQ(attributes.height, 576);
    // The window is shown after the start-up: the twelve values are stored before any button.
    EXPECT_EQ(ProgramSettings(), TSettings::Defaults());
    AskToClose(FDisplay, window);
    EXPECT_EQ(Finish(run), 0);
    EXPECT_EQ(ProgramSettings(), TSettings::Defaults()) << "closing by the title bar writes nothing";
}

TEST_F(ScreensaverProgram, SaverModeCoversTheScreenAndEndsWhenItCloses)
{
    TRun run = Start({"/s"}, true);
    const Window window = FindWindowOf(FDisplay, run.Pid, "halcyra-screensaver");
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(FDisplay, window, &attributes), 0);
    EXPECT_EQ(attributes.width, DisplayWidth(FDisplay, DefaultScreen(FDisplay)));
    EXPECT_EQ(attributes.height, DisplayHeight(FDisplay, DefaultScreen(FDisplay)));
    EXPECT_EQ(waitpid(run.Pid, nullptr, WNOHANG), 0) << "the saver runs until it is told to end";
    // The hidden configuration form runs its start-up right after the window shows: a first run
    // stores the defaults (the wait is a safety bound, not a budget).
    std::optional<TSettings> settings;
    for (int attempt = 0; attempt < 200 && !(settings = ProgramSettings()); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(settings, TSettings::Defaults());
    // A request that arrives while the window is still being set up is lost, as a click would be,
    // and the libraries may replace the window they showed first: find the window and ask again
    // until the program has gone (a safety bound, not a budget).
    for (int attempt = 0; attempt < 100 && kill(run.Pid, 0) == 0; ++attempt) {
        if (const Window current = FindWindowOf(FDisplay, run.Pid, "halcyra-screensaver", 1))
            AskToClose(FDisplay, current);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        int status = 0;
        if (waitpid(run.Pid, &status, WNOHANG) == run.Pid) {
            close(run.ErrorPipe);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            return;
        }
    }
    ADD_FAILURE() << "the saver did not end when its window was closed";
    Finish(run);
}

// Whether the cursor the X server shows now has any visible pixel.
bool CursorVisible(Display *display)
{
    XFixesCursorImage *cursor = XFixesGetCursorImage(display);
    if (cursor == nullptr)
        return false;
    bool visible = false;
    for (int i = 0; i < cursor->width * cursor->height && !visible; ++i)
        visible = (cursor->pixels[i] >> 24) != 0;
    XFree(cursor);
    return visible;
}

void PressKey(Display *display, KeySym key)
{
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

Imaging::TPicture ModulePicture(const char *name)
{
    const auto stored = Platform::ModuleResources().Find(Platform::ResourceTypeData, name);
    auto load = stored ? Imaging::TPicture::FromStored(*stored) : Imaging::TPictureLoad{};
    return load.Picture ? *load.Picture : Imaging::TPicture{};
}

// The path the forecast service is asked for ZIP code 20001 in Fahrenheit.
std::string WashingtonWeatherPath()
{
    const auto place = EmbeddedLocationCoordinates(Platform::ModuleResources()).Find("20001");
    return place ? Net::WeatherServiceURL("", *place, Net::TTemperatureUnit::Fahrenheit) : std::string();
}

// The places where the weather gadget's two texts, as a frame with the clock shown writes them (bold
// Arial of height 20 in white, from the fonts the program finds too), cover a pixel whole: there the
// screen shows white whatever lies beneath.
std::vector<std::pair<int, int>> WeatherTextPixels(const std::string &today, const std::string &tomorrow)
{
    auto reference = Imaging::TBitmap32::Create(1024, 768);
    reference->Fill(0);
    Platform::TSoftFontTable fonts(Platform::SystemSoftFonts());
    Platform::TSoftDeviceContext dc(*reference, fonts);
    {
        TGadgetFont font(dc, "Arial", 20, 700);
        dc.SetBkMode(Platform::TBackgroundMode::Transparent);
        dc.SetTextColor(GadgetWhite);
        dc.TextOutA(724, 727, today);
        dc.TextOutA(836, 727, tomorrow);
    }
    std::vector<std::pair<int, int>> covered;
    for (int y = 720; y < 768; ++y)
        for (int x = 724; x < 1024; ++x)
            if (reference->GetPixel(x, y) == GadgetWhite)
                covered.emplace_back(x, y);
    return covered;
}

// How many of the places the screen does not show in white.
std::size_t UnlitOnScreen(Display *display, const std::vector<std::pair<int, int>> &places)
{
    return static_cast<std::size_t>(std::count_if(places.begin(), places.end(), [&](const std::pair<int, int> &at) {
        return ScreenPixel(display, at.first, at.second) != GadgetWhite;
    }));
}

// Whether the news band whose left edge is at left shows its title: the feed's name in grey.
bool NewsTitleShown(Display *display, int left)
{
    for (int x = left + 90; x < left + 200; ++x)
        for (int y = 705; y < 721; ++y)
            if (ScreenPixel(display, x, y) == 0x999999u)
                return true;
    return false;
}

// The running saver on an X server of its own.
class RunningSaver : public TOwnXServerTest {
protected:
    TRun StartSaver(const TSettingsHome &settings) { return Start({"/s"}, true, FServer.Name, &settings); }
};

TEST_F(RunningSaver, AnimatesItsSceneWithoutACursorAndEndsOnEscape)
{
    TSettingsHome settings;
    TRun run = StartSaver(settings);
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_FALSE(background.Empty());
    ASSERT_TRUE(ScreenShows(FDisplay, 20, 20, background.Bitmap()->GetPixel(20, 20))) << "the background never showed";
    // The water strip changes from one moment to the next.
    std::vector<std::uint32_t> water;
    for (int sample = 0; sample < 10; ++sample) {
        water.push_back(ScreenPixel(FDisplay, 360, 600));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    EXPECT_GT(std::set<std::uint32_t>(water.begin(), water.end()).size(), 1u) << "the sea stood still";
    EXPECT_FALSE(CursorVisible(FDisplay)) << "the cursor shows over the scene";

    // The window's first mouse event (the pointer in the middle of the new server's screen) only
    // records where the pointer is; a move within 5 pixels of it goes on.
    XTestFakeMotionEvent(FDisplay, -1, 512 + 5, 384 - 5, CurrentTime);
    XSync(FDisplay, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Running(run.Pid)) << "the first mouse event ended the run";

    PressKey(FDisplay, XK_Escape);
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0) << errors;
    EXPECT_TRUE(CursorVisible(FDisplay)) << "the cursor is back";
}

TEST_F(RunningSaver, FetchesTheFeedsThroughTheProxyShowsThemAndOpensTheForecastWithF3)
{
    std::string errors;
    const std::string serviceHost = Testing::SecureWeatherServiceHost();
    if (serviceHost.empty())
        GTEST_SKIP() << "the build asks its forecast service at " << BuildHosts::WeatherService << ", not at https://host";
    const std::string weather = Testing::ReadNetTestFile("weather-service-washington-f.json");
    const std::string news = Testing::ReadNetTestFile("news-rss2-world.xml");
    // The forecast service: a TLS front whose certificate names the service's host, from a test CA the
    // program trusts through SSL_CERT_FILE, which it inherits.
    Testing::TLoopbackServer service([&](Testing::TLoopbackConnection &connection, const std::string &) {
        connection.Send(Testing::TLoopbackServer::Response(200, "OK", "Content-Type: application/json\r\n", weather));
    });
    Testing::TTlsTestServer tls(service.GetPort(), serviceHost);
    ASSERT_TRUE(tls.Running()) << tls.Error();
    Testing::TTrustedTestCa trust(tls.CaPem());
    // The proxy tunnels the service's https to that front and answers the news' plain GET itself.
    Testing::TLoopbackServer proxy([&](Testing::TLoopbackConnection &connection, const std::string &request) {
        if (request.rfind("CONNECT ", 0) == 0)
            connection.Tunnel(tls.Port("named"));
        else
            connection.Send(Testing::TLoopbackServer::Response(200, "OK", "Content-Type: text/plain\r\n", news));
    });
    TSettingsHome settings({"\"ShowTime\"=dword:1", "\"ShowWeather\"=dword:1", "\"ShowNews\"=dword:1",
                            "\"Brightness\"=dword:256", "\"SoundVolume\"=dword:0", "\"TDegree\"=\"f\"",
                            "\"WeatherCode\"=\"20001\"", "\"RSS_Url\"=\"http://news.example/rss/world.xml\"",
                            "\"ShowBlack\"=dword:0", "\"UseProxy\"=dword:1", "\"Proxy\"=\"127.0.0.1\"",
                            "\"Port\"=\"" + std::to_string(proxy.GetPort()) + "\""});
    Testing::TFakeOpener browser;
    TRun run = Start({"/s"}, true, FServer.Name, &settings, {"PATH=" + browser.SearchPath()});
    for (int attempt = 0; attempt < 600 && proxy.GetRequests().size() < 2; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> requests = proxy.GetRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Testing::TunnelRequest(serviceHost + ":443"));
    EXPECT_EQ(requests[1], Testing::ProxiedGet("news.example", "/rss/world.xml"));
    ASSERT_EQ(service.GetRequests().size(), 1u);
    EXPECT_EQ(service.GetRequests()[0], Testing::SecureGet(serviceHost, WashingtonWeatherPath()));
    // Today's icon (partly cloudy by day) and tomorrow's (slight rain) where the not-available ones
    // stood, and the feed's name in grey.
    const Imaging::TPicture icons = ModulePicture("QMV3Weather");
    ASSERT_FALSE(icons.Empty());
    for (const auto &[code, left] : {std::pair{30, 665}, std::pair{11, 777}}) {
        const auto [x, y] = Testing::PixelWhereFramesDiffer(*icons.Bitmap(), 52, code, 48);
        EXPECT_TRUE(ScreenShows(FDisplay, left + x, 706 + y, icons.Bitmap()->GetPixel(x, code * 52 + y))) << "icon " << code;
    }
    // Today's temperature and tomorrow's low and high, rounded to whole degrees. The values change
    // one by one, so a frame may still show a text of before next to a new icon.
    const std::vector<std::pair<int, int>> texts = WeatherTextPixels("42\xB0", "33...48\xB0");
    ASSERT_FALSE(texts.empty());
    std::size_t unlit = UnlitOnScreen(FDisplay, texts);
    for (int attempt = 0; attempt < 100 && unlit != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        unlit = UnlitOnScreen(FDisplay, texts);
    }
    EXPECT_EQ(unlit, 0u) << "of the " << texts.size() << " pixels that 42 and 33...48 degrees cover, so many are not white";
    EXPECT_TRUE(NewsTitleShown(FDisplay, 0)) << "no grey title";
    EXPECT_TRUE(Running(run.Pid)) << "the saver goes on after the feeds";
    PressKey(FDisplay, XK_F3);
    EXPECT_EQ(Finish(run, &errors), 0) << errors;
    EXPECT_EQ(browser.Received(), std::string(BuildHosts::ForecastPages) + "/38.8951,-77.0364?u\n");
}

TEST_F(RunningSaver, ShowsTheHeadlinesOfAnHttpsFeed)
{
    const std::string feed = Testing::ReadNetTestFile("news-rss2-plain.xml");
    Testing::TLoopbackServer origin([&](Testing::TLoopbackConnection &connection, const std::string &) {
        connection.Send(Testing::TLoopbackServer::Response(200, "OK", "Content-Type: application/rss+xml\r\n", feed));
    });
    Testing::TTlsTestServer tls(origin.GetPort());
    ASSERT_TRUE(tls.Running()) << tls.Error();
    // The program trusts the test CA through SSL_CERT_FILE, which it inherits.
    Testing::TTrustedTestCa trust(tls.CaPem());
    TSettingsHome settings({"\"ShowTime\"=dword:0", "\"ShowWeather\"=dword:0", "\"ShowNews\"=dword:1",
                            "\"Brightness\"=dword:256", "\"SoundVolume\"=dword:0", "\"ShowBlack\"=dword:0",
                            "\"UseProxy\"=dword:0", "\"RSS_Url\"=\"" + tls.Url("good", "/news/feed.xml") + "\""});
    TRun run = StartSaver(settings);
    for (int attempt = 0; attempt < 600 && origin.GetRequests().empty(); ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(origin.GetRequests().size(), 1u);
    EXPECT_EQ(origin.GetRequests()[0].substr(0, 45), "GET /news/feed.xml HTTP/1.0\r\nHost: localhost:");
    // The news band alone stands at 453; its title appears once the feed has been read.
    bool title = false;
    for (int attempt = 0; attempt < 100 && !title; ++attempt) {
        title = NewsTitleShown(FDisplay, 453);
        if (!title)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(title) << "the feed's name is not shown";
    EXPECT_TRUE(Running(run.Pid));
    PressKey(FDisplay, XK_Escape);
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0) << errors;
}

// The running saver on a screen larger than its scene, and on a desktop of two monitors side by
// side: 1024 × 768, the primary, and 800 × 600 right of it, which the test's connection defines as
// RandR monitors (they last as long as it does).
class SaverOnTodaysScreens : public testing::Test {
protected:
    void Serve(const std::string &screen)
    {
        FServer = std::make_unique<TOwnXServer>(std::vector<std::string>{"-screen", "0", screen});
        if (FServer->Name.empty())
            GTEST_SKIP() << "Xvfb could not be started";
        FDisplay = XOpenDisplay(FServer->Name.c_str());
        ASSERT_NE(FDisplay, nullptr);
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    }
    void TearDown() override
    {
        if (FDisplay != nullptr)
            XCloseDisplay(FDisplay);
    }

    void DefineMonitor(const char *name, int x, int y, int width, int height, bool primary)
    {
        const Window root = DefaultRootWindow(FDisplay);
        XRRScreenResources *resources = XRRGetScreenResourcesCurrent(FDisplay, root);
        ASSERT_NE(resources, nullptr);
        // The primary takes the server's only output, which would otherwise be a monitor of its own.
        XRRMonitorInfo *monitor = XRRAllocateMonitor(FDisplay, primary ? 1 : 0);
        monitor->name = XInternAtom(FDisplay, name, False);
        monitor->x = x;
        monitor->y = y;
        monitor->width = width;
        monitor->height = height;
        monitor->mwidth = width / 4;
        monitor->mheight = height / 4;
        monitor->primary = primary;
        if (primary)
            monitor->outputs[0] = resources->outputs[0];
        XRRSetMonitor(FDisplay, root, monitor);
        XSync(FDisplay, False);
        XFree(monitor);
        XRRFreeScreenResources(resources);
    }

    // How many pixels of a grid over the area are not black.
    int LitPixels(int left, int top, int right, int bottom)
    {
        int lit = 0;
        for (int y = top; y < bottom; y += 23)
            for (int x = left; x < right; x += 17)
                lit += ScreenPixel(FDisplay, x, y) != 0 ? 1 : 0;
        return lit;
    }

    std::unique_ptr<TOwnXServer> FServer;
    Display *FDisplay = nullptr;
};

TEST_F(SaverOnTodaysScreens, ALargerScreenShowsTheSceneLetterboxedWithBlackBars)
{
    Serve("1920x1080x24");
    TSettingsHome settings;
    TRun run = Start({"/s"}, true, FServer->Name, &settings);
    const Window window = FindWindowOf(FDisplay, run.Pid, "halcyra-screensaver");
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(FDisplay, window, &attributes), 0);
    EXPECT_EQ(attributes.width, 1920) << "the window covers the screen, window manager or not";
    EXPECT_EQ(attributes.height, 1080);
    // The picture is 1440 × 1080 from x 240: the background's pixel (20, 20) is where its column
    // and row are shown.
    const Platform::TLetterboxScale scale(1920, 1080, 1024, 768);
    ASSERT_EQ(scale.Target(), (Platform::TRect{240, 0, 1680, 1080}));
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_TRUE(ScreenShows(FDisplay, 240 + scale.FirstColumnOf(20), scale.FirstRowOf(20), background.Bitmap()->GetPixel(20, 20)))
        << "the background never showed in its place";
    EXPECT_EQ(LitPixels(0, 0, 240, 1080), 0) << "the left bar";
    EXPECT_EQ(LitPixels(1680, 0, 1920, 1080), 0) << "the right bar";
    EXPECT_GT(LitPixels(240, 0, 1680, 1080), 1000);
    PressKey(FDisplay, XK_Escape);
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0) << errors;
}

TEST_F(SaverOnTodaysScreens, TheOtherMonitorIsBlackAndAMoveThereEndsTheRun)
{
    Serve("1824x768x24");
    DefineMonitor("Left", 0, 0, 1024, 768, true);
    DefineMonitor("Right", 1024, 0, 800, 600, false);
    // The pointer waits on the second monitor; the desktop is white there until the saver covers it.
    const Window root = DefaultRootWindow(FDisplay);
    XSetWindowBackground(FDisplay, root, WhitePixel(FDisplay, DefaultScreen(FDisplay)));
    XClearWindow(FDisplay, root);
    XWarpPointer(FDisplay, None, root, 0, 0, 0, 0, 1300, 300);
    XSync(FDisplay, False);
    ASSERT_GT(LitPixels(1024, 0, 1824, 600), 0);
    TSettingsHome settings;
    TRun run = Start({"/s"}, true, FServer->Name, &settings);
    const Imaging::TPicture background = ModulePicture("QIM1");
    ASSERT_TRUE(ScreenShows(FDisplay, 20, 20, background.Bitmap()->GetPixel(20, 20))) << "the scene never showed on the primary";
    EXPECT_EQ(LitPixels(1024, 0, 1824, 600), 0) << "the second monitor is not covered in black";

    // Its first mouse event, where the pointer is, only records the place; a move within 5 pixels
    // goes on, a longer one ends the run.
    XTestFakeMotionEvent(FDisplay, -1, 1303, 302, CurrentTime);
    XSync(FDisplay, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Running(run.Pid)) << "a move within 5 pixels ended the run";
    EXPECT_EQ(LitPixels(1024, 0, 1824, 600), 0);
    XTestFakeMotionEvent(FDisplay, -1, 1340, 302, CurrentTime);
    XSync(FDisplay, False);
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0) << errors;
}

// A Wayland desktop with X11 beside it (a compositor of the test's own, without input or output): the
// dialog, whose window is handed on by its X11 id, opens on X11 and never asks an X11 id of a
// Wayland window.
class ScreensaverProgramOnWayland : public TOwnXServerTest {
protected:
    void SetUp() override
    {
        TOwnXServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        FRuntime = std::filesystem::temp_directory_path() / ("halcyra-wayland-" + std::to_string(getpid()));
        std::filesystem::remove_all(FRuntime);
        std::filesystem::create_directories(FRuntime);
        std::filesystem::permissions(FRuntime, std::filesystem::perms::owner_all);
        std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + FRuntime.string(), "PATH=/usr/bin:/bin"};
        std::vector<char *> envp;
        for (auto &entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        FCompositor = SpawnCommand({"weston", "--backend=headless-backend.so", "--shell=kiosk-shell.so", "--socket=halcyra-test",
                                    "--idle-time=0", "--no-config"},
                                   &actions, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        // Its socket appears once it takes clients (a safety bound, not a budget).
        for (int look = 0; look < 200 && FCompositor > 0 && !std::filesystem::exists(FRuntime / "halcyra-test"); ++look)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (!std::filesystem::exists(FRuntime / "halcyra-test"))
            GTEST_SKIP() << "weston could not be started";
    }
    void TearDown() override
    {
        if (FCompositor > 0) {
            kill(FCompositor, SIGTERM);
            waitpid(FCompositor, nullptr, 0);
        }
        std::error_code error;
        std::filesystem::remove_all(FRuntime, error);
        TOwnXServerTest::TearDown();
    }

    std::filesystem::path FRuntime;
    pid_t FCompositor = -1;
};

TEST_F(ScreensaverProgramOnWayland, TheDialogOpensOnX11)
{
    TRun run = Start({"/c"}, true, FServer.Name, nullptr,
                     {"WAYLAND_DISPLAY=halcyra-test", "XDG_RUNTIME_DIR=" + FRuntime.string(), "XDG_SESSION_TYPE=wayland"});
    EXPECT_TRUE(CloseTheDialog(FDisplay, run)) << "the dialog did not open on the X server";
    std::string errors;
    EXPECT_EQ(Finish(run, &errors), 0);
    EXPECT_EQ(errors.find("CRITICAL"), std::string::npos) << errors;
}

TEST(ScreensaverProgramOwnDisplay, TheSaverEndsWhenItsXServerGoesAway)
{
    TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    Display *display = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(display, nullptr);
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    TRun run = Start({"/s"}, true, server.Name);
    const Window window = FindWindowOf(display, run.Pid, "halcyra-screensaver");
    XCloseDisplay(display);
    ASSERT_NE(window, 0u);
    // The session ends: the program must end too, not spin on a broken connection.
    server.Stop();
    EXPECT_EQ(Finish(run), 0);
}

TEST(ScreensaverProgramWithoutDesktop, PasswordModeReportsTheMissingLibrary)
{
    TRun run = Start({"/a", "1"}, false);
    std::string errorText;
    EXPECT_EQ(Finish(run, &errorText), 0);
    EXPECT_EQ(errorText, "Screen saver: MPR.DLL not found: cannot change password.\n");
}

TEST(ScreensaverProgramWithoutDesktop, SaverAndConfigurationReportThatNoDisplayCouldBeOpened)
{
    // DISPLAY not set, and DISPLAY naming a display where no server listens.
    for (const char *mode : {"/s", "/c"}) {
        for (const std::string &display : {std::string(), std::string(":5999")}) {
            TRun run = display.empty() ? Start({mode}, false) : Start({mode}, true, display);
            std::string errorText;
            EXPECT_EQ(Finish(run, &errorText), 1) << mode << " " << display;
            const std::string named = display.empty() ? "is not set" : "is \"" + display + "\"";
            EXPECT_NE(errorText.find("halcyra-screensaver: no display could be opened: DISPLAY " + named + "\n"), std::string::npos)
                << mode << ": " << errorText;
            EXPECT_EQ(errorText.find("screensaver window"), std::string::npos) << errorText;
        }
    }
}

TEST(ScreensaverProgramWithoutDesktop, PreviewWithABadHandleReportsTheConversionError)
{
    for (const std::vector<std::string> &arguments : {std::vector<std::string>{"/p", "abc"}, {"-P"}}) {
        TRun run = Start(arguments, false);
        std::string errorText;
        EXPECT_EQ(Finish(run, &errorText), 0);
        const std::string value = arguments.size() > 1 ? "'abc'" : "''";
        EXPECT_EQ(errorText, "halcyra-screensaver: " + value + " is not a valid integer value.\n");
    }
}

} // namespace
} // namespace Halcyra
