// Text for the soft device contexts: fonts opened by face, height and weight, and the coverage
// bitmaps of their characters. The platform supplies the engine (FreeType and fontconfig on Linux,
// GDI on Windows); the soft backend only places and blends the glyphs.
#pragma once

#include "platform/DeviceContext.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Halcyra::Platform {

// One character's coverage, 0 (none) to 255 (full), rows top-down; placed relative to the pen on
// the baseline.
struct TSoftGlyph {
    int Left = 0;    // from the pen to the bitmap's left edge
    int Top = 0;     // from the baseline up to the bitmap's top row
    int Width = 0;
    int Height = 0;
    int Advance = 0; // how far the pen moves, in whole pixels as GDI advances
    std::vector<std::uint8_t> Coverage;
};

class ISoftFont {
public:
    virtual ~ISoftFont() = default;
    // The height of a text line (ascent plus descent), in pixels.
    virtual int CellHeight() const = 0;
    // From the top of the cell to the baseline.
    virtual int Ascent() const = 0;
    // The glyph of one Windows-1252 character; the reference stays valid for the font's life.
    virtual const TSoftGlyph &Glyph(std::uint8_t character) = 0;
};

class ISoftFontEngine {
public:
    virtual ~ISoftFontEngine() = default;
    // The font nearest to the request ("Arial" resolves to a metric-compatible face); null when no
    // font can be found at all. Safe to call from any thread.
    virtual std::shared_ptr<ISoftFont> OpenFont(const TFontRequest &request) = 0;
};

// The font engine of this platform.
ISoftFontEngine &SystemSoftFonts();

// The Unicode code point of a Windows-1252 character.
char32_t Windows1252ToUnicode(std::uint8_t character);

} // namespace Halcyra::Platform
