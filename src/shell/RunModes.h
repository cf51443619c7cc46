// The screensaver's entry logic: the command line chooses one of four run modes (saver,
// configuration, preview, password), the chosen mode runs once, and every error ends in a message
// box and exit code 0.
#pragma once

#include "platform/Application.h"
#include "platform/DynamicLibrary.h"
#include "platform/ForeignWindow.h"
#include "platform/Resources.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Halcyra {
class THiddenForm2;
} // namespace Halcyra

namespace Halcyra::Shell {

enum class TRunMode { Saver, Configuration, Preview, Password };

// A text that is not a number where a number was needed.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A resource the module should carry and does not.
class EResNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The mode named by the first command-line argument ("/s", "-C", "/c:4711", "/p", "/a").
TRunMode ChooseRunMode(const std::string &argument);

// A decimal 32-bit integer, as the host writes a window handle; throws EConvertError otherwise.
std::int32_t ParseDecimalInteger(const std::string &text);

// The message the framework shows for an error no one caught: its text with a full stop.
std::string ExceptionMessageText(const std::string &message);
// Shows that message in the framework's message box, captioned with the application's title.
void ShowException(Platform::IApplication &application, Platform::TWindowHandle owner, const std::exception &error);

// Caption of the password mode's message boxes, and their texts.
inline constexpr const char *PasswordCaption = "Screen saver";
inline constexpr const char *MissingPasswordLibraryText = "MPR.DLL not found: cannot change password.";
inline constexpr const char *MissingPasswordFunctionText = "PwdChangeProc not found: cannot change password";
inline constexpr const char *ConfigurationTitle = "Screensaver Configuration";
inline constexpr const char *PreviewBitmapName = "PREVIEWBMP";

// Everything the run modes use of the platform, so that tests can stand in for any of it.
struct TShellServices {
    Platform::IApplication &Application;
    Platform::ILibraryLoader &Libraries;
    Platform::IForeignWindows &Windows;
    const Platform::IModuleResources &Resources;
    // The saver's full-screen run and the configuration dialog, each creating its windows and
    // running the message loop until it ends. When empty, a plain window stands in.
    std::function<void()> RunSaverForms;
    std::function<void()> RunConfigurationForm;
    // Saver mode creates the configuration form hidden, after its main window, and keeps it until
    // the run ends. When empty, there is none.
    std::function<std::unique_ptr<THiddenForm2>()> CreateHiddenConfigurationForm;
    // The display programs of X11 screensaver daemons: the scene drawn into a window another
    // program made (0: the screen's root window). When empty, the system has none and their options
    // are not recognised.
    std::function<void(Platform::TWindowHandle)> RunDisplayForms;
    // The window a daemon gives its display program ($XSCREENSAVER_WINDOW), when it gives one.
    std::optional<std::string> HostWindowVariable;
    // A line for the standard error stream (usage and window errors of the display options).
    std::function<void(const std::string &)> ReportError;
};

// The display options: "--root"/"-root" (the host's window, else the root window) and
// "--window-id ID"/"-window-id ID"; with no argument, the host's window when one is given.
struct TDisplayCommand {
    enum class TKind {
        NotDisplay,  // the screensaver command line: one of the four run modes
        Display,     // draw into Window (0: the root window)
        Usage,       // an option not known: usage, exit code 2
        BadWindowId  // BadText is not a window id: exit code 1
    };
    TKind Kind = TKind::NotDisplay;
    Platform::TWindowHandle Window = 0;
    std::string BadText;
};
TDisplayCommand ParseDisplayCommand(const std::vector<std::string> &arguments, const std::optional<std::string> &hostWindow);

// An X11 window id as written on a command line: decimal, or hexadecimal after "0x"; never 0.
std::optional<Platform::TWindowHandle> ParseWindowId(const std::string &text);

inline constexpr const char *UsageText =
    "usage: halcyra-screensaver [/s | /c | /p WINDOW | /a WINDOW | --root | --window-id ID]";

// Runs the mode the arguments choose (arguments exclude the program name). Returns the exit code: 0,
// except for the display options' usage (2) and window (1) errors and a display that cannot be
// opened (1, reported on the standard error stream where there is one).
int RunScreensaver(const std::vector<std::string> &arguments, TShellServices &services);

// The modes one by one, for callers that already know the mode; errors propagate.
void RunSaverMode(TShellServices &services);
void RunConfigurationMode(TShellServices &services);
void RunPreviewMode(const std::vector<std::string> &arguments, TShellServices &services);
void RunPasswordMode(const std::vector<std::string> &arguments, TShellServices &services);
// Draws into the window (0: the root window); an error (no such window, no display) goes to the
// standard error stream with exit code 1.
int RunDisplayMode(Platform::TWindowHandle window, TShellServices &services);

} // namespace Halcyra::Shell
