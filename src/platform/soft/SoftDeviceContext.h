// A device context drawing into a soft surface's 32-bit pixels: GDI's text, pixel and bitmap
// operations the system uses, with the fonts of the platform's soft font engine.
#pragma once

#include "platform/DeviceContext.h"
#include "platform/soft/SoftFonts.h"

#include <memory>
#include <mutex>
#include <vector>

namespace Halcyra::Platform {

// The font objects of one soft device, shared by the device contexts of all its surfaces, as GDI
// font objects are shared by all device contexts.
class TSoftFontTable {
public:
    explicit TSoftFontTable(ISoftFontEngine &engine) : FEngine(engine) {}

    TFontHandle Create(const TFontRequest &request);
    bool Delete(TFontHandle handle);
    // The font of a handle; null when the handle is not a live font.
    std::shared_ptr<ISoftFont> Find(TFontHandle handle);
    // The font a fresh device context carries.
    std::shared_ptr<ISoftFont> DefaultFont();
    // Fonts created and not yet deleted, as GDI counts font objects.
    int LiveCount();

private:
    ISoftFontEngine &FEngine;
    std::mutex FMutex;
    std::vector<std::shared_ptr<ISoftFont>> FFonts; // slot i is handle i + 1; null when deleted
    std::shared_ptr<ISoftFont> FDefault;
    bool FDefaultTried = false;
};

class TSoftDeviceContext final : public IDeviceContext {
public:
    TSoftDeviceContext(Imaging::TBitmap32 &pixels, TSoftFontTable &fonts) : FPixels(&pixels), FFonts(fonts) {}

    // Puts the context back in the state of a fresh one (default font, opaque white background,
    // black text) over the given pixels.
    void Reset(Imaging::TBitmap32 &pixels);

    TFontHandle CreateFontA(const TFontRequest &request) override;
    TFontHandle SelectFont(TFontHandle font) override;
    bool DeleteFont(TFontHandle font) override;
    TBackgroundMode SetBkMode(TBackgroundMode mode) override;
    TColorRef SetBkColor(TColorRef color) override;
    TColorRef SetTextColor(TColorRef color) override;
    bool TextOutA(int x, int y, std::string_view text) override;
    bool ExtTextOutA(int x, int y, std::uint32_t options, const TRect &rect, std::string_view text) override;
    bool GetTextExtentPoint32A(std::string_view text, TTextSize &size) override;
    TColorRef GetPixel(int x, int y) override;
    TColorRef SetPixel(int x, int y, TColorRef color) override;
    bool DrawBitmap(int x, int y, const Imaging::TBitmap32 &bitmap) override;
    bool StretchDrawBitmap(const TRect &target, const Imaging::TBitmap32 &bitmap) override;

private:
    ISoftFont *CurrentFont();
    bool DrawText(int x, int y, std::string_view text, const TRect &clip);
    void FillRect(const TRect &rect, std::uint32_t rgb);
    TRect SurfaceRect() const { return TRect{0, 0, FPixels->Width(), FPixels->Height()}; }

    Imaging::TBitmap32 *FPixels;
    TSoftFontTable &FFonts;
    TFontHandle FSelected = 0;               // 0: the default font
    std::shared_ptr<ISoftFont> FSelectedFont; // kept alive while selected, even when deleted
    TBackgroundMode FBkMode = TBackgroundMode::Opaque;
    TColorRef FBkColor = MakeColorRef(255, 255, 255);
    TColorRef FTextColor = MakeColorRef(0, 0, 0);
};

} // namespace Halcyra::Platform
