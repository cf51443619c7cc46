// The application's main window as the engine sees its owner form: the window the display takes
// over, and the frame, size, visibility and closing the engine and the exit ask of it.
#pragma once

#include "engine/OwnerForm.h"
#include "platform/Application.h"

namespace Halcyra {

class TMainWindowForm final : public IOwnerForm {
public:
    explicit TMainWindowForm(Platform::IApplication &application) : FApplication(application) {}

    // Makes the application's main window; false when it cannot be made.
    bool Create(Platform::TMainWindowKind kind, const Platform::TWindowEvents &events)
    {
        FHandle = FApplication.CreateMainWindow(kind, events);
        return FHandle != 0;
    }

    Platform::TWindowHandle Handle() const override { return FHandle; }
    void SetBorderStyle(TBorderStyle style) override { FApplication.SetMainWindowBorderStyle(style); }
    // The saver's window is black from the start on both systems, the only colour the engine asks.
    void SetColor(std::uint32_t) override {}
    void SetVisible(bool visible) override { FApplication.SetMainWindowVisible(visible); }
    void SetSize(int width, int height) override { FApplication.SetMainWindowSize(width, height); }
    void Close() override { FApplication.CloseMainWindow(); }

private:
    Platform::IApplication &FApplication;
    Platform::TWindowHandle FHandle = 0;
};

} // namespace Halcyra
