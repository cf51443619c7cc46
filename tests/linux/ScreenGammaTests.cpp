// The screen's gamma ramps given back on every way out: the emergency restore from a crash signal's
// handler to a peer that records it, and the full-screen program on an X server of its own whose
// RandR takes ramps, ended by SIGTERM, crashed by SIGSEGV and cut off from the server.
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"
#include "platform/linux/ScreenGamma.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace Halcyra::Platform {
namespace {

TEST(ScreenGamma, ACrashSignalWritesTheRestoreWaitsForTheAnswerThenEndsTheProcess)
{
    const std::vector<std::uint8_t> requests = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int crash : {SIGSEGV, SIGABRT}) {
        SCOPED_TRACE(strsignal(crash));
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ends[0]);
            ArmGammaEmergency(ends[1], requests.data(), requests.size());
            InstallCrashGammaRestore();
            raise(crash);
            _exit(0);
        }
        close(ends[1]);
        std::vector<std::uint8_t> received(requests.size());
        std::size_t got = 0;
        while (got < received.size()) {
            const ssize_t count = read(ends[0], received.data() + got, received.size() - got);
            if (count <= 0)
                break;
            got += static_cast<std::size_t>(count);
        }
        EXPECT_EQ(received, requests);
        // Until the server answers, the process waits: the ramps are set before it ends.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0);
        std::uint8_t answer[32] = {1};
        EXPECT_EQ(write(ends[0], answer, sizeof answer), 32);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == crash) << status;
        close(ends[0]);
    }
}

// The ramp of the server's first CRTC, each channel in turn.
std::vector<std::uint16_t> FirstCrtcRamp(Display *display)
{
    std::vector<std::uint16_t> ramp;
    XRRScreenResources *resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (resources == nullptr)
        return ramp;
    if (resources->ncrtc > 0) {
        if (XRRCrtcGamma *gamma = XRRGetCrtcGamma(display, resources->crtcs[0])) {
            for (const unsigned short *channel : {gamma->red, gamma->green, gamma->blue})
                ramp.insert(ramp.end(), channel, channel + gamma->size);
            XRRFreeGamma(gamma);
        }
    }
    XRRFreeScreenResources(resources);
    return ramp;
}

TEST(ScreenGammaProgram, TheFullScreenGivesTheRampBackWhenEndedBySigtermWhenItCrashesAndWhenItsConnectionIsKilled)
{
    Testing::TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    Display *display = XOpenDisplay(server.Name.c_str());
    ASSERT_NE(display, nullptr);
    const std::vector<std::uint16_t> before = FirstCrtcRamp(display);
    if (before.empty())
        GTEST_SKIP() << "this X server's RandR has no gamma ramp";
    // Brighter than normal: the program sets a ramp of its own.
    Testing::TSettingsHome settings({"\"ShowTime\"=dword:0", "\"ShowWeather\"=dword:0", "\"ShowNews\"=dword:0",
                                     "\"Brightness\"=dword:400", "\"SoundVolume\"=dword:0", "\"TDegree\"=\"c\"",
                                     "\"WeatherCode\"=\"\"", "\"RSS_Url\"=\"\"", "\"ShowBlack\"=dword:0", "\"UseProxy\"=dword:0",
                                     "\"Proxy\"=\"\"", "\"Port\"=\"\""});
    // 0: the window's X connection is killed (as xkill does); the server goes on.
    for (int ending : {SIGTERM, SIGSEGV, 0}) {
        SCOPED_TRACE(ending != 0 ? strsignal(ending) : "connection killed");
        Testing::TRun run = Testing::Start({"/s"}, true, server.Name, &settings);
        bool changed = false;
        for (int attempt = 0; attempt < 400 && !changed; ++attempt) {
            changed = FirstCrtcRamp(display) != before;
            if (!changed)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(changed) << "the program brightens the screen";
        if (ending != 0) {
            kill(run.Pid, ending);
        } else {
            const unsigned long window = Testing::FindWindowOf(display, run.Pid, "halcyra-screensaver");
            ASSERT_NE(window, 0u);
            XKillClient(display, window);
            XSync(display, False);
        }
        int status = 0;
        ASSERT_EQ(waitpid(run.Pid, &status, 0), run.Pid);
        run.Pid = -1;
        if (ending != SIGSEGV)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
        EXPECT_EQ(FirstCrtcRamp(display), before);
    }
    XCloseDisplay(display);
}

} // namespace
} // namespace Halcyra::Platform
