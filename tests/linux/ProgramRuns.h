// The Linux program started as its hosts start it, for the tests that run it whole: its settings in a
// folder of the test's own, its standard error read back, its windows found, the screen read.
#pragma once

#include "linux/OwnXServer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Xlib's names, without Xlib's macros in every file that includes this one.
struct _XDisplay;

namespace Halcyra::Testing {

struct TRun {
    pid_t Pid = -1;
    int ErrorPipe = -1;

    TRun() = default;
    TRun(TRun &&other) noexcept : Pid(std::exchange(other.Pid, -1)), ErrorPipe(std::exchange(other.ErrorPipe, -1)) {}
    TRun &operator=(TRun &&) = delete;
    // A test that stopped early leaves no program behind: it would hold the test's output open, and
    // the test would not end until it did.
    ~TRun();
};

// The folder the started programs keep their settings in (their $XDG_CONFIG_HOME), one per test
// program, so that no test touches the settings of the person running the tests.
std::filesystem::path ProgramConfigHome();

// A folder of settings of the test's own, so that the program never reads or writes the user's: the
// program's XDG_CONFIG_HOME. Given lines, it holds a key file with them.
class TSettingsHome {
public:
    explicit TSettingsHome(const std::vector<std::string> &values = {});
    ~TSettingsHome();
    TSettingsHome(const TSettingsHome &) = delete;
    TSettingsHome &operator=(const TSettingsHome &) = delete;

    std::string Variable() const { return "XDG_CONFIG_HOME=" + FFolder.string(); }

private:
    std::filesystem::path FFolder;
};

// Starts the program with the given arguments and a settings folder of the test's (the test program's
// own when none is given); withDisplay false removes DISPLAY from its environment, a display name
// replaces it. Extra variables ("NAME=value") are added to its environment.
TRun Start(const std::vector<std::string> &arguments, bool withDisplay, const std::string &display = "",
           const TSettingsHome *settings = nullptr, const std::vector<std::string> &extraEnvironment = {});

// Waits for the program to end; a safety bound, not a time budget: the program has no reason to
// take more than a moment. Returns the exit code, or -1 when it had to be stopped or was killed.
int Finish(TRun &run, std::string *errorText = nullptr);

bool Running(pid_t process);

// The shown top-level window of a process with this title, or 0 once the bound has passed.
unsigned long FindWindowOf(_XDisplay *display, pid_t process, const std::string &title, int attempts = 400);

// Asks a window to close, as a window manager does when its close button is pressed.
void AskToClose(_XDisplay *display, unsigned long window);

// A pixel of the screen as the X server shows it.
std::uint32_t ScreenPixel(_XDisplay *display, int x, int y);
// A pixel of a window; 0xFFFFFFFF when it cannot be read.
std::uint32_t WindowPixel(_XDisplay *display, unsigned long window, int x, int y);

// Waits until the screen shows the colour at (x, y); a safety bound, not a budget.
bool ScreenShows(_XDisplay *display, int x, int y, std::uint32_t colour);

// A test on an X server of its own, connected to it: what one program leaves behind on a shared
// server (the keyboard focus, the pointer's place, windows) cannot change how the next one starts.
// Skipped when Xvfb cannot be started.
class TOwnXServerTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TOwnXServer FServer;
    _XDisplay *FDisplay = nullptr;
};

} // namespace Halcyra::Testing
