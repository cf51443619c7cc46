// Running the Linux program whole, for the program tests.
#include "linux/ProgramRuns.h"
#include "linux/Spawn.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace Halcyra::Testing {

TRun::~TRun()
{
    if (Pid > 0 && waitpid(Pid, nullptr, WNOHANG) == 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
}

std::filesystem::path ProgramConfigHome()
{
    return std::filesystem::temp_directory_path() / ("halcyra-program-" + std::to_string(getpid()));
}

namespace {
int SettingsHomeCount = 0;
} // namespace

TSettingsHome::TSettingsHome(const std::vector<std::string> &values)
    : FFolder(std::filesystem::temp_directory_path() /
              ("halcyra-program-" + std::to_string(getpid()) + "-" + std::to_string(++SettingsHomeCount)))
{
    std::filesystem::remove_all(FFolder);
    std::filesystem::create_directories(FFolder / "Tessaly Software");
    if (values.empty())
        return;
    std::ofstream file(FFolder / "Tessaly Software" / "Halcyra Screensaver.reg");
    file << "[SOFTWARE\\Tessaly Software\\Halcyra Screensaver]\n";
    for (const std::string &value : values)
        file << value << "\n";
}

TSettingsHome::~TSettingsHome()
{
    std::error_code error;
    std::filesystem::remove_all(FFolder, error);
}

TRun Start(const std::vector<std::string> &arguments, bool withDisplay, const std::string &display,
           const TSettingsHome *settings, const std::vector<std::string> &extraEnvironment)
{
    std::vector<std::string> environment;
    // An extra variable replaces the one of the same name (PATH, for one).
    const auto replaced = [&](const std::string &variable) {
        const std::string name = variable.substr(0, variable.find('=') + 1);
        return std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                           [&](const std::string &extra) { return extra.rfind(name, 0) == 0; });
    };
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const bool isDisplay = variable.rfind("DISPLAY=", 0) == 0;
        if (variable.rfind("XDG_CONFIG_HOME=", 0) == 0 || replaced(variable))
            continue;
        if (!isDisplay || (withDisplay && display.empty()))
            environment.push_back(variable);
    }
    environment.push_back(settings != nullptr ? settings->Variable() : "XDG_CONFIG_HOME=" + ProgramConfigHome().string());
    if (withDisplay && !display.empty())
        environment.push_back("DISPLAY=" + display);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char *> envp;
    for (auto &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words = {HALCYRA_SCREENSAVER_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());

    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    TRun run;
    run.Pid = SpawnCommand(words, &actions, envp.data());
    EXPECT_GT(run.Pid, 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    run.ErrorPipe = pipeEnds[0];
    return run;
}

int Finish(TRun &run, std::string *errorText)
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


unsigned long FindWindowOf(Display *display, pid_t process, const std::string &title, int attempts)
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

void AskToClose(Display *display, unsigned long window)
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


std::uint32_t ScreenPixel(Display *display, int x, int y)
{
    return WindowPixel(display, DefaultRootWindow(display), x, y);
}

std::uint32_t WindowPixel(Display *display, unsigned long window, int x, int y)
{
    XImage *image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr)
        return 0xFFFFFFFFu;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

bool ScreenShows(Display *display, int x, int y, std::uint32_t colour)
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (ScreenPixel(display, x, y) == colour)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}


void TOwnXServerTest::SetUp()
{
    if (FServer.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    FDisplay = XOpenDisplay(FServer.Name.c_str());
    ASSERT_NE(FDisplay, nullptr);
}

void TOwnXServerTest::TearDown()
{
    if (FDisplay != nullptr)
        XCloseDisplay(FDisplay);
}

bool Running(pid_t process)
{
    return waitpid(process, nullptr, WNOHANG) == 0;
}

} // namespace Halcyra::Testing
