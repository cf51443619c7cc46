// The SDL presenter. Frames arrive on the frame timer's thread and, at enabling, on the user-
// interface thread. An X11 window is painted by the frame painter under the presenter's lock on
// whichever thread presents. For another window the timer thread only copies its frame and posts an
// event; the user-interface thread copies it into the window's surface and shows it, so every SDL
// video call is made on the thread that made the window, and the frame thread never waits for the
// user-interface thread (only for a copy under the lock).
#include "platform/linux/SdlPresenter.h"

#include "platform/linux/LinuxMonitors.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace Halcyra::Platform {

namespace {

// The SDL window whose X11 window id or SDL window id is the handle; SDL numbers its windows from 1.
SDL_Window *FindWindow(TWindowHandle handle)
{
    if (handle == 0)
        return nullptr;
    for (Uint32 id = 1; id < 256; ++id) {
        SDL_Window *window = SDL_GetWindowFromID(id);
        if (window == nullptr)
            continue;
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11 &&
            static_cast<TWindowHandle>(info.info.x11.window) == handle)
            return window;
        if (static_cast<TWindowHandle>(id) == handle)
            return window;
    }
    return nullptr;
}

} // namespace

void ApplySdlHints()
{
    // The saver window's framebuffer is SDL's software one: each frame is uploaded from memory
    // anyway, and no OpenGL driver is needed (an X server without one, such as Xvfb, works too).
    // SDL decides this once per process, when the first window surface is made.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

SDL_Window *CreateCoveringWindow(const std::string &title, const TRect &area)
{
    SDL_Window *window = SDL_CreateWindow(title.c_str(), area.Left, area.Top, area.Width(), area.Height(),
                                          SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SHOWN);
    if (window == nullptr)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
        // The X server paints it black wherever it shows: no picture of the window's size is kept
        // for that (SDL's own window surface would be one). Synced, not flushed: the frame painter
        // draws over its own connection, and a clear the server took later would wipe its frame.
        XSetWindowBackground(info.info.x11.display, info.info.x11.window, 0);
        XClearWindow(info.info.x11.display, info.info.x11.window);
        XSync(info.info.x11.display, False);
    } else if (SDL_Surface *surface = SDL_GetWindowSurface(window)) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        SDL_UpdateWindowSurface(window);
    }
    return window;
}

TSdlPresenter::TSdlPresenter() : TSdlPresenter(std::make_unique<TRandrGamma>())
{
}

TSdlPresenter::TSdlPresenter(std::unique_ptr<IScreenGamma> gamma, TSdlPainting painting, TX11Scaling scaling)
    : FPainting(painting), FPainter(scaling), FGamma(std::move(gamma))
{
}

TSdlPresenter::~TSdlPresenter()
{
    Close();
    // SDL's video stays up for the rest of the process once started: the X libraries SDL loads
    // are unloaded when it quits, and the application's own SDL use ends it with SDL_Quit.
}

bool TSdlPresenter::Open(TWindowHandle handle, int width, int height)
{
    std::lock_guard lock(FMutex);
    Release();
    FOwnerThread = std::this_thread::get_id();
    if (!FVideoStarted) {
        ApplySdlHints();
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        FVideoStarted = true;
    }
    FWindow = FindWindow(handle);
    FOwnWindow = FWindow == nullptr;
    if (FOwnWindow) {
        const auto monitors = DesktopMonitors();
        FWindow = CreateCoveringWindow("", monitors.empty() ? TRect{0, 0, width, height} : monitors.front());
        if (FWindow == nullptr)
            return false;
    } else {
        SDL_SetWindowFullscreen(FWindow, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    FWidth = width;
    FHeight = height;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (FPainting == TSdlPainting::PainterWhereX11 && SDL_GetWindowWMInfo(FWindow, &info) && info.subsystem == SDL_SYSWM_X11 &&
        FPainter.Open(static_cast<unsigned long>(info.info.x11.window), width, height)) {
        FGammaCaptured = FGamma->Capture();
        return true;
    }
    auto frame = Imaging::TBitmap32::Create(width, height);
    if (!frame) {
        Release();
        return false;
    }
    FFrame = std::move(*frame);
    FFrameSurface = SDL_CreateRGBSurfaceWithFormatFrom(FFrame->Row(0), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (FFrameSurface == nullptr) {
        Release();
        return false;
    }
    Show();
    // The ramps in effect now are given back at Close; a screen without gamma has none.
    FGammaCaptured = FGamma->Capture();
    return true;
}

void TSdlPresenter::Present(const Imaging::TBitmap32 &frame)
{
    std::lock_guard lock(FMutex);
    if (FPainter.IsOpen()) {
        FPainter.Paint(frame);
        return;
    }
    if (FFrameSurface == nullptr || frame.Width() != FWidth || frame.Height() != FHeight)
        return;
    // Same size: the copy reuses the bitmap's memory, which the frame surface points into. Only the
    // newest frame matters: one that was not shown yet is overwritten.
    *FFrame = frame;
    if (std::this_thread::get_id() == FOwnerThread) {
        Show();
        return;
    }
    if (FFrameWaiting)
        return;
    FFrameWaiting = true;
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = FrameWaitingCode;
    event.user.data1 = this;
    if (SDL_PushEvent(&event) != 1)
        FFrameWaiting = false;
}

bool TSdlPresenter::HandleEvent(const SDL_Event &event)
{
    if (event.type != SDL_USEREVENT || event.user.code != FrameWaitingCode)
        return false;
    static_cast<TSdlPresenter *>(event.user.data1)->PresentWaiting();
    return true;
}

void TSdlPresenter::PresentWaiting()
{
    std::lock_guard lock(FMutex);
    if (!FFrameWaiting || FFrameSurface == nullptr)
        return;
    FFrameWaiting = false;
    Show();
}

void TSdlPresenter::Show()
{
    SDL_Surface *window = SDL_GetWindowSurface(FWindow);
    if (window == nullptr)
        return;
    const TRect target = LetterboxRect(window->w, window->h, FWidth, FHeight);
    SDL_Rect destination{target.Left, target.Top, target.Width(), target.Height()};
    if (target.Width() != window->w || target.Height() != window->h)
        SDL_FillRect(window, nullptr, SDL_MapRGB(window->format, 0, 0, 0));
    if (target.Width() == FWidth && target.Height() == FHeight)
        SDL_BlitSurface(FFrameSurface, nullptr, window, &destination);
    else
        SDL_BlitScaled(FFrameSurface, nullptr, window, &destination);
    SDL_UpdateWindowSurface(FWindow);
}

bool TSdlPresenter::SupportsGamma()
{
    std::lock_guard lock(FMutex);
    return FWindow != nullptr && FGammaCaptured;
}

bool TSdlPresenter::SetGammaRamp(const TGammaRamp &ramp)
{
    std::lock_guard lock(FMutex);
    if (FWindow == nullptr || !FGammaCaptured)
        return false;
    return FGamma->Apply(ramp);
}

std::optional<Imaging::TBitmap32> TSdlPresenter::ReadBack()
{
    std::lock_guard lock(FMutex);
    if (FPainter.IsOpen())
        return FPainter.ReadBack();
    SDL_Surface *window = FFrameSurface != nullptr ? SDL_GetWindowSurface(FWindow) : nullptr;
    if (window == nullptr)
        return std::nullopt;
    const int width = window->w;
    const int height = window->h;
    auto bitmap = Imaging::TBitmap32::Create(width, height);
    if (!bitmap)
        return std::nullopt;
    if (SDL_ConvertPixels(width, height, window->format->format, window->pixels, window->pitch, SDL_PIXELFORMAT_RGB888,
                          bitmap->Row(0), width * 4) != 0)
        return std::nullopt;
    for (int y = 0; y < height; ++y) {
        std::uint32_t *row = bitmap->Row(y);
        for (int x = 0; x < width; ++x)
            row[x] &= 0x00FFFFFFu;
    }
    return bitmap;
}

void TSdlPresenter::Close()
{
    std::lock_guard lock(FMutex);
    Release();
}

void TSdlPresenter::Release()
{
    if (FGammaCaptured)
        FGamma->Restore();
    FGammaCaptured = false;
    FPainter.Close();
    FFrameWaiting = false;
    if (FFrameSurface != nullptr)
        SDL_FreeSurface(FFrameSurface);
    FFrameSurface = nullptr;
    FFrame.reset();
    if (FWindow != nullptr && FOwnWindow)
        SDL_DestroyWindow(FWindow);
    FWindow = nullptr;
    FOwnWindow = false;
}

} // namespace Halcyra::Platform
