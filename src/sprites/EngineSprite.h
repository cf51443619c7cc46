// What every sprite shares: its place on an engine (which closes and restores it with the
// display), and its last failure text with the event that reports it.
#pragma once

#include "engine/Component.h"
#include "engine/Engine.h"
#include "platform/Display.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Halcyra {

class TEngineSprite : public TComponent, public IEngineSprite {
public:
    TEngineSprite() = default;
    TEngineSprite(const TEngineSprite &) = delete;
    TEngineSprite &operator=(const TEngineSprite &) = delete;

    // The engine the sprite sits on; the sprite takes part in its closing and restoring.
    TQss *Parent() const { return FEngine; }
    void SetParent(TQss *engine);

    void EngineDestroyed() override { FEngine = nullptr; }

    // The engine's device and surfaces, borrowed when the sprite was prepared; null when closed.
    Platform::IDisplayDevice *GetFDD() const { return FDD; }
    Platform::IDisplaySurface *GetFDDBACK() const { return FDDBACK; }
    Platform::IDisplaySurface *GetFDDPRIM() const { return FDDPRIM; }

    // Where the sprite is drawn: with Stretching on, positions are given in the 1024 by 768 design
    // space and converted to the engine's screen.
    void SetShowX(int value);
    void SetShowY(int value);
    int GetShowX() const { return FShowX; }
    int GetShowY() const { return FShowY; }
    void SetStretching(bool value) { FStretching = value; }
    bool GetStretching() const { return FStretching; }
    void SetStretchWidth(int value) { FStretchWidth = value; }
    void SetStretchHeight(int value) { FStretchHeight = value; }
    int GetStretchWidth() const { return FStretchWidth; }
    int GetStretchHeight() const { return FStretchHeight; }

    std::string GetErrorResult() const { return FErrorResult.Get(); }
    void SetErrorResult(const std::string &value) { FErrorResult.Set(value); }
    TNotifyEvent OnError;

protected:
    // Stores the text and fires OnError.
    void Fail(const std::string &message);

    // Borrows the engine's device, back and primary surfaces; false (with "FDD==NULL",
    // "FDDBACK==NULL" or "FDDPRIM==NULL") when the engine has not opened its display.
    bool BorrowEngineSurfaces();
    // Forgets the borrowed surfaces: the engine releases them next.
    void ForgetEngineSurfaces();

    // Copies the visible part of (sourceX, sourceY, width, height) of a sprite surface onto the
    // engine's back surface at (ShowX, ShowY). Nothing is drawn, and nullopt returned, when the
    // blit lies wholly off the screen. A lost surface fails with "Lost surface", any other failure
    // with "Error FDDBACK->BltFast (<kind>) err #" and the error's name. Needs FDDBACK and FEngine.
    std::optional<Platform::TDDResult> BlitToBack(Platform::IDisplaySurface &source, int sourceX, int sourceY, int width,
                                                  int height, std::uint32_t flags, const char *kind);

    // A design-space width or x, and height or y, on the engine's screen; unchanged without an engine.
    int DesignToScreenX(int value) const;
    int DesignToScreenY(int value) const;

    TQss *FEngine = nullptr;
    int FShowX = 0;
    int FShowY = 0;
    bool FStretching = false;
    int FStretchWidth = 100;
    int FStretchHeight = 100;
    Platform::IDisplayDevice *FDD = nullptr;
    Platform::IDisplaySurface *FDDBACK = nullptr;
    Platform::IDisplaySurface *FDDPRIM = nullptr;

private:
    TErrorText FErrorResult;
};

} // namespace Halcyra
