// What every sprite shares: its place on an engine (which closes and restores it with the
// display), and its last failure text with the event that reports it.
#pragma once

#include "engine/Component.h"
#include "engine/Engine.h"

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

    std::string GetErrorResult() const { return FErrorResult.Get(); }
    void SetErrorResult(const std::string &value) { FErrorResult.Set(value); }
    TNotifyEvent OnError;

protected:
    // Stores the text and fires OnError.
    void Fail(const std::string &message);

    TQss *FEngine = nullptr;

private:
    TErrorText FErrorResult;
};

} // namespace Halcyra
