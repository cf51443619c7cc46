// The Linux program itself, started as a host starts it: the preview drawn into an X11 window the
// test creates, a preview window destroyed before it is shown, the password mode, and the settings
// dialog with the key file it writes. The program keeps its settings in a folder of the test's own.
#include "engine/SettingsStore.h"
#include "imaging/BmpDecoder.h"
#include "platform/Resources.h"
#include "platform/linux/FileRegistry.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace Halcyra {
namespace {

struct TRun {
    pid_t Pid = -1;
    int ErrorPipe = -1;
};

// The folder the started programs keep their settings in (their $XDG_CONFIG_HOME), one per test
// program, so that no test touches the settings of the person running the tests.
std::filesystem::path ProgramConfigHome()
{
    return std::filesystem::temp_directory_path() / ("halcyra-program-" + std::to_string(getpid()));
}

// Starts the program with the given arguments; withDisplay false removes DISPLAY from its environment,
// a display name replaces it.
TRun Start(const std::vector<std::string> &arguments, bool withDisplay, const std::string &display = "")
{
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const bool isDisplay = std::string(*entry).rfind("DISPLAY=", 0) == 0;
        const bool isConfigHome = std::string(*entry).rfind("XDG_CONFIG_HOME=", 0) == 0;
        if (!isConfigHome && (!isDisplay || (withDisplay && display.empty())))
            environment.emplace_back(*entry);
    }
    if (withDisplay && !display.empty())
        environment.push_back("DISPLAY=" + display);
    environment.push_back("XDG_CONFIG_HOME=" + ProgramConfigHome().string());
    std::vector<char *> envp, argv;
    for (auto &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = HALCYRA_SCREENSAVER_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (auto &argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    TRun run;
    EXPECT_EQ(posix_spawn(&run.Pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    run.ErrorPipe = pipeEnds[0];
    return run;
}

// Waits for the program to end; a safety bound, not a time budget: the program has no reason to
// take more than a moment. Returns the exit code, or -1 when it had to be stopped.
int Finish(TRun &run, std::string *errorText = nullptr)
{
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 600 && ended == 0; ++i) {
        ended = waitpid(run.Pid, &status, WNOHANG);
        if (ended == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (ended == 0) {
        kill(run.Pid, SIGKILL);
        waitpid(run.Pid, &status, 0);
        status = -1;
    }
    std::string text;
    char buffer[512];
    ssize_t count;
    while ((count = read(run.ErrorPipe, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(count));
    close(run.ErrorPipe);
    if (errorText != nullptr)
        *errorText = text;
    return status == -1 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
}

class ScreensaverProgram : public testing::Test {
protected:
    void SetUp() override
    {
        FDisplay = XOpenDisplay(nullptr);
        if (FDisplay == nullptr)
            GTEST_SKIP() << "needs an X display (scripts/test starts Xvfb)";
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

// The shown top-level window of a process with this title, or 0 once the bound has passed.
Window FindWindowOf(Display *display, pid_t process, const std::string &title, int attempts = 400)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) != 0) {
            for (unsigned i = 0; i < count && found == 0; ++i) {
                Atom type = 0;
                int format = 0;
                unsigned long items = 0, after = 0;
                unsigned char *data = nullptr;
                if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                                       &data) == Success && data != nullptr) {
                    const bool ours = items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long *>(data)) == process;
                    XFree(data);
                    char *name = nullptr;
                    XWindowAttributes attributes;
                    // Only a shown window counts: libraries make and drop hidden windows of their own.
                    const bool shown = XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                                       attributes.map_state == IsViewable;
                    if (ours && shown && XFetchName(display, children[i], &name) != 0 && name != nullptr) {
                        if (title == name)
                            found = children[i];
                        XFree(name);
                    }
                }
            }
            XFree(children);
        }
        if (found != 0)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

// Asks a window to close, as a window manager does when its close button is pressed.
void AskToClose(Display *display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

TEST_F(ScreensaverProgram, ConfigurationModeShowsItsTitledWindowAndEndsWhenItCloses)
{
    TRun run = Start({"/c:4711"}, true);
    const Window window = FindWindowOf(FDisplay, run.Pid, "Screensaver Configuration");
    EXPECT_NE(window, 0u) << "no window titled \"Screensaver Configuration\"";
    if (window != 0)
        AskToClose(FDisplay, window);
    else
        kill(run.Pid, SIGTERM);
    EXPECT_EQ(Finish(run), 0);
}

// The settings the started programs keep, as the settings store reads them; nullopt when there is no key.
std::optional<TSettings> ProgramSettings()
{
    Platform::TFileRegistry files(ProgramConfigHome());
    TSettingsStore store(files);
    store.SetBrandName("Tessaly Software");
    store.SetSSName("Halcyra Screensaver");
    if (!files.OpenKey(store.KeyPath()))
        return std::nullopt;
    store.SetRegistry();
    return store.Loaded();
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

// An X server of the test's own, so that the test can end it under the program.
class TOwnXServer {
public:
    TOwnXServer()
    {
        for (int number = 150; number < 200 && FPid < 0; ++number) {
            if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0)
                continue;
            const std::string name = ":" + std::to_string(number);
            std::vector<std::string> words = {"Xvfb", name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
            std::vector<char *> argv;
            for (auto &word : words)
                argv.push_back(word.data());
            argv.push_back(nullptr);
            pid_t pid = -1;
            if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0)
                return;
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid, nullptr, WNOHANG) == 0 && access(socket.c_str(), F_OK) == 0) {
                FPid = pid;
                Name = name;
            }
        }
    }
    ~TOwnXServer() { Stop(); }

    void Stop()
    {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
            waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }

    std::string Name;

private:
    pid_t FPid = -1;
};

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

TEST(ScreensaverProgramWithoutDesktop, SaverAndConfigurationReportThatTheyCannotShowAWindow)
{
    // The configuration mode has set its title by then, and the title is the caption.
    for (auto [mode, caption] : {std::pair{"/s", "halcyra-screensaver"}, {"/c", "Screensaver Configuration"}}) {
        TRun run = Start({mode}, false);
        std::string errorText;
        EXPECT_EQ(Finish(run, &errorText), 0) << mode;
        EXPECT_NE(errorText.find(std::string(caption) + ": The screensaver window could not be created.\n"), std::string::npos)
            << mode << ": " << errorText;
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
