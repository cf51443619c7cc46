// What every sprite shares: its engine and its failure reporting.
#include "sprites/EngineSprite.h"

namespace Halcyra {

void TEngineSprite::SetParent(TQss *engine)
{
    if (engine == FEngine)
        return;
    if (FEngine != nullptr)
        FEngine->DetachSprite(this);
    FEngine = engine;
    if (FEngine != nullptr)
        FEngine->AttachSprite(this);
}

void TEngineSprite::Fail(const std::string &message)
{
    FErrorResult.Set(message);
    if (OnError)
        OnError(*this);
}

} // namespace Halcyra
