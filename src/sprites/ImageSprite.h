// The image sprite TQIM: one picture (JPEG, BMP or GIF) rendered once into an off-screen surface of
// its own, optionally stretched, and copied onto the engine's back surface every frame with one
// clipped BltFast, with or without a black colour key. Positions and sizes may be given in the
// 1024 by 768 design space. The gadgets derive from it.
#pragma once

#include "sprites/EngineSprite.h"
#include "imaging/Picture.h"
#include "platform/Display.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace Halcyra {

class TQIM : public TEngineSprite {
public:
    // A sprite placed on the engine (its parent), or on none.
    explicit TQIM(TQss *parent = nullptr);
    // Releases the surface and leaves the engine.
    ~TQIM() override;

    std::string_view ClassName() const override { return "TQIM"; }

    const Imaging::TPicture &Picture() const { return FPicture; }
    void SetPicture(Imaging::TPicture picture) { FPicture = std::move(picture); }

    // Renders the picture into a new surface of the sprite.
    void CreateDXImage();
    // Switches the black colour key on or off; follows CreateDXImage.
    void SetTransparency(bool value);
    bool GetTransparency() const { return FTransparency; }
    // Draws the sprite for this frame.
    void DrawImage();
    // The clipped blit of the draw size from the source origin.
    void DrawImageFunc();
    // After the engine restored a lost primary: restores the surface and renders the picture again.
    void RestoreSurface();
    // Releases the surface.
    void CloseDXImage();

    void EngineClosing() override { CloseDXImage(); }
    void EngineRestored() override { RestoreSurface(); }
    // Where DrawImage will copy the surface onto the back surface when no colour key is in use.
    std::optional<Platform::TRect> OpaqueCover() const override;

    // Design-unit sizes: converted into the stretch size whatever Stretching is.
    void SetOriginalWidth(int value);
    void SetOriginalHeight(int value);
    int GetOriginalWidth() const { return FOriginalWidth; }
    int GetOriginalHeight() const { return FOriginalHeight; }


    // The sprite's own surface; null when absent.
    Platform::IDisplaySurface *Surface() const { return FpSurface.get(); }
    std::uint32_t BlitFlags() const { return FBlitFlags; }
    Platform::TDDResult LastResult() const { return FLastResult; }

protected:
    // The draw size: the stretch size when stretching, else the picture's size.
    int DrawWidth() const;
    int DrawHeight() const;

private:
    // Draws the picture into the surface through a device context (step 7 of the preparation).
    void RenderPicture(Platform::IDeviceContext &dc);

    Imaging::TPicture FPicture;
    std::unique_ptr<Platform::IDisplaySurface> FpSurface;
    Platform::TDDResult FLastResult = 0;
    int FSourceX = 0;
    int FSourceY = 0;
    int FDrawWidth = 0;
    int FDrawHeight = 0;
    std::uint32_t FBlitFlags = 0;
    bool FTransparency = false;
    int FOriginalWidth = 100;
    int FOriginalHeight = 100;
};

} // namespace Halcyra
