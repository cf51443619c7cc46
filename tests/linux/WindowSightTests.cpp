// The sight of a window on an X server of the test's own: mapped and unmapped, covered and uncovered
// by another window, the monitor powered down (a stand-in for DPMS, which Xvfb lacks), destroyed.
#include "linux/OwnXServer.h"
#include "platform/linux/X11WindowSight.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <thread>

namespace Halcyra::Platform {
namespace {

Window MappedWindow(Display *display, int x, int y, unsigned width, unsigned height)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, width, height, 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// Waits for the sight; a bound, not a budget.
bool Becomes(const TX11WindowSight &sight, TWindowSight expected)
{
    for (int attempt = 0; attempt < 400 && sight.Sight() != expected; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return sight.Sight() == expected;
}

TEST(WindowSight, FollowsMappingCoveringTheMonitorAndDestruction)
{
    Testing::TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    Display *display = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(display, nullptr);
    const Window window = MappedWindow(display, 100, 100, 200, 150);
    std::atomic<bool> monitorOff = false;
    std::atomic<int> changes = 0;
    TX11WindowSight sight(
        XOpenDisplay(server.Name.c_str()), window, [&changes] { ++changes; }, [&monitorOff](Display *) { return monitorOff.load(); },
        std::chrono::milliseconds(20));
    EXPECT_EQ(sight.Sight(), TWindowSight::Seen);

    XUnmapWindow(display, window);
    XSync(display, False);
    EXPECT_TRUE(Becomes(sight, TWindowSight::Unseen)) << "unmapped";
    XMapWindow(display, window);
    XSync(display, False);
    EXPECT_TRUE(Becomes(sight, TWindowSight::Seen)) << "mapped again";

    const Window cover = MappedWindow(display, 50, 50, 400, 300);
    EXPECT_TRUE(Becomes(sight, TWindowSight::Unseen)) << "wholly covered";
    XMoveWindow(display, cover, 200, 200);
    XSync(display, False);
    EXPECT_TRUE(Becomes(sight, TWindowSight::Seen)) << "partly covered is seen";
    XDestroyWindow(display, cover);

    monitorOff = true;
    EXPECT_TRUE(Becomes(sight, TWindowSight::Unseen)) << "monitor powered down";
    monitorOff = false;
    EXPECT_TRUE(Becomes(sight, TWindowSight::Seen)) << "monitor on again";

    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_TRUE(Becomes(sight, TWindowSight::Gone));
    // Destroying a mapped window unmaps it first, which may be told on its own.
    EXPECT_GE(changes, 7);
    XCloseDisplay(display);
}

} // namespace
} // namespace Halcyra::Platform
