// The frame-strip sprite: cutting the strip into frame surfaces, per-frame colour keys, the clipped
// blit of one frame, restore after a surface loss, and release.
#include "sprites/FrameStripSprite.h"

#include "sprites/SpriteBlit.h"

#include <algorithm>

namespace Halcyra {

using namespace Platform;

TQMV::TQMV(TQss *parent)
{
    SetParent(parent);
}

TQMV::~TQMV()
{
    CloseDXMovie();
    SetParent(nullptr);
}

IDisplaySurface *TQMV::FrameSurface(int index) const
{
    if (index < 0 || index >= MaxFrames)
        return nullptr;
    return FpSurface[static_cast<std::size_t>(index)].get();
}

void TQMV::SetFDibBitmap(const Imaging::TBitmap32 *bitmap)
{
    if (bitmap == nullptr)
        return;
    // The picture's pixels never change: sharing them is a copy that costs nothing.
    FDibBitmap = bitmap == FPicture.Bitmap() ? FPicture.SharedBitmap() : std::make_shared<const Imaging::TBitmap32>(*bitmap);
    FDibBitmapLoaded = true;
}

// ---------------------------------------------------------------------------------------------
// Design space

void TQMV::SetYOffsetFrame(int value)
{
    FFrameHeight = value;
    if (FStretching && FEngine != nullptr) {
        FStretchWidth = DesignToScreenX(FPicture.Width());
        FStretchHeight = DesignToScreenY(value);
    }
}

// ---------------------------------------------------------------------------------------------
// Preparation

std::shared_ptr<const Imaging::TBitmap32> TQMV::SourceImage() const
{
    if (!FStripIsJpeg)
        return FPicture.SharedBitmap();
    if (FDibBitmap != nullptr || !FDibBitmapLoaded)
        return FDibBitmap;
    return FPicture.WithPixels().SharedBitmap();
}

void TQMV::LetGoOfDecodedStrip()
{
    if (!FStripIsJpeg || FDibBitmap == nullptr || FDibBitmap != FPicture.SharedBitmap() || !FPicture.CanDecodeAgain())
        return;
    FDibBitmap.reset();
    FPicture = FPicture.WithoutPixels();
}

void TQMV::FillFrame(IDeviceContext &dc, Imaging::TBitmap32 &scratch, const Imaging::TBitmap32 *source, int index)
{
    scratch.Fill(0);
    if (source != nullptr) {
        const std::int64_t bandTop = static_cast<std::int64_t>(index) * FFrameHeight;
        const int columns = std::min(scratch.Width(), source->Width());
        for (int row = 0; row < scratch.Height(); ++row) {
            const std::int64_t sourceRow = bandTop + row;
            if (sourceRow >= source->Height())
                break;
            const std::uint32_t *from = source->Row(static_cast<int>(sourceRow));
            std::copy(from, from + columns, scratch.Row(row));
        }
    }
    dc.StretchDrawBitmap(TRect{0, 0, FSurfaceWidth, FSurfaceHeight}, scratch);
}

void TQMV::CreateDXMovie()
{
    // Every preparation starts without frames, so a failure on the way leaves none of an earlier
    // strip drawable.
    for (auto &surface : FpSurface)
        surface.reset();
    FFrameCount = 0;
    if (!BorrowEngineSurfaces())
        return;
    // A negative frame height defines no frames any more than 0 does.
    if (FFrameHeight <= 0) {
        Fail("Not defined OriginalHeight");
        return;
    }
    FFrameCount = FPicture.Height() / FFrameHeight;
    if (FFrameCount > MaxFrames) {
        Fail("TOO match sprites");
        FFrameCount = 0;
        return;
    }
    FSurfaceWidth = FStretching ? FStretchWidth : FPicture.Width();
    FSurfaceHeight = FStretching ? FStretchHeight : FFrameHeight;
    FStripIsJpeg = FPicture.Kind() == Imaging::TGraphicKind::Jpeg && !FPicture.Empty();
    if (FStripIsJpeg && !FDibBitmapLoaded) {
        Fail("not loaded DIB BMP");
        return;
    }
    if (FFrameCount <= 0)
        return;
    auto scratch = Imaging::TBitmap32::Create(FPicture.Width(), FFrameHeight);
    if (!scratch)
        return;
    const auto source = SourceImage();
    for (int i = 0; i < FFrameCount; ++i) {
        // Create1Surface cuts into the scratch bitmap of this preparation.
        FScratch = &*scratch;
        FSource = source.get();
        Create1Surface(i, FSurfaceWidth, FSurfaceHeight);
    }
    FScratch = nullptr;
    FSource = nullptr;
    LetGoOfDecodedStrip();
}

void TQMV::Create1Surface(int index, int width, int height)
{
    if (index < 0 || index >= MaxFrames)
        return;
    auto &slot = FpSurface[static_cast<std::size_t>(index)];
    TSurfaceDescription description;
    description.Flags = DDFlags::DescCaps | DDFlags::DescHeight | DDFlags::DescWidth;
    description.Caps = DDFlags::CapsOffscreenPlain;
    description.Width = width;
    description.Height = height;
    slot.reset();
    FLastResult = FDD != nullptr ? FDD->CreateSurface(description, slot) : DDResult::InvalidObject;
    if (DDFailed(FLastResult)) {
        slot.reset();
        Fail("Error CreateSurfaceMOV");
        return;
    }
    IDeviceContext *dc = nullptr;
    FLastResult = slot->GetDC(dc);
    if (DDFailed(FLastResult) || dc == nullptr) {
        slot.reset();
        Fail("Error FpSurface->GetDC (MOV)");
        return;
    }
    if (FScratch != nullptr) {
        FillFrame(*dc, *FScratch, FSource, index);
    } else if (auto scratch = Imaging::TBitmap32::Create(std::max(FPicture.Width(), 1), std::max(FFrameHeight, 1))) {
        FillFrame(*dc, *scratch, SourceImage().get(), index);
    }
    slot->ReleaseDC(dc);
}

// ---------------------------------------------------------------------------------------------
// Colour keys

void TQMV::SetTransparency(bool value)
{
    if (FFrameCount == 0)
        return;
    if (!value) {
        FBlitFlags = DDFlags::BltFastNoColorKey;
        FTransparency = false;
        return;
    }
    FBlitFlags = DDFlags::BltFastSrcColorKey;
    for (int i = 0; i < FFrameCount && i < MaxFrames; ++i)
        DDSetColorKey(FpSurface[static_cast<std::size_t>(i)].get(), ColorRefInvalid, i);
    FTransparency = true;
}

void TQMV::DDSetColorKey(IDisplaySurface *surface, TColorRef color, int index)
{
    if (surface == nullptr)
        return;
    const std::uint32_t key = DDColorMatch(*surface, color);
    FLastResult = surface->SetColorKey(DDFlags::ColorKeySrcBlt, key, key);
    if (DDFailed(FLastResult)) {
        if (index >= 0 && index < MaxFrames && FpSurface[static_cast<std::size_t>(index)].get() == surface)
            FpSurface[static_cast<std::size_t>(index)].reset();
        Fail("Error SetColorKey (ANI)");
    }
}

std::uint32_t TQMV::DDColorMatch(IDisplaySurface &surface, TColorRef color)
{
    TColorRef remembered = ColorRefInvalid;
    bool written = false;
    if (color != ColorRefInvalid) {
        IDeviceContext *dc = nullptr;
        if (DDSucceeded(surface.GetDC(dc)) && dc != nullptr) {
            remembered = dc->GetPixel(0, 0);
            dc->SetPixel(0, 0, color);
            surface.ReleaseDC(dc);
            written = true;
        }
    }
    std::uint32_t result = ColorRefInvalid;
    TSurfaceLock lock;
    TDDResult locked = DDResult::WasStillDrawing;
    for (int attempt = 0; attempt < MaxStillDrawingRetries && locked == DDResult::WasStillDrawing; ++attempt)
        locked = surface.Lock(lock, 0);
    if (DDSucceeded(locked) && lock.Bits != nullptr) {
        result = *static_cast<const std::uint32_t *>(lock.Bits);
        if (lock.BitsPerPixel > 0 && lock.BitsPerPixel < 32)
            result &= (1u << lock.BitsPerPixel) - 1u;
        surface.Unlock();
    }
    if (written) {
        IDeviceContext *dc = nullptr;
        if (DDSucceeded(surface.GetDC(dc)) && dc != nullptr) {
            dc->SetPixel(0, 0, remembered);
            surface.ReleaseDC(dc);
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Drawing

void TQMV::DrawMovie()
{
    if (FDDPRIM != nullptr && FDDPRIM->IsLost() == DDResult::SurfaceLost) {
        Fail("Lost surface");
        return;
    }
    FSourceX = 0;
    FSourceY = 0;
    FDrawWidth = FStretching ? FStretchWidth : FPicture.Width();
    FDrawHeight = FStretching ? FStretchHeight : FFrameHeight;
    DrawImageFunc();
}

void TQMV::DrawImageFunc()
{
    // The frame must be one of the strip's and have its surface; anything else draws nothing.
    if (FNumberFrame < 0 || FNumberFrame >= FFrameCount || FNumberFrame >= MaxFrames)
        return;
    IDisplaySurface *frame = FpSurface[static_cast<std::size_t>(FNumberFrame)].get();
    if (frame == nullptr || FDDBACK == nullptr || FEngine == nullptr)
        return;
    if (auto result = BlitToBack(*frame, FSourceX, FSourceY, FDrawWidth, FDrawHeight, FBlitFlags, "MOV"))
        FLastResult = *result;
}

// ---------------------------------------------------------------------------------------------
// Restore and release

void TQMV::RestoreSurfaces()
{
    // Only after a loss of the surfaces: a strip whose decoded pixels were let go is decoded again,
    // once for all its frames.
    std::shared_ptr<const Imaging::TBitmap32> source;
    for (int i = 0; i < FFrameCount && i < MaxFrames; ++i) {
        auto &slot = FpSurface[static_cast<std::size_t>(i)];
        if (!slot)
            continue;
        FLastResult = slot->Restore();
        if (DDFailed(FLastResult)) {
            Fail("Can't restore surface TQMV");
            return;
        }
        IDeviceContext *dc = nullptr;
        FLastResult = slot->GetDC(dc);
        if (DDFailed(FLastResult) || dc == nullptr) {
            slot.reset();
            Fail("Error FpSurface->GetDC (RestoreSurfaces)");
            return;
        }
        if (source == nullptr)
            source = SourceImage();
        if (auto scratch = Imaging::TBitmap32::Create(std::max(FPicture.Width(), 1), std::max(FFrameHeight, 1)))
            FillFrame(*dc, *scratch, source.get(), i);
        slot->ReleaseDC(dc);
    }
}

void TQMV::CloseDXMovie()
{
    for (auto &surface : FpSurface)
        surface.reset();
    ForgetEngineSurfaces();
}

} // namespace Halcyra
