// What every sprite shares: its engine and its failure reporting.
#include "sprites/EngineSprite.h"

#include "sprites/SpriteBlit.h"

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

int TEngineSprite::DesignToScreenX(int value) const
{
    return FEngine != nullptr ? DesignToScreen(value, FEngine->GetWidthScreen(), 1024) : value;
}

int TEngineSprite::DesignToScreenY(int value) const
{
    return FEngine != nullptr ? DesignToScreen(value, FEngine->GetHeightScreen(), 768) : value;
}

void TEngineSprite::SetShowX(int value)
{
    FShowX = FStretching ? DesignToScreenX(value) : value;
}

void TEngineSprite::SetShowY(int value)
{
    FShowY = FStretching ? DesignToScreenY(value) : value;
}

std::optional<Platform::TDDResult> TEngineSprite::BlitToBack(Platform::IDisplaySurface &source, int sourceX, int sourceY,
                                                             int width, int height, std::uint32_t flags, const char *kind)
{
    const auto blit = ClipToScreen(FShowX, FShowY, width, height, sourceX, sourceY, FEngine->Width(), FEngine->Height());
    if (!blit)
        return std::nullopt;
    const Platform::TDDResult result = BltFastRetrying(*FDDBACK, *blit, source, flags);
    if (result == Platform::DDResult::SurfaceLost)
        Fail("Lost surface");
    else if (Platform::DDFailed(result))
        Fail(std::string("Error FDDBACK->BltFast (") + kind + ") err #" + BltFastErrorName(result));
    return result;
}

bool TEngineSprite::BorrowEngineSurfaces()
{
    FDD = FEngine != nullptr ? FEngine->GetFDD() : nullptr;
    if (FDD == nullptr) {
        Fail("FDD==NULL");
        return false;
    }
    FDDBACK = FEngine->GetFDDBACK();
    if (FDDBACK == nullptr) {
        Fail("FDDBACK==NULL");
        return false;
    }
    FDDPRIM = FEngine->GetFDDPRIM();
    if (FDDPRIM == nullptr) {
        Fail("FDDPRIM==NULL");
        return false;
    }
    return true;
}

void TEngineSprite::ForgetEngineSurfaces()
{
    FDD = nullptr;
    FDDBACK = nullptr;
    FDDPRIM = nullptr;
}

} // namespace Halcyra
