// The saver's window on a real X server with the engine driven by the system's frame timer: frames
// drawn on the timer thread reach the window through the user-interface thread's loop while the
// window is deactivated, activated again and closed by the desktop. Named for the thread tests, so
// that it also runs under ThreadSanitizer.
#include "engine/Engine.h"
#include "linux/OwnXServer.h"
#include "platform/Application.h"
#include "platform/Display.h"
#include "platform/PeriodicTimer.h"
#include "scene/MainWindowForm.h"
#include "support/EngineFakes.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace Halcyra {
namespace {

using namespace Platform;

// Puts an event into the window's queue, as the desktop would.
void Post(Uint32 type, Uint8 windowEvent = 0)
{
    SDL_Event event{};
    event.type = type;
    event.window.event = windowEvent;
    event.window.windowID = 1;
    SDL_PushEvent(&event);
}

TEST(SaverWindowThreads, FramesRunWhileTheWindowIsDeactivatedActivatedAndClosed)
{
    // On an X server of its own: the windows of tests running beside it would take the focus, and
    // every focus lost stops the frames. It outlives the application, which keeps its connection.
    if (!Testing::UseProcessXServer())
        GTEST_SKIP() << "Xvfb could not be started";
    IApplication &application = Application();
    application.Initialize();
    Testing::TTestRegistry registry;
    Testing::TRecordingSound sound;
    Testing::TSteppedClock clock;
    TMainWindowForm window(application);
    TQss engine(&window, TQssServices{SystemDisplay(), registry.Registry(), sound, clock}, CreatePeriodicTimer());
    engine.SetBrandName(registry.BrandName());
    engine.SetSSName("Halcyra Screensaver");
    registry.ForgetKeyOf("Halcyra Screensaver");
    // The display counted the monitors through SDL and kept its connection: had it closed it, this
    // server, with no other client, would reset, and the window's connection could fall into it.
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "SDL's video was closed again after counting the monitors";

    std::atomic<int> frames = 0;
    std::atomic<bool> deactivated = false, activated = false, closing = false;
    std::thread desktop;
    TWindowEvents events;
    events.OnActivate = [&] {
        engine.ApplicationActivate();
        activated = engine.GetTimerEnabled();
    };
    events.OnDeactivate = [&] {
        engine.ApplicationDeactivate();
        deactivated = !engine.GetTimerEnabled();
    };
    events.OnCloseRequest = [&] {
        closing = true;
        engine.SetTimerEnabled(false);
        engine.SetEnabled(false);
        window.Close();
    };
    ASSERT_TRUE(window.Create(TMainWindowKind::FullScreen, events)) << SDL_GetError();
    engine.SetUseIdle(false);
    engine.SetWidthScreen(1024);
    engine.SetHeightScreen(768);
    engine.SetColorDepth(32);
    engine.SetInterval(10);
    engine.SetEnabled(true);
    ASSERT_NE(engine.GetFDDBACK(), nullptr) << engine.GetErrorResult();
    engine.OnTimer = [&](TComponent &) {
        engine.GetFDDBACK()->BltColorFill(TRect{0, 0, 100 + frames % 100, 100}, 0x00FF0000u, DDFlags::BltColorFill);
        ++frames;
    };
    engine.SetTimerEnabled(true);
    // The desktop's thread: focus taken and given back while frames run, then the close button.
    desktop = std::thread([&] {
        const auto waitFrames = [&](int count, int looks) {
            const int until = frames + count;
            for (int i = 0; i < looks && frames < until && !closing; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        waitFrames(10, 1000);
        Post(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // The X server's own focus events for the new window may still arrive, a late "lost" among
        // them: the focus is given back until frames run again, as a desktop does when it is clicked.
        const int resumedFrom = frames;
        for (int attempt = 0; attempt < 25 && frames < resumedFrom + 10 && !closing; ++attempt) {
            Post(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_GAINED);
            waitFrames(10 - (frames - resumedFrom), 40);
        }
        Post(SDL_QUIT);
    });
    application.Run();
    desktop.join();
    EXPECT_TRUE(closing);
    EXPECT_GE(frames.load(), 20);
    EXPECT_FALSE(engine.GetEnabled());
    EXPECT_TRUE(deactivated) << "the timer ran on while the window had lost its focus";
    EXPECT_TRUE(activated);
}

} // namespace
} // namespace Halcyra
