// A device context on a display surface: the subset of GDI the system draws with. Fonts by face,
// height and weight; background mode and text colour; text output, clipped text output and text
// extent; reading and writing single pixels; drawing a bitmap unscaled or stretched. Colours are
// COLORREF values, 0x00BBGGRR.
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/Display.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Halcyra::Platform {

// A COLORREF: red in the low byte, blue in the third.
using TColorRef = std::uint32_t;

inline constexpr TColorRef MakeColorRef(int red, int green, int blue)
{
    return static_cast<TColorRef>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
// The GDI invalid colour, CLR_INVALID; also what GetPixel returns outside the surface.
inline constexpr TColorRef ColorRefInvalid = 0xFFFFFFFFu;

// A COLORREF as the 0x00RRGGBB value of a 32-bit surface pixel, and back.
inline constexpr std::uint32_t ColorRefToRgb(TColorRef color)
{
    return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}
inline constexpr TColorRef RgbToColorRef(std::uint32_t rgb)
{
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

enum class TBackgroundMode { Transparent = 1, Opaque = 2 };

// DEFAULT_CHARSET: a font of the character set of the system's ANSI code page.
inline constexpr int DefaultCharSet = 1;

// The arguments of CreateFontA the system sets; the others are 0.
struct TFontRequest {
    std::string Face;
    int Height = 0;            // > 0: cell height in pixels; < 0: character height; 0: default
    int Weight = 400;          // 400 normal, 700 bold
    int CharSet = 0;           // ANSI_CHARSET; DefaultCharSet for the system's code page
    int OutPrecision = 0;      // OUT_DEFAULT_PRECIS
    int ClipPrecision = 0;     // CLIP_DEFAULT_PRECIS
    int Quality = 2;           // PROOF_QUALITY
    int PitchAndFamily = 2;    // VARIABLE_PITCH
};

// A font object (HFONT); 0 is none.
using TFontHandle = std::uintptr_t;

// ExtTextOutA options.
namespace TextOutOptions {
inline constexpr std::uint32_t Opaque = 0x0002;  // ETO_OPAQUE
inline constexpr std::uint32_t Clipped = 0x0004; // ETO_CLIPPED
} // namespace TextOutOptions

struct TTextSize {
    int Width = 0;
    int Height = 0;
};

class IDeviceContext {
public:
    virtual ~IDeviceContext() = default;

    // CreateFontA: a new font, or 0 when none can be made. The caller deletes it.
    virtual TFontHandle CreateFontA(const TFontRequest &request) = 0;
    // SelectObject for a font: selects it and returns the previously selected one (0 on failure).
    virtual TFontHandle SelectFont(TFontHandle font) = 0;
    // DeleteObject for a font; a font still selected stays usable until it is replaced.
    virtual bool DeleteFont(TFontHandle font) = 0;

    virtual TBackgroundMode SetBkMode(TBackgroundMode mode) = 0;
    virtual TColorRef SetBkColor(TColorRef color) = 0;
    virtual TColorRef SetTextColor(TColorRef color) = 0;

    // TextOutA with the top-left alignment: the text's cell starts at (x, y). Text is 8-bit in the
    // ANSI code page (Windows-1252).
    virtual bool TextOutA(int x, int y, std::string_view text) = 0;
    // ExtTextOutA: with Clipped, nothing is drawn outside the rectangle; with Opaque, the rectangle
    // is first filled with the background colour.
    virtual bool ExtTextOutA(int x, int y, std::uint32_t options, const TRect &rect, std::string_view text) = 0;
    // GetTextExtentPoint32A: the width and height the text takes in the selected font.
    virtual bool GetTextExtentPoint32A(std::string_view text, TTextSize &size) = 0;

    // GetPixel and SetPixel; ColorRefInvalid outside the surface.
    virtual TColorRef GetPixel(int x, int y) = 0;
    virtual TColorRef SetPixel(int x, int y, TColorRef color) = 0;

    // Draws a bitmap with its top-left corner at (x, y), unscaled, clipped to the surface.
    virtual bool DrawBitmap(int x, int y, const Imaging::TBitmap32 &bitmap) = 0;
    // Draws a bitmap scaled into the rectangle (StretchBlt in the default COLORONCOLOR mode).
    virtual bool StretchDrawBitmap(const TRect &target, const Imaging::TBitmap32 &bitmap) = 0;
};

// The device context of a surface for one draw: obtained when made, released when it goes, so that
// the surface is free again before anything blits onto it.
class TSurfaceDC {
public:
    explicit TSurfaceDC(IDisplaySurface *surface) : FSurface(surface)
    {
        IDeviceContext *dc = nullptr;
        if (FSurface != nullptr && DDSucceeded(FSurface->GetDC(dc)))
            FDC = dc;
    }
    ~TSurfaceDC()
    {
        if (FDC != nullptr)
            FSurface->ReleaseDC(FDC);
    }
    TSurfaceDC(const TSurfaceDC &) = delete;
    TSurfaceDC &operator=(const TSurfaceDC &) = delete;

    // False when the surface is absent or refused a device context.
    explicit operator bool() const { return FDC != nullptr; }
    IDeviceContext &operator*() const { return *FDC; }
    IDeviceContext *operator->() const { return FDC; }

private:
    IDisplaySurface *FSurface;
    IDeviceContext *FDC = nullptr;
};

} // namespace Halcyra::Platform
