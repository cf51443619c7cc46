// What every sprite shares: its place on an engine (which closes and restores it with the
// display), and its last failure text with the event that reports it.
#pragma once

#include "engine/Component.h"
#include "engine/Engine.h"
#include "platform/Display.h"

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

    TQss *FEngine = nullptr;
    Platform::IDisplayDevice *FDD = nullptr;
    Platform::IDisplaySurface *FDDBACK = nullptr;
    Platform::IDisplaySurface *FDDPRIM = nullptr;

private:
    TErrorText FErrorResult;
};

} // namespace Halcyra
