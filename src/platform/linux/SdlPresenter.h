// The presenter of the Linux display: frames of the soft primary surface copied into an SDL2
// window's own surface, scaled to the window with their aspect kept (black bars where it differs),
// and the brightness through the screen's gamma ramps. SDL's video calls stay on the thread that opened the
// presenter (the user-interface thread): a frame flipped on another thread is copied and handed to
// that thread's event loop, which shows it.
#pragma once

#include "platform/linux/ScreenGamma.h"
#include "platform/soft/SoftDisplay.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

union SDL_Event;
struct SDL_Surface;
struct SDL_Window;

namespace Halcyra::Platform {

// Sets the program's SDL hints; called before SDL makes a window, by whichever part makes the first.
void ApplySdlHints();

// Where a picture of width × height goes in a window, scaled to fit with its aspect kept and
// centred.
TRect LetterboxRect(int windowWidth, int windowHeight, int width, int height);


class TSdlPresenter final : public ISoftPresenter {
public:
    TSdlPresenter();
    explicit TSdlPresenter(std::unique_ptr<IScreenGamma> gamma);
    ~TSdlPresenter() override;
    TSdlPresenter(const TSdlPresenter &) = delete;
    TSdlPresenter &operator=(const TSdlPresenter &) = delete;

    // Takes the SDL window whose X11 window (or SDL window id) is the handle, or opens a full-screen
    // window of its own when the handle names none.
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

    // What the window shows now, read back from its surface; for the tests.
    std::optional<Imaging::TBitmap32> ReadBack();
    // Whether the presenter opened a window of its own.
    bool OwnsWindow() const { return FOwnWindow; }

private:
    void Release();
    // Copies the last frame into the window's surface and shows it; FMutex held.
    void Show();

    std::mutex FMutex;
    std::thread::id FOwnerThread;
    // The last frame presented, an SDL surface over its pixels, and whether it still waits to be
    // shown.
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
