// Linux backend of the application: an SDL2 window and event loop for the full-screen saver, a GTK 3
// window and main loop for dialogs, GTK message boxes (standard error when there is no desktop).
#include "platform/Application.h"
#include "platform/UiWorkQueue.h"
#include "platform/linux/SdlPresenter.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

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

class TLinuxApplication final : public IApplication {
public:
    TLinuxApplication() : FQueue([this] { Wake(); }) {}

    ~TLinuxApplication() override
    {
        FQueue.Close();
        DestroyWindows();
        if (FSdlStarted)
            SDL_Quit();
    }

    void Initialize() override { FQueue.BindToCurrentThread(); }

    void SetTitle(const std::string &title) override { FTitle = title; }
    std::string GetTitle() const override { return FTitle.empty() ? ProgramName() : FTitle; }

    TWindowHandle CreateMainWindow(TMainWindowKind kind, const TWindowEvents &events) override
    {
        FEvents = events;
        FClosed = false;
        if (kind == TMainWindowKind::FullScreen)
            return CreateSdlWindow();
        return CreateGtkWindow();
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
        if (FGtkWindow != nullptr) {
            FGtkLoopRunning = true;
            if (!FClosed)
                gtk_main();
            FGtkLoopRunning = false;
        } else if (FSdlWindow != nullptr) {
            while (!FClosed) {
                bool idleDone = true;
                if (FEvents.OnIdle)
                    FEvents.OnIdle(idleDone);
                SDL_Event event;
                if (idleDone ? SDL_WaitEventTimeout(&event, 50) : SDL_PollEvent(&event))
                    HandleSdlEvent(event);
                ProcessMessages();
            }
        }
        FQueue.Close();
        DestroyWindows();
    }

    void ProcessMessages() override
    {
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
        if (FSdlStarted)
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
    bool StartGtk()
    {
        if (!FGtkTried) {
            FGtkTried = true;
            FGtkStarted = gtk_init_check(nullptr, nullptr);
        }
        return FGtkStarted;
    }

    TWindowHandle CreateSdlWindow()
    {
        if (!FSdlStarted) {
            ApplySdlHints();
            if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
                return 0;
            // Without a desktop SDL falls back to drivers that show nothing; a saver nobody can see
            // or stop must not run.
            const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
            if (driver == "offscreen" || driver == "dummy" || driver == "evdev") {
                SDL_Quit();
                return 0;
            }
            // When the X server goes away (the session ends), there is nothing left to show or to
            // save: end at once. Xlib's own handler exits through the static destructors, which
            // talk to the broken connection again.
            if (driver == "x11")
                XSetIOErrorHandler([](Display *) -> int { _exit(0); });
            FSdlStarted = true;
            FWakeEvent = SDL_RegisterEvents(1);
        }
        FSdlWindow = SDL_CreateWindow(GetTitle().c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1024, 768,
                                      SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN);
        if (FSdlWindow == nullptr)
            return 0;
        // Painted through the window's own surface: creating a renderer may recreate the window.
        if (SDL_Surface *surface = SDL_GetWindowSurface(FSdlWindow)) {
            SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
            SDL_UpdateWindowSurface(FSdlWindow);
        }
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(FSdlWindow, &info) && info.subsystem == SDL_SYSWM_X11)
            return static_cast<TWindowHandle>(info.info.x11.window);
        return static_cast<TWindowHandle>(SDL_GetWindowID(FSdlWindow));
    }

    TWindowHandle CreateGtkWindow()
    {
        if (!StartGtk())
            return 0;
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
        if (FSdlWindow != nullptr) {
            SDL_DestroyWindow(FSdlWindow);
            FSdlWindow = nullptr;
        }
        if (FGtkWindow != nullptr) {
            gtk_widget_destroy(FGtkWindow);
            FGtkWindow = nullptr;
            while (gtk_events_pending())
                gtk_main_iteration_do(FALSE);
        }
    }

    void Wake()
    {
        if (FSdlStarted) {
            SDL_Event event{};
            event.type = FWakeEvent;
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
            if (FEvents.OnMouseMove)
                FEvents.OnMouseMove(event.motion.x, event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (FEvents.OnMouseDown)
                FEvents.OnMouseDown();
            break;
        case SDL_WINDOWEVENT:
            // The desktop asked the window to close (its close button, or the session ending).
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                CloseRequested();
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED && FEvents.OnActivate)
                FEvents.OnActivate();
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && FEvents.OnDeactivate)
                FEvents.OnDeactivate();
            break;
        default: break;
        }
    }

    TUiWorkQueue FQueue;
    std::string FTitle;
    TWindowEvents FEvents;
    SDL_Window *FSdlWindow = nullptr;
    GtkWidget *FGtkWindow = nullptr;
    Uint32 FWakeEvent = 0;
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
