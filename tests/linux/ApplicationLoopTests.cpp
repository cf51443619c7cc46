// The Linux application's loop always ends the run: a handler that raises leaves no window behind
// and no termination signal unheard, and a second termination signal ends a run whose orderly end
// hangs. Each case runs in a child process of its own on an X server of the test's own, since a
// termination signal ends the process it reaches.
#include "linux/OwnXServer.h"
#include "platform/Application.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

// Reads exactly the bytes the child sends; false when it ended first.
bool ReadFromChild(int pipe, void *data, std::size_t size)
{
    auto *bytes = static_cast<std::uint8_t *>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t count = read(pipe, bytes + got, size - got);
        if (count <= 0)
            return false;
        got += static_cast<std::size_t>(count);
    }
    return true;
}

// The signal that ended the child; 0 when it exited, or had to be killed after the safety bound.
int EndingSignal(pid_t child)
{
    int status = 0;
    for (int look = 0; look < 600; ++look) {
        if (waitpid(child, &status, WNOHANG) == child)
            return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return 0;
}

// Starts a child that takes the termination signals, makes the saver's window with these events
// and runs the loop; the child tells the parent its window's id, then what `run` sends.
pid_t StartChild(const std::string &display, int &fromChild, void (*prepare)(TWindowEvents &, int toParent),
                 void (*run)(IApplication &, int toParent))
{
    int ends[2];
    if (pipe(ends) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        setenv("DISPLAY", display.c_str(), 1);
        IApplication &application = Application();
        application.EndOnTerminationSignals();
        application.Initialize();
        TWindowEvents events;
        prepare(events, ends[1]);
        const TWindowHandle window = application.CreateMainWindow(TMainWindowKind::FullScreen, events);
        if (write(ends[1], &window, sizeof window) != sizeof window || window == 0)
            _exit(3);
        run(application, ends[1]);
        _exit(0);
    }
    close(ends[1]);
    fromChild = ends[0];
    return child;
}

class ApplicationLoop : public testing::Test {
protected:
    void SetUp() override
    {
        if (FServer.Name.empty())
            GTEST_SKIP() << "Xvfb could not be started";
    }
    Testing::TOwnXServer FServer;
};

TEST_F(ApplicationLoop, AHandlerThatRaisesLeavesNoWindowAndATerminationSignalEndsTheProcess)
{
    int fromChild = -1;
    const pid_t child = StartChild(
        FServer.Name, fromChild,
        [](TWindowEvents &events, int) { events.OnKeyDown = [](TKey) { throw std::runtime_error("a handler failed"); }; },
        [](IApplication &application, int toParent) {
            SDL_Event key{};
            key.type = SDL_KEYDOWN;
            key.key.keysym.sym = SDLK_a;
            SDL_PushEvent(&key);
            try {
                application.Run();
            } catch (const std::runtime_error &) {
                // What the program's error box would do now: wait for the user, who never comes.
                const char raised = 'R';
                if (write(toParent, &raised, 1) == 1)
                    for (;;)
                        pause();
            }
        });
    ASSERT_GT(child, 0);
    TWindowHandle window = 0;
    char raised = 0;
    ASSERT_TRUE(ReadFromChild(fromChild, &window, sizeof window));
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(ReadFromChild(fromChild, &raised, 1) && raised == 'R') << "the handler's error left the loop";
    Display *display = XOpenDisplay(FServer.Name.c_str());
    ASSERT_NE(display, nullptr);
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    XWindowAttributes attributes;
    EXPECT_EQ(XGetWindowAttributes(display, static_cast<Window>(window), &attributes), 0) << "the full-screen window is still there";
    XCloseDisplay(display);
    kill(child, SIGTERM);
    EXPECT_EQ(EndingSignal(child), SIGTERM);
    close(fromChild);
}

TEST_F(ApplicationLoop, ASecondTerminationSignalEndsARunWhoseOrderlyEndHangs)
{
    int fromChild = -1;
    const pid_t child = StartChild(
        FServer.Name, fromChild,
        [](TWindowEvents &events, int toParent) {
            events.OnCloseRequest = [toParent] {
                const char asked = 'A';
                if (write(toParent, &asked, 1) == 1)
                    for (;;)
                        pause();
            };
        },
        [](IApplication &application, int) { application.Run(); });
    ASSERT_GT(child, 0);
    TWindowHandle window = 0;
    ASSERT_TRUE(ReadFromChild(fromChild, &window, sizeof window));
    kill(child, SIGTERM);
    char asked = 0;
    ASSERT_TRUE(ReadFromChild(fromChild, &asked, 1) && asked == 'A') << "the first signal asks the run to end";
    kill(child, SIGTERM);
    EXPECT_EQ(EndingSignal(child), SIGTERM);
    close(fromChild);
}

} // namespace
} // namespace Halcyra::Platform
