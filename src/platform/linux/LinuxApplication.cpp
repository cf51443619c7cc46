// Linux backend of the application: an SDL2 window and event loop for the full-screen saver (the
// scene on the primary monitor, a black window over every other, input on any of them counting), a
// GTK 3 window and main loop for dialogs, GTK message boxes (standard error when there is no
// desktop), and for the display programs a host's window with a loop that sleeps until woken. The
// termination signals are taken on a thread of their own; the saver's window runs only while it can
// be seen.
#include "platform/Application.h"
#include "platform/UiWorkQueue.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/LinuxMonitors.h"
#include "platform/linux/ScreenGamma.h"
#include "platform/linux/SdlPresenter.h"
#include "platform/linux/X11WindowPresenter.h"
#include "platform/linux/X11WindowSight.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace Halcyra::Platform {
namespace {

TKey KeyOf(SDL_Keycode key)
{
    switch (key) {
    case SDLK_ESCAPE: return TKey::Escape;
    case SDLK_F2: return TKey::F2;
    case SDLK_F3: return TKey::F3;
    default: return TKey::Other;
    }
}

std::string ProgramName()
{
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("halcyra-screensaver") : program.stem().string();
}

// When the X server goes away (the session ends), there is nothing left to show or to save: the
// screen's ramps are given back (through a connection of their own, which a killed client connection
// does not take along) and the process ends at once. Xlib's own handler exits through the static
// destructors, which talk to the broken connection again.
int LostXServer(Display *)
{
    RestoreGammaInEmergency();
    _exit(0);
}

// Runs its work when the scope is left, by return or by exception.
class TOnScopeExit {
public:
    explicit TOnScopeExit(std::function<void()> work) : FWork(std::move(work)) {}
    ~TOnScopeExit() { FWork(); }
    TOnScopeExit(const TOnScopeExit &) = delete;
    TOnScopeExit &operator=(const TOnScopeExit &) = delete;

private:
    std::function<void()> FWork;
};

class TLinuxApplication;

// The application the signal thread hands signals to, cleared when it is destroyed; the thread
// outlives it (it ends with the process), so both live in static storage that is never destroyed.
std::mutex GSignalTargetLock;
TLinuxApplication *GSignalTarget = nullptr;

sigset_t TerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    return signals;
}

class TLinuxApplication final : public IApplication {
public:
    // Three threads use Xlib (the user-interface thread, the window's sight and a host window's
    // presenter): Xlib must know before its first call. The application is made first in main.
    TLinuxApplication() : FQueue([this] { Wake(); }) { XInitThreads(); }

    ~TLinuxApplication() override
    {
        {
            std::lock_guard lock(GSignalTargetLock);
            GSignalTarget = nullptr;
        }
        FQueue.Close();
        DestroyWindows();
        if (FSdlStarted)
            SDL_Quit();
        if (FHostConnection != nullptr)
            XCloseDisplay(FHostConnection);
        if (FWakeEvent >= 0)
            close(FWakeEvent);
    }

    void EndOnTerminationSignals() override
    {
        if (FSignalsTaken.exchange(true))
            return;
        // Blocked in every thread (all start later and inherit it) and taken by one that waits for
        // them: the loop ends the run in order, the same way as a close request.
        const sigset_t signals = TerminationSignals();
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);
        {
            std::lock_guard lock(GSignalTargetLock);
            GSignalTarget = this;
        }
        std::thread([signals] {
            bool handedOver = false;
            for (;;) {
                int taken = 0;
                if (sigwait(&signals, &taken) != 0)
                    continue;
                if (!handedOver && TakeSignal()) {
                    handedOver = true;
                    continue;
                }
                // No window whose run could end in order, or a second signal while that run still
                // ends: the signal ends the process as it would have, once the screen's ramps are
                // given back.
                RestoreGammaInEmergency();
                std::signal(taken, SIG_DFL);
                sigset_t one;
                sigemptyset(&one);
                sigaddset(&one, taken);
                pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
                raise(taken);
            }
        }).detach();
    }

    // Hands a signal to the loop; false when no loop can end the run in order.
    static bool TakeSignal()
    {
        std::lock_guard lock(GSignalTargetLock);
        if (GSignalTarget == nullptr || !GSignalTarget->FLoopCanClose)
            return false;
        GSignalTarget->FSignalled = true;
        GSignalTarget->Wake();
        return true;
    }

    bool HostsDisplayPrograms() const override { return true; }

    void HostMainWindowIn(TWindowHandle window) override
    {
        Display *connection = XOpenDisplay(nullptr);
        if (connection == nullptr)
            throw NoDisplayError();
        // A host's window may go away at any moment: the errors that follow must not end the program.
        CountX11Errors();
        XSetIOErrorHandler(LostXServer);
        const Window target = window != 0 ? static_cast<Window>(window) : DefaultRootWindow(connection);
        XWindowAttributes attributes;
        bool exists = false;
        {
            TX11ErrorTrap trap(connection);
            exists = XGetWindowAttributes(connection, target, &attributes) != 0 && !trap.Failed();
        }
        if (!exists) {
            XCloseDisplay(connection);
            char text[64];
            std::snprintf(text, sizeof text, "no window has the id 0x%lx", static_cast<unsigned long>(target));
            throw std::runtime_error(text);
        }
        FHostConnection = connection;
        FHostWindow = target;
        SetHostedWindow(target);
    }

    void Initialize() override { FQueue.BindToCurrentThread(); }

    void SetTitle(const std::string &title) override { FTitle = title; }
    std::string GetTitle() const override { return FTitle.empty() ? ProgramName() : FTitle; }

    TWindowHandle CreateMainWindow(TMainWindowKind kind, const TWindowEvents &events) override
    {
        FEvents = events;
        FClosed = false;
        TWindowHandle window = 0;
        if (kind == TMainWindowKind::FullScreen && FHostWindow != 0)
            window = TakeHostWindow();
        else if (kind == TMainWindowKind::FullScreen)
            window = CreateSdlWindow();
        else
            window = CreateGtkWindow();
        FLoopCanClose = window != 0;
        return window;
    }

    void CloseMainWindow() override
    {
        FClosed = true;
        if (FGtkWindow != nullptr && FGtkLoopRunning)
            gtk_main_quit();
    }

    void SetMainWindowVisible(bool visible) override
    {
        if (FSdlWindow != nullptr)
            (visible ? SDL_ShowWindow : SDL_HideWindow)(FSdlWindow);
        for (const TCoverWindow &cover : FCoverWindows)
            (visible ? SDL_ShowWindow : SDL_HideWindow)(cover.Window);
        if (FGtkWindow != nullptr)
            (visible ? gtk_widget_show : gtk_widget_hide)(FGtkWindow);
    }

    void SetMainWindowBorderStyle(TBorderStyle style) override
    {
        const bool sizeable = style == TBorderStyle::Sizeable;
        if (FSdlWindow != nullptr) {
            // A frame belongs to a window that no longer covers the screen.
            if (sizeable)
                SDL_SetWindowFullscreen(FSdlWindow, 0);
            SDL_SetWindowBordered(FSdlWindow, sizeable ? SDL_TRUE : SDL_FALSE);
            SDL_SetWindowResizable(FSdlWindow, sizeable ? SDL_TRUE : SDL_FALSE);
        }
        if (FGtkWindow != nullptr) {
            gtk_window_set_decorated(GTK_WINDOW(FGtkWindow), sizeable);
            gtk_window_set_resizable(GTK_WINDOW(FGtkWindow), sizeable);
        }
    }

    void SetMainWindowSize(int width, int height) override
    {
        if (FSdlWindow != nullptr)
            SDL_SetWindowSize(FSdlWindow, width, height);
        if (FGtkWindow != nullptr)
            gtk_window_resize(GTK_WINDOW(FGtkWindow), width, height);
    }

    void Run() override
    {
        // However the loop ends, a handler's error included, the window goes before anything else is
        // shown, and a termination signal no longer waits for a loop that has stopped.
        const TOnScopeExit endOfLoop([this] {
            FLoopCanClose = false;
            FQueue.Close();
            DestroyWindows();
        });
        if (FHosting) {
            RunHosted();
        } else if (FGtkWindow != nullptr) {
            FGtkLoopRunning = true;
            if (!FClosed)
                gtk_main();
            FGtkLoopRunning = false;
        } else if (FSdlWindow != nullptr) {
            while (!FClosed) {
                bool idleDone = true;
                if (FEvents.OnIdle)
                    FEvents.OnIdle(idleDone);
                // Everything that concerns the loop wakes it with an event; GTK's windows, when the
                // process has any, are looked at between waits.
                const int wait = gdk_display_get_default() != nullptr ? 50 : -1;
                SDL_Event event;
                if (idleDone ? SDL_WaitEventTimeout(&event, wait) : SDL_PollEvent(&event))
                    HandleSdlEvent(event);
                ProcessMessages();
            }
        }
    }

    void ProcessMessages() override
    {
        ApplyOutsideNews();
        if (FSdlWindow != nullptr) {
            SDL_Event event;
            while (!FClosed && SDL_PollEvent(&event))
                HandleSdlEvent(event);
        }
        // Any GTK window of the process (the settings dialog's too) keeps painting while a caller
        // waits here, as the HTTP client does.
        if (FGtkWindow != nullptr || gdk_display_get_default() != nullptr) {
            while (gtk_events_pending())
                gtk_main_iteration_do(FALSE);
        }
        FQueue.RunPending();
    }

    bool Synchronize(const std::function<void()> &work) override { return FQueue.RunOnUiThread(work); }

    int ShowCursor(bool show) override
    {
        FCursorCount += show ? 1 : -1;
        if (FSdlStarted && !FHosting)
            SDL_ShowCursor(FCursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
        return FCursorCount;
    }

    void ShowMessageBox(TWindowHandle, const std::string &text, const std::string &caption, TMessageBoxIcon icon) override
    {
        if (!StartGtk()) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
            return;
        }
        GtkMessageType type = GTK_MESSAGE_OTHER;
        switch (icon) {
        case TMessageBoxIcon::Information: type = GTK_MESSAGE_INFO; break;
        case TMessageBoxIcon::Warning: type = GTK_MESSAGE_WARNING; break;
        case TMessageBoxIcon::Error: type = GTK_MESSAGE_ERROR; break;
        case TMessageBoxIcon::NoIcon: break;
        }
        GtkWidget *dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
        gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
    }

private:
    TWindowHandle TakeHostWindow()
    {
        if (FWakeEvent < 0)
            FWakeEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        FHosting = true;
        Display *connection = std::exchange(FHostConnection, nullptr);
        if (connection != nullptr)
            FollowSight(connection, FHostWindow);
        return FHostWindow;
    }

    // The loop of a display program: it sleeps until something wakes it (work from another thread,
    // a change of the window's sight, a signal).
    void RunHosted()
    {
        while (!FClosed) {
            ProcessMessages();
            if (FClosed)
                break;
            pollfd wait{FWakeEvent, POLLIN, 0};
            if (poll(&wait, 1, -1) > 0) {
                std::uint64_t count = 0;
                if (read(FWakeEvent, &count, sizeof count) < 0) {
                    // Already drained: nothing to do.
                }
            }
        }
    }

    // Follows whether the main window can be seen, on a connection of its own (taken).
    void FollowSight(Display *connection, Window window)
    {
        auto monitorOff = TX11WindowSight::DpmsProbe(connection);
        FSight = std::make_unique<TX11WindowSight>(connection, window, [this] { Wake(); }, std::move(monitorOff));
    }

    // What other threads reported since the last look: a termination signal, the main window's sight.
    void ApplyOutsideNews()
    {
        if (FSignalled.exchange(false))
            CloseRequested();
        if (FSight == nullptr)
            return;
        const TWindowSight sight = FSight->Sight();
        FSeen = sight == TWindowSight::Seen;
        UpdateActivation();
        // A host's window that was destroyed ends the run, once.
        if (sight == TWindowSight::Gone && !FGoneHandled) {
            FGoneHandled = true;
            CloseRequested();
        }
    }

    // The scene runs while its window can be seen and, when it is the program's own, has the focus.
    void UpdateActivation()
    {
        const bool active = FSeen && (FHosting || FFocused);
        if (active == FActive)
            return;
        FActive = active;
        if (active && FEvents.OnActivate)
            FEvents.OnActivate();
        if (!active && FEvents.OnDeactivate)
            FEvents.OnDeactivate();
    }

    bool StartGtk()
    {
        if (!FGtkTried) {
            FGtkTried = true;
            FGtkStarted = StartGtkOnX11();
        }
        return FGtkStarted;
    }

    TWindowHandle CreateSdlWindow()
    {
        if (!FSdlStarted) {
            ApplySdlHints();
            if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
                throw NoDisplayError();
            // Without a desktop SDL falls back to drivers that show nothing; a saver nobody can see
            // or stop must not run.
            const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
            if (driver == "offscreen" || driver == "dummy" || driver == "evdev") {
                SDL_Quit();
                throw NoDisplayError();
            }
            if (driver == "x11")
                XSetIOErrorHandler(LostXServer);
            FSdlStarted = true;
            FSdlWakeEvent = SDL_RegisterEvents(1);
        }
        // Each window is made over its monitor: a window manager makes it cover that monitor, and
        // without one it does so itself. The other monitors get black windows first, so that the
        // scene's, made last, has the keyboard.
        std::vector<TRect> monitors = DesktopMonitors();
        if (monitors.empty())
            monitors.push_back(TRect{0, 0, 1024, 768});
        for (std::size_t i = 1; i < monitors.size(); ++i)
            if (SDL_Window *cover = CreateCoveringWindow(GetTitle(), monitors[i]))
                FCoverWindows.push_back(TCoverWindow{cover, SDL_GetWindowID(cover), monitors[i].Left, monitors[i].Top});
        FSdlWindow = CreateCoveringWindow(GetTitle(), monitors.front());
        if (FSdlWindow == nullptr)
            return 0;
        FSdlWindowLeft = monitors.front().Left;
        FSdlWindowTop = monitors.front().Top;
        SDL_RaiseWindow(FSdlWindow);
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(FSdlWindow, &info) && info.subsystem == SDL_SYSWM_X11) {
            if (Display *connection = XOpenDisplay(nullptr))
                FollowSight(connection, info.info.x11.window);
            return static_cast<TWindowHandle>(info.info.x11.window);
        }
        return static_cast<TWindowHandle>(SDL_GetWindowID(FSdlWindow));
    }

    TWindowHandle CreateGtkWindow()
    {
        if (!StartGtk())
            throw NoDisplayError();
        FGtkWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(FGtkWindow), GetTitle().c_str());
        gtk_window_set_default_size(GTK_WINDOW(FGtkWindow), 560, 420);
        g_signal_connect(FGtkWindow, "delete-event", G_CALLBACK(+[](GtkWidget *, GdkEvent *, gpointer self) -> gboolean {
                             static_cast<TLinuxApplication *>(self)->CloseRequested();
                             return TRUE;
                         }),
                         this);
        gtk_widget_show_all(FGtkWindow);
        return static_cast<TWindowHandle>(gdk_x11_window_get_xid(gtk_widget_get_window(FGtkWindow)));
    }

    void DestroyWindows()
    {
        FSight.reset();
        if (FSdlWindow != nullptr) {
            SDL_DestroyWindow(FSdlWindow);
            FSdlWindow = nullptr;
        }
        for (const TCoverWindow &cover : FCoverWindows)
            SDL_DestroyWindow(cover.Window);
        FCoverWindows.clear();
        if (FGtkWindow != nullptr) {
            gtk_widget_destroy(FGtkWindow);
            FGtkWindow = nullptr;
            while (gtk_events_pending())
                gtk_main_iteration_do(FALSE);
        }
    }

    void Wake()
    {
        if (FWakeEvent >= 0) {
            const std::uint64_t one = 1;
            if (write(FWakeEvent, &one, sizeof one) < 0) {
                // The count is already high: the loop is awake anyway.
            }
        }
        if (FSdlStarted) {
            SDL_Event event{};
            event.type = FSdlWakeEvent;
            SDL_PushEvent(&event);
        }
        if (FGtkStarted) {
            g_idle_add(+[](gpointer self) -> gboolean {
                static_cast<TLinuxApplication *>(self)->FQueue.RunPending();
                return G_SOURCE_REMOVE;
            },
                       this);
        }
    }

    // The desktop asks the main window to close: the window's owner decides when it has a say.
    void CloseRequested()
    {
        if (FEvents.OnCloseRequest)
            FEvents.OnCloseRequest();
        else
            CloseMainWindow();
    }

    void HandleSdlEvent(const SDL_Event &event)
    {
        if (TSdlPresenter::HandleEvent(event))
            return;
        switch (event.type) {
        case SDL_QUIT: CloseRequested(); break;
        case SDL_KEYDOWN:
            if (FEvents.OnKeyDown)
                FEvents.OnKeyDown(KeyOf(event.key.keysym.sym));
            break;
        case SDL_MOUSEMOTION:
            // On the desktop's coordinates, so that a move from one monitor's window to another's
            // counts as the distance it is: each window lies where its monitor does.
            if (FEvents.OnMouseMove) {
                int left = FSdlWindowLeft, top = FSdlWindowTop;
                for (const TCoverWindow &cover : FCoverWindows)
                    if (cover.Id == event.motion.windowID) {
                        left = cover.Left;
                        top = cover.Top;
                    }
                FEvents.OnMouseMove(left + event.motion.x, top + event.motion.y);
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (FEvents.OnMouseDown)
                FEvents.OnMouseDown();
            break;
        case SDL_WINDOWEVENT:
            // The desktop asked the window to close (its close button, or the session ending).
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                CloseRequested();
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED || event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                // Any of the saver's windows, the black ones too: the focus moving from one to
                // another is a loss followed at once by a gain.
                FFocused = event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
                // Each gain and loss is told, as before: the scene's own state decides what changes.
                FActive = !FFocused;
                UpdateActivation();
            }
            break;
        default: break;
        }
    }

    TUiWorkQueue FQueue;
    std::string FTitle;
    TWindowEvents FEvents;
    SDL_Window *FSdlWindow = nullptr;
    // Where the scene's window lies on the desktop, and the black windows over the monitors other
    // than the primary with theirs.
    int FSdlWindowLeft = 0;
    int FSdlWindowTop = 0;
    struct TCoverWindow {
        SDL_Window *Window;
        Uint32 Id;
        int Left;
        int Top;
    };
    std::vector<TCoverWindow> FCoverWindows;
    GtkWidget *FGtkWindow = nullptr;
    Uint32 FSdlWakeEvent = 0;
    // Wakes the display program's loop; -1 until it hosts.
    int FWakeEvent = -1;
    // The host's window and, until the main window takes it, the connection that checked it.
    Window FHostWindow = 0;
    Display *FHostConnection = nullptr;
    bool FHosting = false;
    std::unique_ptr<TX11WindowSight> FSight;
    bool FSeen = true;
    bool FFocused = true;
    bool FActive = true;
    bool FGoneHandled = false;
    std::atomic<bool> FSignalsTaken = false;
    std::atomic<bool> FSignalled = false;
    // Whether a main window exists whose loop ends the run in order when a signal asks.
    std::atomic<bool> FLoopCanClose = false;
    int FCursorCount = 0;
    std::atomic<bool> FSdlStarted = false;
    bool FGtkTried = false;
    std::atomic<bool> FGtkStarted = false;
    bool FGtkLoopRunning = false;
    bool FClosed = false;
};

} // namespace

IApplication &Application()
{
    static TLinuxApplication application;
    return application;
}

} // namespace Halcyra::Platform
