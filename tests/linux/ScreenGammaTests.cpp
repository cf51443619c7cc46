// The screen's gamma ramps given back on every way out: the emergency restore from a crash signal's
// handler to a peer that records it (through small buffers, or gone away), a stack overflow on an X
// server of the test's own, and the full-screen program on such a server whose RandR takes ramps,
// ended by SIGTERM, crashed by SIGSEGV and cut off from the server.
#include "linux/OwnXServer.h"
#include "linux/ProgramRuns.h"
#include "platform/linux/ScreenGamma.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
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

// Runs crash() in a child that has armed the restore on its socket, as the program does once a ramp
// is applied; the child's end is closed in the parent, the parent's (when given) in the child.
pid_t CrashingChild(int socket, int peer, const std::vector<std::uint8_t> &requests, void (*crash)())
{
    const pid_t child = fork();
    if (child == 0) {
        if (peer >= 0)
            close(peer);
        ArmGammaEmergency(socket, requests.data(), requests.size());
        InstallCrashGammaRestore();
        crash();
        _exit(0);
    }
    close(socket);
    return child;
}

// Reads until the count is reached or the peer is gone.
std::vector<std::uint8_t> ReadBytes(int socket, std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t read = recv(socket, bytes.data() + got, count - got, 0);
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    bytes.resize(got);
    return bytes;
}

int EndingSignal(pid_t child)
{
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFSIGNALED(status))
        return 0;
    return WTERMSIG(status);
}

TEST(ScreenGamma, ARestoreLargerThanTheSocketBufferIsSentWholeOverANonBlockingConnection)
{
    // Four 4096-entry ramps and more, through buffers of a few KiB that Xlib's connection would have
    // set non-blocking: the bytes go out as the peer takes them.
    std::vector<std::uint8_t> requests(256 * 1024);
    for (std::size_t i = 0; i < requests.size(); ++i)
        requests[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 4096;
    setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(ends[0], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    const pid_t child = CrashingChild(ends[1], ends[0], requests, [] { raise(SIGABRT); });
    ASSERT_GT(child, 0);
    EXPECT_TRUE(ReadBytes(ends[0], requests.size()) == requests);
    std::uint8_t answer[32] = {1};
    EXPECT_EQ(send(ends[0], answer, sizeof answer, MSG_NOSIGNAL), 32);
    EXPECT_EQ(EndingSignal(child), SIGABRT);
    close(ends[0]);
}

TEST(ScreenGamma, AServerThatIsGoneLeavesTheCrashItsOwnSignal)
{
    const std::vector<std::uint8_t> requests(64, 9);
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    // The server's end is closed before the crash: sending to it must not end the process by SIGPIPE.
    close(ends[0]);
    const pid_t child = CrashingChild(ends[1], -1, requests, [] { raise(SIGSEGV); });
    ASSERT_GT(child, 0);
    EXPECT_EQ(EndingSignal(child), SIGSEGV);
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

// Recurses until the stack runs out.
int Overflow(int depth)
{
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (frame[0] == 1 && depth < 0)
        return frame[0];
    return Overflow(depth + 1) + frame[0];
}

// An X server of the test's own, connected, and its first CRTC's ramp before the test changes it;
// Why says what is missing when the test cannot run.
struct TGammaServer {
    TGammaServer()
    {
        if (Server.Name.empty()) {
            Why = "Xvfb could not be started";
            return;
        }
        Connection = XOpenDisplay(Server.Name.c_str());
        Before = Connection != nullptr ? FirstCrtcRamp(Connection) : std::vector<std::uint16_t>{};
        if (Before.empty())
            Why = "this X server's RandR has no gamma ramp";
    }
    ~TGammaServer()
    {
        if (Connection != nullptr)
            XCloseDisplay(Connection);
    }
    Testing::TOwnXServer Server;
    Display *Connection = nullptr;
    std::vector<std::uint16_t> Before;
    std::string Why;
};

TEST(ScreenGammaOnServer, AStackOverflowGivesTheRampBack)
{
    TGammaServer gammaServer;
    if (!gammaServer.Why.empty())
        GTEST_SKIP() << gammaServer.Why;
    const Testing::TOwnXServer &server = gammaServer.Server;
    Display *display = gammaServer.Connection;
    const std::vector<std::uint16_t> &before = gammaServer.Before;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("DISPLAY", server.Name.c_str(), 1);
        TRandrGamma gamma;
        TGammaRamp brighter;
        for (int i = 0; i < 256; ++i)
            brighter.Red[i] = brighter.Green[i] = brighter.Blue[i] = static_cast<std::uint16_t>(std::min(65535, i * 400));
        // 3: the ramp was never changed, so there would be nothing to give back.
        if (!gamma.Capture() || !gamma.Apply(brighter))
            _exit(3);
        Overflow(0);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    EXPECT_EQ(FirstCrtcRamp(display), before);
}

TEST(ScreenGammaProgram, TheFullScreenGivesTheRampBackWhenEndedBySigtermWhenItCrashesAndWhenItsConnectionIsKilled)
{
    TGammaServer gammaServer;
    if (!gammaServer.Why.empty())
        GTEST_SKIP() << gammaServer.Why;
    const Testing::TOwnXServer &server = gammaServer.Server;
    Display *display = gammaServer.Connection;
    const std::vector<std::uint16_t> &before = gammaServer.Before;
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
}

} // namespace
} // namespace Halcyra::Platform
