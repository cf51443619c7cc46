// The application: the user-interface thread's message loop and everything that runs on it
// (idle and activation handlers, keyboard and mouse events, work handed over from other threads,
// message boxes and the process-wide display of an uncaught error).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace Halcyra::Platform {

// A native window: an HWND on Windows, an X11 window id on Linux. 0 means none.
using TWindowHandle = std::uintptr_t;

enum class TMessageBoxIcon { NoIcon, Information, Warning, Error };

enum class TKey { Other, Escape, F2, F3 };

// A window's frame: none (the saver covers the screen) or an ordinary sizeable one.
enum class TBorderStyle { None, Sizeable };

// What the main window reports to the system on the user-interface thread.
struct TWindowEvents {
    std::function<void(TKey key)> OnKeyDown;
    std::function<void(int x, int y)> OnMouseMove;
    std::function<void()> OnMouseDown;
    std::function<void()> OnActivate;
    std::function<void()> OnDeactivate;
    // Called when the loop has nothing to do; set done to false to be called again at once.
    std::function<void(bool &done)> OnIdle;
    // The desktop asks the window to close (its close button, the session ending). When set, the
    // handler decides and the window stays until it is closed; when not, the window closes.
    std::function<void()> OnCloseRequest;
};

enum class TMainWindowKind {
    FullScreen, // the saver's borderless black window covering the screen
    Dialog      // an ordinary top-level window with the application title
};

// No display could be opened for the program's windows; the text says what DISPLAY named. The
// program reports it and ends with exit code 1.
class ENoDisplay : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class IApplication {
public:
    virtual ~IApplication() = default;

    // Prepares the message loop; the saver and configuration modes call it once before any window.
    virtual void Initialize() = 0;
    // The title shown for the application; until set, the program's file name without extension.
    virtual void SetTitle(const std::string &title) = 0;
    virtual std::string GetTitle() const = 0;

    // Creates the main window; Run returns when it closes. Its handle, or 0 when it could not be made;
    // throws ENoDisplay when there is no display to make it on.
    virtual TWindowHandle CreateMainWindow(TMainWindowKind kind, const TWindowEvents &events) = 0;
    // Closes the main window, which ends Run.
    virtual void CloseMainWindow() = 0;
    // Shows or hides the main window.
    virtual void SetMainWindowVisible(bool visible) = 0;
    // Gives the main window a frame or none.
    virtual void SetMainWindowBorderStyle(TBorderStyle style) = 0;
    // The main window's outer size in pixels.
    virtual void SetMainWindowSize(int width, int height) = 0;
    // Runs the message loop until the main window closes.
    virtual void Run() = 0;

    // From now on the termination signals (SIGTERM, SIGINT, SIGHUP) close the main window as the
    // desktop's close request does, and end the process at once while there is none. Called first
    // by the program, before any thread is started.
    virtual void EndOnTerminationSignals() {}

    // Whether the system runs display programs: screensavers drawing into a window a daemon made.
    virtual bool HostsDisplayPrograms() const { return false; }
    // From now on the main window is that window (0: the screen's root window): the saver's window
    // is not made, input is not taken and the cursor is left alone. The window is gone when it is
    // destroyed. Throws std::runtime_error saying why when it cannot be used (ENoDisplay when there is
    // no display).
    virtual void HostMainWindowIn(TWindowHandle window);
    // Handles every message already waiting, then returns; safe to call on the UI thread at any time.
    virtual void ProcessMessages() = 0;

    // Runs work on the user-interface thread and waits until it has run, like a thread's Synchronize.
    // Returns false without running it when the loop has ended and will not run it.
    virtual bool Synchronize(const std::function<void()> &work) = 0;

    // Shows (true) or hides (false) the mouse cursor over the application's windows, counting like
    // ShowCursor; returns the new count.
    virtual int ShowCursor(bool show) = 0;

    // A modal message box with one OK button, owned by the given window (0: none). Where no desktop
    // can show it, the caption and text go to the standard error stream instead.
    virtual void ShowMessageBox(TWindowHandle owner, const std::string &text, const std::string &caption,
                            TMessageBoxIcon icon) = 0;
};

inline void IApplication::HostMainWindowIn(TWindowHandle)
{
    throw std::runtime_error("this system has no display programs");
}

// The application object of this process, created on first use by the user-interface thread.
IApplication &Application();

} // namespace Halcyra::Platform
