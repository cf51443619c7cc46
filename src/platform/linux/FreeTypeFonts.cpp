// The soft font engine of Linux: fontconfig finds the face nearest to a request ("Arial" resolves to
// a metric-compatible face such as Liberation Sans), FreeType renders its glyphs. Sizes follow GDI:
// a positive height is the whole cell (the face's Windows ascent plus descent), a negative one the
// character height.
#include "platform/soft/SoftFonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>

namespace Halcyra::Platform {

namespace {

// The FreeType library, kept alive by every font made from it, so a font released late (after the
// engine at program exit) still has its library.
struct TFreeTypeLibrary {
    FT_Library Library = nullptr;
    TFreeTypeLibrary()
    {
        if (FT_Init_FreeType(&Library) != 0)
            Library = nullptr;
    }
    ~TFreeTypeLibrary()
    {
        if (Library != nullptr)
            FT_Done_FreeType(Library);
    }
    TFreeTypeLibrary(const TFreeTypeLibrary &) = delete;
    TFreeTypeLibrary &operator=(const TFreeTypeLibrary &) = delete;
};

class TFreeTypeFont final : public ISoftFont {
public:
    TFreeTypeFont(std::shared_ptr<TFreeTypeLibrary> library, FT_Face face, int cellHeight, int ascent)
        : FLibrary(std::move(library)), FFace(face), FCellHeight(cellHeight), FAscent(ascent)
    {
    }
    ~TFreeTypeFont() override { FT_Done_Face(FFace); }

    int CellHeight() const override { return FCellHeight; }
    int Ascent() const override { return FAscent; }

    const TSoftGlyph &Glyph(std::uint8_t character) override
    {
        std::lock_guard lock(FMutex);
        auto &slot = FGlyphs[character];
        if (!slot) {
            slot.emplace();
            if (FT_Load_Char(FFace, Windows1252ToUnicode(character), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
                const FT_GlyphSlot glyph = FFace->glyph;
                const FT_Bitmap &bitmap = glyph->bitmap;
                slot->Left = glyph->bitmap_left;
                slot->Top = glyph->bitmap_top;
                slot->Advance = static_cast<int>((glyph->advance.x + 32) >> 6);
                if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                    slot->Width = static_cast<int>(bitmap.width);
                    slot->Height = static_cast<int>(bitmap.rows);
                    slot->Coverage.resize(static_cast<std::size_t>(slot->Width) * slot->Height);
                    for (int row = 0; row < slot->Height; ++row) {
                        const unsigned char *source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
                        std::copy(source, source + slot->Width, slot->Coverage.begin() + static_cast<std::ptrdiff_t>(row) * slot->Width);
                    }
                }
            }
        }
        return *slot;
    }

private:
    std::mutex FMutex;
    std::shared_ptr<TFreeTypeLibrary> FLibrary;
    FT_Face FFace;
    int FCellHeight;
    int FAscent;
    std::array<std::optional<TSoftGlyph>, 256> FGlyphs;
};

class TFreeTypeFontEngine final : public ISoftFontEngine {
public:
    TFreeTypeFontEngine() : FLibrary(std::make_shared<TFreeTypeLibrary>())
    {
        FReady = FLibrary->Library != nullptr && FcInit();
    }

    ~TFreeTypeFontEngine() override
    {
        // Fonts made here need fontconfig no more once loaded.
        if (FReady)
            FcFini();
    }

    std::shared_ptr<ISoftFont> OpenFont(const TFontRequest &request) override
    {
        std::lock_guard lock(FMutex);
        if (!FReady)
            return nullptr;
        std::string face = request.Face;
        std::transform(face.begin(), face.end(), face.begin(), [](unsigned char c) { return std::tolower(c); });
        const bool bold = request.Weight >= 600;
        const auto key = std::make_tuple(face, request.Height, bold);
        if (auto found = FFonts.find(key); found != FFonts.end())
            return found->second;
        auto font = Load(request.Face, request.Height, bold);
        if (font)
            FFonts.emplace(key, font);
        return font;
    }

private:
    std::shared_ptr<ISoftFont> Load(const std::string &family, int height, bool bold)
    {
        FcPattern *pattern = FcPatternCreate();
        if (pattern == nullptr)
            return nullptr;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.empty() ? "Arial" : family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern *match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (match == nullptr)
            return nullptr;
        FcChar8 *file = nullptr;
        int index = 0;
        std::string path;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            path = reinterpret_cast<const char *>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternDestroy(match);
        if (path.empty())
            return nullptr;

        FT_Face face = nullptr;
        if (FT_New_Face(FLibrary->Library, path.c_str(), index, &face) != 0)
            return nullptr;
        if (!FT_IS_SCALABLE(face)) {
            FT_Done_Face(face);
            return nullptr;
        }
        const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
        double ascender = face->ascender;
        double descender = -static_cast<double>(face->descender);
        if (const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            ascender = os2->usWinAscent;
            descender = os2->usWinDescent;
        }
        const double cellUnits = std::max(1.0, ascender + descender);
        // GDI: a positive height is the cell, a negative one the em, 0 a default of 16 pixels.
        const int requested = height == 0 ? 16 : height;
        const double em = requested > 0 ? requested * unitsPerEm / cellUnits : -requested;
        FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72);
        const int cellHeight = requested > 0 ? requested : static_cast<int>(std::lround(cellUnits * em / unitsPerEm));
        const int ascent = static_cast<int>(std::lround(ascender * em / unitsPerEm));
        return std::make_shared<TFreeTypeFont>(FLibrary, face, cellHeight, ascent);
    }

    std::mutex FMutex;
    std::shared_ptr<TFreeTypeLibrary> FLibrary;
    bool FReady = false;
    std::map<std::tuple<std::string, int, bool>, std::shared_ptr<ISoftFont>> FFonts;
};

} // namespace

ISoftFontEngine &SystemSoftFonts()
{
    static TFreeTypeFontEngine engine;
    return engine;
}

} // namespace Halcyra::Platform
