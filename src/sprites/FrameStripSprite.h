// The frame-strip sprite TQMV: a vertical strip of equal frames cut once into one off-screen surface
// per frame (at most 200), optionally stretched to a common size, drawn one frame at a time with a
// clipped BltFast; with transparency on, each frame keys out the colour of its own top-left pixel.
// JPEG strips are cut from their decoded copy DibBitmap, bitmap strips from the picture itself. The
// pixels are held once: DibBitmap shares the picture's own decoded pixels when it is given them, and
// once the frames are cut those are let go (the frames hold them), to be decoded again from the
// picture's file only should the frames need filling again.
#pragma once

#include "sprites/EngineSprite.h"
#include "imaging/Bitmap32.h"
#include "imaging/Picture.h"
#include "platform/DeviceContext.h"
#include "platform/Display.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Halcyra {

class TQMV : public TEngineSprite {
public:
    static constexpr int MaxFrames = 200;

    explicit TQMV(TQss *parent = nullptr);
    ~TQMV() override;

    std::string_view ClassName() const override { return "TQMV"; }

    const Imaging::TPicture &Picture() const { return FPicture; }
    void SetPicture(Imaging::TPicture picture) { FPicture = std::move(picture); }

    // The decoded copy of a JPEG strip. A present bitmap is copied (the picture's own pixels are
    // shared instead) and marks DibBitmap loaded; an absent one changes nothing.
    void SetFDibBitmap(const Imaging::TBitmap32 *bitmap);
    // Null before it is set, and after the frames were cut from the picture's own pixels.
    const Imaging::TBitmap32 *DibBitmap() const { return FDibBitmap.get(); }
    bool DibBitmapLoaded() const { return FDibBitmapLoaded; }

    // Cuts the strip into frame surfaces.
    void CreateDXMovie();
    // Creates and fills the surface of frame i.
    void Create1Surface(int index, int width, int height);
    // Colour keys on or off for all frames; follows CreateDXMovie.
    void SetTransparency(bool value);
    bool GetTransparency() const { return FTransparency; }
    // Keys a frame's surface with the raw value a colour has in it (its top-left pixel for
    // ColorRefInvalid).
    void DDSetColorKey(Platform::IDisplaySurface *surface, Platform::TColorRef color, int index);
    std::uint32_t DDColorMatch(Platform::IDisplaySurface &surface, Platform::TColorRef color);
    // Draws frame NumberFrame at (ShowX, ShowY); a frame outside the strip or without a surface
    // draws nothing.
    void DrawMovie();
    void DrawImageFunc();
    // Restores and refills every frame surface after the engine restored a lost primary.
    void RestoreSurfaces();
    // Releases every frame surface.
    void CloseDXMovie();

    void EngineClosing() override { CloseDXMovie(); }
    void EngineRestored() override { RestoreSurfaces(); }

    void SetNumberFrame(int value) { FNumberFrame = value; }
    int GetNumberFrame() const { return FNumberFrame; }
    // The frame height (OriginalHeight); with stretching on it also sets the stretch size from the
    // design space.
    void SetYOffsetFrame(int value);
    int GetYOffsetFrame() const { return FFrameHeight; }


    int FrameCount() const { return FFrameCount; }
    int FrameSurfaceWidth() const { return FSurfaceWidth; }
    int FrameSurfaceHeight() const { return FSurfaceHeight; }
    bool StripIsJpeg() const { return FStripIsJpeg; }
    Platform::IDisplaySurface *FrameSurface(int index) const;
    std::uint32_t BlitFlags() const { return FBlitFlags; }
    Platform::TDDResult LastResult() const { return FLastResult; }

protected:

private:
    // The strip the frames are cut from: DibBitmap for a JPEG strip, the picture otherwise; the
    // picture's file decoded again when its pixels were let go.
    std::shared_ptr<const Imaging::TBitmap32> SourceImage() const;
    // Lets go of the decoded pixels of a JPEG strip whose frames hold them now.
    void LetGoOfDecodedStrip();
    // Copies band i of the source image into the scratch bitmap (black where the source is short)
    // and stretch-draws it into the frame's surface through the device context.
    void FillFrame(Platform::IDeviceContext &dc, Imaging::TBitmap32 &scratch, const Imaging::TBitmap32 *source, int index);

    Imaging::TPicture FPicture;
    int FFrameCount = 0;
    std::array<std::unique_ptr<Platform::IDisplaySurface>, MaxFrames> FpSurface;
    Platform::TDDResult FLastResult = 0;
    int FSourceX = 0;
    int FDrawWidth = 0;
    int FSourceY = 0;
    int FDrawHeight = 0;
    int FNumberFrame = 0;
    int FFrameHeight = 0;
    std::uint32_t FBlitFlags = 0;
    bool FTransparency = false;
    int FSurfaceWidth = 0;
    int FSurfaceHeight = 0;
    bool FStripIsJpeg = false;
    std::shared_ptr<const Imaging::TBitmap32> FDibBitmap;
    bool FDibBitmapLoaded = false;
    // The scratch bitmap of one frame and the strip's pixels while CreateDXMovie runs; null otherwise.
    Imaging::TBitmap32 *FScratch = nullptr;
    const Imaging::TBitmap32 *FSource = nullptr;
};

} // namespace Halcyra
