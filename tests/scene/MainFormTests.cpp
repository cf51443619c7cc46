// Tests of the main form on soft surfaces with the module's own pictures: the loops' cycle, where the
// gadgets go for every combination of the settings, the layering of a whole frame, the mouse and key
// rules, and the exit in its order, once.
#include "engine/SettingsStore.h"
#include "imaging/Picture.h"
#include "platform/Resources.h"
#include "platform/WebBrowser.h"
#include "scene/MainForm.h"
#include "support/EngineFakes.h"
#include "support/FakeApplication.h"
#include "support/FakeDisplay.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace Halcyra {
namespace {

using namespace Platform;

class TRecordingBrowser final : public IWebBrowser {
public:
    bool OpenPage(const std::string &url) override
    {
        Pages.push_back(url);
        return true;
    }
    std::vector<std::string> Pages;
};

Imaging::TPicture AssetPicture(std::string_view name)
{
    const auto stored = ModuleResources().Find(ResourceTypeData, name);
    EXPECT_TRUE(stored) << name;
    auto load = Imaging::TPicture::FromStored(*stored);
    EXPECT_TRUE(load.Picture) << name << ": " << load.Error;
    return load.Picture ? *load.Picture : Imaging::TPicture{};
}

struct TShown {
    int ShowTime = 0;
    int ShowWeather = 0;
    int ShowNews = 0;
    int ShowBlack = 0;
    std::string TDegree = "f";
    std::string WeatherCode = "20001";
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The feed thread finds the loop ended and stops at once: these tests fetch nothing.
        Application.LoopEnded = true;
        Registry.ForgetKeyOf(TForm1::SSName);
    }

    // Writes the settings the form will read.
    void Settings(const TShown &shown)
    {
        TSettingsStore store(Registry.Registry());
        store.SetBrandName(Registry.BrandName());
        store.SetSSName(TForm1::SSName);
        store.SetRegistry();
        store.WriteRKey("ShowTime", shown.ShowTime);
        store.WriteRKey("ShowWeather", shown.ShowWeather);
        store.WriteRKey("ShowNews", shown.ShowNews);
        store.WriteRKey("ShowBlack", shown.ShowBlack);
        store.WriteAKey("TDegree", shown.TDegree);
        store.WriteAKey("WeatherCode", shown.WeatherCode);
    }

    TForm1 &Create()
    {
        TSceneServices services{Application, Display, Registry.Registry(), Sound, Clock, ModuleResources(), Browser, Sockets()};
        services.BrandName = Registry.BrandName();
        services.WeatherSource = WeatherSource;
        auto timer = std::make_unique<Testing::TManualTimer>();
        Timer = timer.get();
        Form = std::make_unique<TForm1>(services, std::move(timer));
        Form->FormCreate();
        return *Form;
    }

    // The build's weather source unless a test picks the other.
    Net::TWeatherSource WeatherSource = Net::BuildWeatherSource;

    Imaging::TBitmap32 Tick()
    {
        Timer->Fire();
        return *Display.PresentedFrame();
    }

    // How many blits of the frame came from surfaces of this size.
    int BlitsFrom(int width, int height) const
    {
        int count = 0;
        for (const auto &blit : Display.BltFasts())
            count += blit.Target == "Back" && blit.SourceWidth == width && blit.SourceHeight == height ? 1 : 0;
        return count;
    }

    Testing::TFakeApplication Application;
    Testing::TFakeDisplay Display;
    Testing::TTestRegistry Registry;
    Testing::TRecordingSound Sound;
    Testing::TSteppedClock Clock;
    TRecordingBrowser Browser;
    Testing::TManualTimer *Timer = nullptr;
    std::unique_ptr<TForm1> Form;
};

TEST_F(MainFormTest, TheRunningSceneHasItsDisplayTimerSoundAndHiddenCursor)
{
    TForm1 &form = Create();
    EXPECT_EQ(Application.WindowKinds, std::vector<TMainWindowKind>{TMainWindowKind::FullScreen});
    EXPECT_EQ(Display.Soft().ModeWidth(), 1024);
    EXPECT_EQ(Display.Soft().ModeBitsPerPixel(), 32);
    EXPECT_EQ(Timer->Period, 40u);
    EXPECT_TRUE(form.Qss1.GetTimerEnabled());
    EXPECT_EQ(Sound.Played, std::vector<std::string>{"SoundName"});
    EXPECT_EQ(Application.CursorCount, -1);
    EXPECT_EQ(form.QMV1.FrameCount(), 32);
    EXPECT_EQ(form.QMV5f.FrameCount(), 10);
    EXPECT_EQ(form.QMV1.GetErrorResult(), "");
    // The flier keeps its explicit size, which the frame height would have set otherwise.
    ASSERT_NE(form.GetFlierSmall(), nullptr);
    EXPECT_EQ(form.GetFlierSmall()->FrameSurfaceWidth(), 14);
    EXPECT_EQ(form.GetFlierSmall()->FrameSurfaceHeight(), 9);
    EXPECT_EQ(form.GetFlierSmall()->Picture().Bitmap(), form.QMV3SGsmall.Picture().Bitmap()) << "the pixels are shared";
    EXPECT_EQ(form.GetFlightB1()->Segment, 0);
    EXPECT_EQ(form.GetFlightB2()->Segment, 9);
}

TEST_F(MainFormTest, TheLoopingStripsCycleThrough32Frames)
{
    TForm1 &form = Create();
    Tick();
    EXPECT_EQ(form.GetCycle(), 1);
    EXPECT_EQ(form.QMV1.GetNumberFrame(), 1);
    for (int tick = 2; tick <= 32; ++tick)
        Tick();
    EXPECT_EQ(form.GetCycle(), 0);
    EXPECT_EQ(form.QMV4.GetNumberFrame(), 0);
}

TEST_F(MainFormTest, GadgetsArePlacedForEveryCombinationOfTheSettings)
{
    for (int combination = 0; combination < 8; ++combination) {
        const int time = combination & 1, weather = (combination >> 1) & 1, news = (combination >> 2) & 1;
        Settings({time, weather, news});
        TForm1 &form = Create();
        const std::string which = "time " + std::to_string(time) + " weather " + std::to_string(weather) + " news " + std::to_string(news);
        EXPECT_EQ(form.QGC1.Surface() != nullptr, time == 1) << which;
        EXPECT_EQ(form.QGW1.Surface() != nullptr, weather == 1) << which;
        EXPECT_EQ(form.QGR1.Surface() != nullptr, news == 1) << which;
        if (weather == 1) {
            EXPECT_EQ(form.QGW1.GetShowX(), 688 - 117 * time) << which;
        }
        if (news == 1) {
            EXPECT_EQ(form.QGR1.GetShowX(), 453 - 117 * time - 336 * weather) << which;
        }
        EXPECT_NE(form.QIM2GadgetPanel.Surface(), nullptr) << "the band is prepared in any case";
        Display.ClearCallLog();
        Tick();
        EXPECT_EQ(BlitsFrom(1024, 70), time + weather + news > 0 ? 1 : 0) << which;
        EXPECT_EQ(BlitsFrom(117, 69), time) << which;
        EXPECT_EQ(BlitsFrom(336, 69), weather) << which;
        EXPECT_EQ(BlitsFrom(572, 69), news) << which;
        EXPECT_EQ(BlitsFrom(52, 52), 2 * weather) << which;
        Form.reset();
    }
}

TEST_F(MainFormTest, AFrameIsLayeredBackToFront)
{
    Settings({1, 1, 1, 1});
    TForm1 &form = Create();
    // A burst that starts on the second tick.
    form.Bursts().FBurstWait = 1;
    Tick();
    const auto screen = Tick();
    ASSERT_TRUE(form.Bursts().FBurstOn);
    const Imaging::TPicture backgroundPicture = AssetPicture("QIM1");
    const Imaging::TBitmap32 &background = *backgroundPicture.Bitmap();
    EXPECT_EQ(screen.GetPixel(20, 20), background.GetPixel(20, 20));
    EXPECT_EQ(screen.GetPixel(700, 100), background.GetPixel(700, 100));
    // The looping strips at frame 2 of 32.
    struct TStrip {
        const char *Name;
        int X, Y, FrameHeight;
    };
    for (const TStrip strip : {TStrip{"QMV1", 0, 543, 120}, TStrip{"QMV3", 128, 175, 179}, TStrip{"QMV4", 905, 404, 140}}) {
        const Imaging::TPicture picture = AssetPicture(strip.Name);
        const Imaging::TBitmap32 &frames = *picture.Bitmap();
        const int x = strip.X + frames.Width() / 2, y = strip.Y + strip.FrameHeight / 2;
        EXPECT_EQ(screen.GetPixel(x, y), frames.GetPixel(x - strip.X, 2 * strip.FrameHeight + y - strip.Y)) << strip.Name;
    }
    // Frame 0 of the burst strip picked.
    const TStrip bursts[] = {{"QMV5f", 0, 189, 225}, {"QMV6f", 296, 137, 311}, {"QMV7f", 498, 360, 142}};
    const TStrip burst = bursts[form.Bursts().FBurstPick];
    const Imaging::TPicture burstPicture = AssetPicture(burst.Name);
    const Imaging::TBitmap32 &burstFrames = *burstPicture.Bitmap();
    const int bx = burst.X + burstFrames.Width() / 2, by = burst.Y + burst.FrameHeight / 2;
    EXPECT_EQ(screen.GetPixel(bx, by), burstFrames.GetPixel(bx - burst.X, by - burst.Y)) << burst.Name;
    // Both fliers, each a 14 by 9 picture of its heading's frame, its black keyed out.
    const Imaging::TPicture flierPicture = AssetPicture("QMV3SGsmall");
    const Imaging::TBitmap32 &flier = *flierPicture.Bitmap();
    for (const TFlightPath *path : {form.GetFlightB1(), form.GetFlightB2()}) {
        const auto frame = flier.Crop(0, path->Frame * 24, 38, 24)->Scaled(14, 9);
        const int left = static_cast<int>(std::trunc(path->PosX)), top = static_cast<int>(std::trunc(path->PosY));
        int shown = 0;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 14; ++x)
                if (frame->GetPixel(x, y) != frame->GetPixel(0, 0)) {
                    EXPECT_EQ(screen.GetPixel(left + x, top + y), frame->GetPixel(x, y));
                    ++shown;
                }
        EXPECT_GT(shown, 0);
    }
    // The band is opaque black where the news panel is transparent, and the panel's outline shows.
    const Imaging::TPicture panelPicture = AssetPicture("QGR1");
    const Imaging::TBitmap32 &panel = *panelPicture.Bitmap();
    ASSERT_EQ(panel.GetPixel(300, 62), 0u);
    EXPECT_EQ(screen.GetPixel(300, 760), 0u);
    EXPECT_NE(background.GetPixel(300, 760), 0u);
    int outline = 0;
    while (outline < panel.Width() && panel.GetPixel(outline, 34) == 0)
        ++outline;
    ASSERT_LT(outline, panel.Width());
    EXPECT_EQ(screen.GetPixel(outline, 698 + 34), panel.GetPixel(outline, 34));
}

TEST_F(MainFormTest, OnlyAStepOfMoreThanFivePixelsBetweenTwoMouseEventsEndsTheRun)
{
    struct TCase {
        std::vector<std::pair<int, int>> Moves;
        bool Ends;
    };
    const TCase cases[] = {
        {{{300, 300}}, false},                        // the first event only records
        {{{100, 100}, {106, 100}}, true},             // 6 pixels across
        {{{100, 100}, {100, 94}}, true},              // 6 pixels up
        {{{100, 100}, {105, 105}}, false},            // 5 pixels is not enough
        {{{100, 100}, {104, 100}, {108, 100}}, false}, // slow movement never ends it
        {{{0, 100}, {50, 100}}, false},               // a stored 0 skips its axis
        {{{0, 100}, {50, 150}}, true},                // but not the other one
    };
    for (const TCase &c : cases) {
        TForm1 &form = Create();
        for (const auto &[x, y] : c.Moves)
            Application.Events.OnMouseMove(x, y);
        EXPECT_EQ(form.Ended(), c.Ends) << c.Moves.size() << " moves, first " << c.Moves[0].first << "," << c.Moves[0].second;
        Form.reset();
    }
}

TEST_F(MainFormTest, KeysEndTheRunAfterOpeningTheirPages)
{
    struct TCase {
        TKey Key;
        std::string TDegree;
        std::vector<std::string> Pages;
        bool Ends;
    };
    // The weather RSS feed's forecast pages.
    WeatherSource = Net::TWeatherSource::RssFeed;
    const std::string forecast = std::string("http://") + BuildHosts::ForecastHost + "/forecast/AFXX0005";
    const TCase cases[] = {
        {TKey::Other, "f", {}, false},
        {TKey::Escape, "f", {}, true},
        {TKey::F2, "f", {""}, true}, // no link has arrived yet
        {TKey::F3, "c", {forecast + "_c.html"}, true},
        {TKey::F3, "f", {forecast + ".html"}, true},
        {TKey::F3, "C", {forecast + ".html"}, true}, // the comparison is exact
    };
    for (const TCase &c : cases) {
        Settings({0, 0, 0, 0, c.TDegree, "AFXX0005"});
        Browser.Pages.clear();
        TForm1 &form = Create();
        Application.Events.OnKeyDown(c.Key);
        EXPECT_EQ(Browser.Pages, c.Pages) << static_cast<int>(c.Key) << " " << c.TDegree;
        EXPECT_EQ(form.Ended(), c.Ends) << static_cast<int>(c.Key);
        Form.reset();
    }
    TForm1 &form = Create();
    form.FeedValues().SetNewsLink("http://news.example/world");
    Browser.Pages.clear();
    Application.Events.OnKeyDown(TKey::F2);
    EXPECT_EQ(Browser.Pages, std::vector<std::string>{"http://news.example/world"});
    EXPECT_FALSE(Application.Events.OnMouseDown) << "mouse buttons do nothing";
}

TEST_F(MainFormTest, F3OpensTheForecastPageOfThePlacesCoordinatesInItsUnits)
{
    WeatherSource = Net::TWeatherSource::Service;
    const std::string pages = BuildHosts::ForecastPages;
    const std::pair<TShown, std::string> cases[] = {
        {{0, 0, 0, 0, "f", "20001"}, pages + "/38.8951,-77.0364?u"},
        {{0, 0, 0, 0, "c", "AFXX0005"}, pages + "/31.5938,64.3716?m"},
        {{0, 0, 0, 0, "C", "UKXX0001"}, pages + "/51.5085,-0.1257?u"},
        // A code the table does not know still opens a forecast page, the site's own.
        {{0, 0, 0, 0, "c", "USOR0338"}, pages + "/?m"},
    };
    for (const auto &[shown, page] : cases) {
        Settings(shown);
        Browser.Pages.clear();
        TForm1 &form = Create();
        Application.Events.OnKeyDown(TKey::F3);
        EXPECT_EQ(Browser.Pages, std::vector<std::string>{page}) << shown.WeatherCode;
        EXPECT_TRUE(form.Ended());
        Form.reset();
    }
}

TEST_F(MainFormTest, TheExitRunsInItsOrderOnce)
{
    TForm1 &form = Create();
    std::vector<std::string> journal;
    const auto display = [&] { return Display.Soft().DeviceAlive() ? " (display open)" : " (display closed)"; };
    Timer->OnStop = [&] { journal.push_back(std::string("StopTimer") + display() + (form.FeedThread()->GetTerminated() ? "" : " (feed running)")); };
    Sound.OnStopAll = [&] { journal.push_back(std::string("StopSound") + display()); };
    Application.Journal = &journal;
    form.EndSaver();
    const std::vector<std::string> expected{"StopTimer (display open)", "StopSound (display closed)", "ShowCursor", "Hide",
                                            "BorderSizeable", "Size 20x20", "Close"};
    EXPECT_EQ(journal, expected);
    EXPECT_EQ(Application.CursorCount, 0);
    form.EndSaver();
    Application.Events.OnCloseRequest();
    Application.Events.OnKeyDown(TKey::Escape);
    EXPECT_EQ(journal, expected) << "a second trigger does nothing";
    Timer->OnStop = nullptr;
    Sound.OnStopAll = nullptr;
    Application.Journal = nullptr;
}

TEST_F(MainFormTest, TheDesktopsCloseRequestEndsTheRun)
{
    TForm1 &form = Create();
    Application.Events.OnCloseRequest();
    EXPECT_TRUE(form.Ended());
    EXPECT_EQ(Application.CloseCount, 1);
    EXPECT_EQ(Application.CursorCount, 0);
    EXPECT_FALSE(Display.Soft().DeviceAlive());
}

// DirectDraw may activate (or deactivate) the window while it changes the display mode: the timer
// still starts only once every sprite is prepared, and a window left inactive waits for its next
// activation.
TEST_F(MainFormTest, AnActivationDuringTheModeChangeStartsNoFrameBeforeTheSpritesAreReady)
{
    for (bool deactivatedToo : {false, true}) {
        SCOPED_TRACE(deactivatedToo ? "activated, then deactivated" : "activated");
        int startsDuringTheModeChange = -1;
        Display.SetOnCall([&](const std::string &call) {
            if (call != "SetDisplayMode")
                return;
            Application.Events.OnActivate();
            if (deactivatedToo)
                Application.Events.OnDeactivate();
            startsDuringTheModeChange = Timer != nullptr ? Timer->StartCount : 0;
        });
        Timer = nullptr;
        TForm1 &form = Create();
        Display.SetOnCall({});
        EXPECT_EQ(startsDuringTheModeChange, 0);
        EXPECT_EQ(Timer->StartCount, 1);
        EXPECT_EQ(form.Qss1.GetTimerEnabled(), !deactivatedToo);
        Application.Events.OnActivate();
        EXPECT_TRUE(form.Qss1.GetTimerEnabled());
        EXPECT_EQ(form.QMV1.GetErrorResult(), "");
        Form.reset();
    }
}

TEST_F(MainFormTest, AFormDestroyedWithoutTheExitGivesTheCursorAndSoundBack)
{
    Create();
    Form.reset();
    EXPECT_EQ(Application.CursorCount, 0);
    EXPECT_EQ(Sound.StopCount, 1);
    EXPECT_FALSE(Display.Soft().DeviceAlive());
}

TEST_F(MainFormTest, AWindowThatCannotBeMadeIsReported)
{
    Application.CanCreateWindows = false;
    try {
        Create();
        FAIL() << "no error";
    } catch (const std::exception &error) {
        EXPECT_STREQ(error.what(), "The screensaver window could not be created");
    }
    EXPECT_FALSE(Display.Soft().DeviceAlive());
}

} // namespace
} // namespace Halcyra
