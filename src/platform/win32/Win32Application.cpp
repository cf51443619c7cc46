// Windows backend of the application: a window class, the message loop, a hidden window that
// receives work posted from other threads, and MessageBoxA.
#include "platform/Application.h"
#include "platform/UiWorkQueue.h"

#include <windows.h>

#include <filesystem>

namespace Halcyra::Platform {
namespace {

constexpr UINT WorkPosted = WM_APP + 1;
constexpr const char *MainWindowClass = "HalcyraMainWindow";
constexpr const char *UtilityWindowClass = "HalcyraUtilityWindow";

TKey KeyOf(WPARAM key)
{
    switch (key) {
    case VK_ESCAPE: return TKey::Escape;
    case VK_F2: return TKey::F2;
    case VK_F3: return TKey::F3;
    default: return TKey::Other;
    }
}

class TWin32Application final : public IApplication {
public:
    TWin32Application() : FQueue([this] { Wake(); }) {}

    ~TWin32Application() override
    {
        FQueue.Close();
        if (FUtilityWindow != nullptr)
            DestroyWindow(FUtilityWindow);
    }

    void Initialize() override
    {
        FQueue.BindToCurrentThread();
        if (FUtilityWindow != nullptr)
            return;
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA utility{};
        utility.lpfnWndProc = UtilityProcedure;
        utility.hInstance = instance;
        utility.lpszClassName = UtilityWindowClass;
        RegisterClassA(&utility);
        WNDCLASSA main{};
        main.lpfnWndProc = MainProcedure;
        main.hInstance = instance;
        main.hCursor = LoadCursor(nullptr, IDC_ARROW);
        main.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        main.lpszClassName = MainWindowClass;
        RegisterClassA(&main);
        FUtilityWindow = CreateWindowExA(0, UtilityWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
        SetWindowLongPtrA(FUtilityWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    void SetTitle(const std::string &title) override { FTitle = title; }

    std::string GetTitle() const override
    {
        if (!FTitle.empty())
            return FTitle;
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        return std::filesystem::path(path).stem().string();
    }

    TWindowHandle CreateMainWindow(TMainWindowKind kind, const TWindowEvents &events) override
    {
        Initialize();
        FEvents = events;
        HINSTANCE instance = GetModuleHandleA(nullptr);
        if (kind == TMainWindowKind::FullScreen) {
            FMainWindow = CreateWindowExA(WS_EX_TOPMOST, MainWindowClass, GetTitle().c_str(), WS_POPUP | WS_VISIBLE, 0, 0,
                                          GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                          instance, nullptr);
        } else {
            FMainWindow = CreateWindowExA(0, MainWindowClass, GetTitle().c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                          CW_USEDEFAULT, CW_USEDEFAULT, 560, 420, nullptr, nullptr, instance, nullptr);
        }
        if (FMainWindow != nullptr)
            SetWindowLongPtrA(FMainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return reinterpret_cast<TWindowHandle>(FMainWindow);
    }

    void CloseMainWindow() override
    {
        if (FMainWindow != nullptr)
            DestroyWindow(FMainWindow);
    }

    void SetMainWindowVisible(bool visible) override
    {
        if (FMainWindow != nullptr)
            ShowWindow(FMainWindow, visible ? SW_SHOW : SW_HIDE);
    }

    void SetMainWindowBorderStyle(TBorderStyle style) override
    {
        if (FMainWindow == nullptr)
            return;
        const LONG_PTR visible = GetWindowLongPtrA(FMainWindow, GWL_STYLE) & WS_VISIBLE;
        const LONG_PTR frame = style == TBorderStyle::Sizeable ? WS_OVERLAPPEDWINDOW : WS_POPUP;
        SetWindowLongPtrA(FMainWindow, GWL_STYLE, frame | visible);
        SetWindowPos(FMainWindow, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }

    void SetMainWindowSize(int width, int height) override
    {
        if (FMainWindow != nullptr)
            SetWindowPos(FMainWindow, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Run() override
    {
        MSG message;
        while (FMainWindow != nullptr) {
            bool idleDone = true;
            if (FEvents.OnIdle && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
                FEvents.OnIdle(idleDone);
            if (!idleDone && !PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
                continue;
            if (GetMessageA(&message, nullptr, 0, 0) <= 0)
                break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        FQueue.Close();
    }

    void ProcessMessages() override
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        FQueue.RunPending();
    }

    bool Synchronize(const std::function<void()> &work) override { return FQueue.RunOnUiThread(work); }

    int ShowCursor(bool show) override { return ::ShowCursor(show ? TRUE : FALSE); }

    void ShowMessageBox(TWindowHandle owner, const std::string &text, const std::string &caption, TMessageBoxIcon icon) override
    {
        UINT style = MB_OK;
        switch (icon) {
        case TMessageBoxIcon::Information: style |= MB_ICONINFORMATION; break;
        case TMessageBoxIcon::Warning: style |= MB_ICONWARNING; break;
        case TMessageBoxIcon::Error: style |= MB_ICONSTOP; break;
        case TMessageBoxIcon::NoIcon: break;
        }
        MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), style);
    }

private:
    void Wake()
    {
        if (FUtilityWindow != nullptr)
            PostMessageA(FUtilityWindow, WorkPosted, 0, 0);
    }

    static LRESULT CALLBACK UtilityProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<TWin32Application *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WorkPosted && self != nullptr) {
            self->FQueue.RunPending();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *self = reinterpret_cast<TWin32Application *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        const TWindowEvents &events = self->FEvents;
        switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (events.OnKeyDown)
                events.OnKeyDown(KeyOf(wParam));
            return 0;
        case WM_MOUSEMOVE:
            if (events.OnMouseMove)
                events.OnMouseMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (events.OnMouseDown)
                events.OnMouseDown();
            return 0;
        case WM_ACTIVATEAPP:
            if (wParam ? static_cast<bool>(events.OnActivate) : static_cast<bool>(events.OnDeactivate))
                (wParam ? events.OnActivate : events.OnDeactivate)();
            return 0;
        case WM_CLOSE:
            // The desktop asks the window to close: the owner of the window decides.
            if (events.OnCloseRequest) {
                events.OnCloseRequest();
                return 0;
            }
            break;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            // The session ends without closing our windows first: end the run as a close would.
            if (wParam && events.OnCloseRequest)
                events.OnCloseRequest();
            return 0;
        case WM_DESTROY:
            self->FMainWindow = nullptr;
            return 0;
        default: break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    TUiWorkQueue FQueue;
    std::string FTitle;
    TWindowEvents FEvents;
    HWND FUtilityWindow = nullptr;
    HWND FMainWindow = nullptr;
};

} // namespace

IApplication &Application()
{
    static TWin32Application application;
    return application;
}

} // namespace Halcyra::Platform
