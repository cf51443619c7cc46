// The presenter of the Linux display: frames of the soft primary surface shown in an SDL2 window,
// scaled to the window with their aspect kept (black bars where it differs), and the brightness
// through the screen's gamma ramps. An X11 window gets its frames from the frame painter, on its own
// X connection, straight from the thread that flips: no SDL call is made for them. A window of
// another video driver gets them through its SDL surface: SDL's video calls stay on the thread that
// opened the presenter (the user-interface thread), so a frame flipped on another thread is copied
// and handed to that thread's event loop, which shows it.
#pragma once

#include "platform/linux/ScreenGamma.h"
#include "platform/linux/X11FramePainter.h"
#include "platform/soft/SoftDisplay.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

union SDL_Event;
struct SDL_Surface;
struct SDL_Window;

namespace Halcyra::Platform {

// Sets the program's SDL hints; called before SDL makes a window, by whichever part makes the first.
void ApplySdlHints();

// A window over the given part of the desktop (a monitor), full screen for the window manager and
// black until something is drawn in it; null when SDL refuses it.
SDL_Window *CreateCoveringWindow(const std::string &title, const TRect &area);

// How an SDL window gets its frames: through the frame painter where it is an X11 window, or always
// through its SDL surface (the way of the other video drivers, which the tests choose to reach it).
enum class TSdlPainting { PainterWhereX11, WindowSurface };

class TSdlPresenter final : public ISoftPresenter {
public:
    TSdlPresenter();
    explicit TSdlPresenter(std::unique_ptr<IScreenGamma> gamma, TSdlPainting painting = TSdlPainting::PainterWhereX11,
                           TX11Scaling scaling = TX11Scaling::ServerWhereOffered);
    ~TSdlPresenter() override;
    TSdlPresenter(const TSdlPresenter &) = delete;
    TSdlPresenter &operator=(const TSdlPresenter &) = delete;

    // Takes the SDL window whose X11 window (or SDL window id) is the handle, or opens a full-screen
    // window of its own on the primary monitor when the handle names none.
    bool Open(TWindowHandle window, int width, int height) override;
    void Present(const Imaging::TBitmap32 &frame) override;
    bool SupportsGamma() override;
    bool SetGammaRamp(const TGammaRamp &ramp) override;
    void Close() override;

    // The SDL user event code of a frame waiting to be shown.
    static constexpr std::int32_t FrameWaitingCode = 0x48465257;
    // Shows the frame a presenter's event announces; true when the event was one. Called by the
    // event loop of the thread that opened the presenter.
    static bool HandleEvent(const SDL_Event &event);
    // Shows the frame waiting, if any; on the thread that opened the presenter.
    void PresentWaiting();

    // What the window shows now, read back from the server or its surface; for the tests.
    std::optional<Imaging::TBitmap32> ReadBack();
    // Whether the presenter opened a window of its own.
    bool OwnsWindow() const { return FOwnWindow; }
    // Whether the frames go through the frame painter.
    bool Painted() const { return FPainter.IsOpen(); }

private:
    void Release();
    // Copies the last frame into the window's surface and shows it; FMutex held.
    void Show();

    std::mutex FMutex;
    TSdlPainting FPainting;
    TX11FramePainter FPainter;
    std::thread::id FOwnerThread;
    // For a window painted through its surface: the last frame presented, an SDL surface over its
    // pixels, and whether it still waits to be shown.
    std::optional<Imaging::TBitmap32> FFrame;
    SDL_Surface *FFrameSurface = nullptr;
    bool FFrameWaiting = false;
    bool FVideoStarted = false;
    SDL_Window *FWindow = nullptr;
    bool FOwnWindow = false;
    int FWidth = 0;
    int FHeight = 0;
    std::unique_ptr<IScreenGamma> FGamma;
    // Whether the screen's ramps were remembered at open, to be given back at close.
    bool FGammaCaptured = false;
};

} // namespace Halcyra::Platform
