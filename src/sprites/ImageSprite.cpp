// The image sprite: preparation of its surface, the black colour key, the clipped per-frame blit,
// restore after a surface loss, and release.
#include "sprites/ImageSprite.h"

#include "platform/DeviceContext.h"
#include "sprites/SpriteBlit.h"

namespace Halcyra {

using namespace Platform;

TQIM::TQIM(TQss *parent)
{
    SetParent(parent);
}

TQIM::~TQIM()
{
    CloseDXImage();
    SetParent(nullptr);
}

int TQIM::DrawWidth() const
{
    return FStretching ? FStretchWidth : FPicture.Width();
}

int TQIM::DrawHeight() const
{
    return FStretching ? FStretchHeight : FPicture.Height();
}

// ---------------------------------------------------------------------------------------------
// Design space

void TQIM::SetOriginalWidth(int value)
{
    FOriginalWidth = value;
    FStretchWidth = DesignToScreenX(value);
}

void TQIM::SetOriginalHeight(int value)
{
    FOriginalHeight = value;
    FStretchHeight = DesignToScreenY(value);
}

// ---------------------------------------------------------------------------------------------
// Surface

void TQIM::RenderPicture(IDeviceContext &dc)
{
    const Imaging::TBitmap32 *bitmap = FPicture.Bitmap();
    if (bitmap == nullptr)
        return;
    if (FStretching)
        dc.StretchDrawBitmap(TRect{0, 0, FStretchWidth, FStretchHeight}, *bitmap);
    else
        dc.DrawBitmap(0, 0, *bitmap);
}

void TQIM::CreateDXImage()
{
    if (!BorrowEngineSurfaces())
        return;

    TSurfaceDescription description;
    description.Flags = DDFlags::DescCaps | DDFlags::DescHeight | DDFlags::DescWidth;
    description.Caps = DDFlags::CapsOffscreenPlain;
    description.Width = DrawWidth();
    description.Height = DrawHeight();
    FpSurface.reset();
    FLastResult = FDD->CreateSurface(description, FpSurface);
    if (DDFailed(FLastResult)) {
        FpSurface.reset();
        Fail("eCreateSurfaceQIM");
        return;
    }
    IDeviceContext *dc = nullptr;
    FLastResult = FpSurface->GetDC(dc);
    if (DDFailed(FLastResult) || dc == nullptr) {
        FpSurface.reset();
        Fail("eFpSurface->GetDC (QIM)");
        return;
    }
    RenderPicture(*dc);
    FpSurface->ReleaseDC(dc);
}

void TQIM::SetTransparency(bool value)
{
    if (!FpSurface) {
        Fail("eFpSurface==NULL");
        return;
    }
    if (FDDBACK == nullptr) {
        Fail("eFDDBACK==NULL");
        return;
    }
    if (!value) {
        FBlitFlags = DDFlags::BltFastNoColorKey;
        FTransparency = false;
        return;
    }
    FBlitFlags = DDFlags::BltFastSrcColorKey;
    FTransparency = true;
    FLastResult = FpSurface->SetColorKey(DDFlags::ColorKeySrcBlt, 0, 0);
    if (DDFailed(FLastResult)) {
        FpSurface.reset();
        Fail("eSetColorKey (QIM)");
    }
}

void TQIM::RestoreSurface()
{
    // A sprite that never got its surface has nothing to restore.
    if (!FpSurface)
        return;
    FLastResult = FpSurface->Restore();
    if (DDFailed(FLastResult)) {
        Fail("Can't restore surface TQIM");
        return;
    }
    IDeviceContext *dc = nullptr;
    FLastResult = FpSurface->GetDC(dc);
    if (DDFailed(FLastResult) || dc == nullptr) {
        FpSurface.reset();
        Fail("eFpSurface->GetDC (BMP)");
        return;
    }
    RenderPicture(*dc);
    FpSurface->ReleaseDC(dc);
}

std::optional<TRect> TQIM::OpaqueCover() const
{
    if (!FpSurface || FDDBACK == nullptr || FEngine == nullptr || FTransparency)
        return std::nullopt;
    // DrawImage draws nothing while the primary is lost.
    if (FDDPRIM != nullptr && FDDPRIM->IsLost() == DDResult::SurfaceLost)
        return std::nullopt;
    const auto blit = ClipToScreen(FShowX, FShowY, DrawWidth(), DrawHeight(), 0, 0, FEngine->Width(), FEngine->Height());
    // A draw size that no longer fits the surface makes the blit fail.
    if (!blit || blit->Source.Right > FpSurface->Width() || blit->Source.Bottom > FpSurface->Height())
        return std::nullopt;
    return TRect{blit->DestX, blit->DestY, blit->DestX + blit->Source.Width(), blit->DestY + blit->Source.Height()};
}

void TQIM::CloseDXImage()
{
    FpSurface.reset();
    // The engine's surfaces go next; the borrowed references must not outlive them.
    ForgetEngineSurfaces();
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TQIM::DrawImage()
{
    if (FDDPRIM != nullptr && FDDPRIM->IsLost() == DDResult::SurfaceLost) {
        Fail("Lost surface");
        return;
    }
    FSourceX = 0;
    FSourceY = 0;
    FDrawWidth = DrawWidth();
    FDrawHeight = DrawHeight();
    DrawImageFunc();
}

void TQIM::DrawImageFunc()
{
    if (!FpSurface) {
        Fail("eFpSurface==NULL");
        return;
    }
    if (FDDBACK == nullptr || FEngine == nullptr) {
        Fail("eFDDBACK==NULL");
        return;
    }
    if (auto result = BlitToBack(*FpSurface, FSourceX, FSourceY, FDrawWidth, FDrawHeight, FBlitFlags, "BMP"))
        FLastResult = *result;
}

} // namespace Halcyra
