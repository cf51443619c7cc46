// Soft device contexts: text blended from glyph coverage, pixels, and bitmaps drawn with
// nearest-pixel scaling, all clipped to the surface.
#include "platform/soft/SoftDeviceContext.h"

#include "net/Windows1252.h"

#include <algorithm>
#include <utility>

namespace Halcyra::Platform {

namespace {

TRect Intersect(const TRect &a, const TRect &b)
{
    TRect result{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
    if (result.Right < result.Left)
        result.Right = result.Left;
    if (result.Bottom < result.Top)
        result.Bottom = result.Top;
    return result;
}

std::uint32_t Blend(std::uint32_t under, std::uint32_t over, int coverage)
{
    if (coverage >= 255)
        return over;
    std::uint32_t result = 0;
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((under >> shift) & 0xFF);
        const int b = static_cast<int>((over >> shift) & 0xFF);
        const int mixed = a + ((b - a) * coverage + 127) / 255;
        result |= static_cast<std::uint32_t>(mixed) << shift;
    }
    return result;
}

} // namespace

TFontHandle TSoftFontTable::Create(const TFontRequest &request)
{
    auto font = FEngine.OpenFont(request);
    if (!font)
        return 0;
    std::lock_guard lock(FMutex);
    for (std::size_t i = 0; i < FFonts.size(); ++i) {
        if (!FFonts[i]) {
            FFonts[i] = std::move(font);
            return i + 1;
        }
    }
    FFonts.push_back(std::move(font));
    return FFonts.size();
}

bool TSoftFontTable::Delete(TFontHandle handle)
{
    std::lock_guard lock(FMutex);
    if (handle == 0 || handle > FFonts.size() || !FFonts[handle - 1])
        return false;
    FFonts[handle - 1].reset();
    return true;
}

std::shared_ptr<ISoftFont> TSoftFontTable::Find(TFontHandle handle)
{
    std::lock_guard lock(FMutex);
    if (handle == 0 || handle > FFonts.size())
        return nullptr;
    return FFonts[handle - 1];
}

std::shared_ptr<ISoftFont> TSoftFontTable::DefaultFont()
{
    std::lock_guard lock(FMutex);
    if (!FDefaultTried) {
        FDefaultTried = true;
        // A fresh Windows device context carries the bold 16-pixel system font.
        FDefault = FEngine.OpenFont(TFontRequest{"Arial", 16, 700});
    }
    return FDefault;
}

int TSoftFontTable::LiveCount()
{
    std::lock_guard lock(FMutex);
    return static_cast<int>(std::count_if(FFonts.begin(), FFonts.end(), [](const auto &font) { return font != nullptr; }));
}

void TSoftDeviceContext::Reset(Imaging::TBitmap32 &pixels)
{
    FPixels = &pixels;
    FSelected = 0;
    FSelectedFont.reset();
    FBkMode = TBackgroundMode::Opaque;
    FBkColor = MakeColorRef(255, 255, 255);
    FTextColor = MakeColorRef(0, 0, 0);
}

TFontHandle TSoftDeviceContext::CreateFontA(const TFontRequest &request)
{
    return FFonts.Create(request);
}

TFontHandle TSoftDeviceContext::SelectFont(TFontHandle font)
{
    auto found = FFonts.Find(font);
    if (!found)
        return 0;
    // The default font of a fresh context has no handle of its own; selecting over it reports 0
    // as GDI reports the stock font, which the caller may select back.
    const TFontHandle previous = FSelected;
    FSelected = font;
    FSelectedFont = std::move(found);
    return previous;
}

bool TSoftDeviceContext::DeleteFont(TFontHandle font)
{
    return FFonts.Delete(font);
}

TBackgroundMode TSoftDeviceContext::SetBkMode(TBackgroundMode mode)
{
    return std::exchange(FBkMode, mode);
}

TColorRef TSoftDeviceContext::SetBkColor(TColorRef color)
{
    return std::exchange(FBkColor, color & 0x00FFFFFFu);
}

TColorRef TSoftDeviceContext::SetTextColor(TColorRef color)
{
    return std::exchange(FTextColor, color & 0x00FFFFFFu);
}

ISoftFont *TSoftDeviceContext::CurrentFont()
{
    if (FSelectedFont)
        return FSelectedFont.get();
    FSelectedFont = FFonts.DefaultFont();
    return FSelectedFont.get();
}

bool TSoftDeviceContext::GetTextExtentPoint32A(std::string_view text, TTextSize &size)
{
    ISoftFont *font = CurrentFont();
    if (font == nullptr)
        return false;
    int width = 0;
    for (const char character : text)
        width += font->Glyph(static_cast<std::uint8_t>(character)).Advance;
    size = TTextSize{width, font->CellHeight()};
    return true;
}

void TSoftDeviceContext::FillRect(const TRect &rect, std::uint32_t rgb)
{
    const TRect clipped = Intersect(rect, SurfaceRect());
    for (int y = clipped.Top; y < clipped.Bottom; ++y) {
        std::uint32_t *row = FPixels->Row(y);
        std::fill(row + clipped.Left, row + clipped.Right, rgb);
    }
}

bool TSoftDeviceContext::DrawText(int x, int y, std::string_view text, const TRect &clip)
{
    ISoftFont *font = CurrentFont();
    if (font == nullptr)
        return false;
    const TRect area = Intersect(clip, SurfaceRect());
    if (FBkMode == TBackgroundMode::Opaque) {
        TTextSize size;
        GetTextExtentPoint32A(text, size);
        FillRect(Intersect(TRect{x, y, x + size.Width, y + size.Height}, area), ColorRefToRgb(FBkColor));
    }
    const std::uint32_t colour = ColorRefToRgb(FTextColor);
    const int baseline = y + font->Ascent();
    int pen = x;
    for (const char character : text) {
        const TSoftGlyph &glyph = font->Glyph(static_cast<std::uint8_t>(character));
        const int left = pen + glyph.Left;
        const int top = baseline - glyph.Top;
        // A long line crept through a narrow clip box touches few of its glyphs.
        if (left >= area.Right || left + glyph.Width <= area.Left) {
            pen += glyph.Advance;
            continue;
        }
        for (int row = 0; row < glyph.Height; ++row) {
            const int targetY = top + row;
            if (targetY < area.Top || targetY >= area.Bottom)
                continue;
            std::uint32_t *out = FPixels->Row(targetY);
            const std::uint8_t *coverage = glyph.Coverage.data() + static_cast<std::size_t>(row) * glyph.Width;
            for (int column = 0; column < glyph.Width; ++column) {
                const int targetX = left + column;
                if (targetX < area.Left || targetX >= area.Right || coverage[column] == 0)
                    continue;
                out[targetX] = Blend(out[targetX], colour, coverage[column]);
            }
        }
        pen += glyph.Advance;
    }
    return true;
}

bool TSoftDeviceContext::TextOutA(int x, int y, std::string_view text)
{
    return DrawText(x, y, text, SurfaceRect());
}

bool TSoftDeviceContext::ExtTextOutA(int x, int y, std::uint32_t options, const TRect &rect, std::string_view text)
{
    if (options & TextOutOptions::Opaque)
        FillRect(rect, ColorRefToRgb(FBkColor));
    const TRect clip = (options & TextOutOptions::Clipped) ? rect : SurfaceRect();
    return DrawText(x, y, text, clip);
}

TColorRef TSoftDeviceContext::GetPixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= FPixels->Width() || y >= FPixels->Height())
        return ColorRefInvalid;
    return RgbToColorRef(FPixels->GetPixel(x, y));
}

TColorRef TSoftDeviceContext::SetPixel(int x, int y, TColorRef color)
{
    if (x < 0 || y < 0 || x >= FPixels->Width() || y >= FPixels->Height())
        return ColorRefInvalid;
    FPixels->SetPixel(x, y, ColorRefToRgb(color));
    return color & 0x00FFFFFFu;
}

bool TSoftDeviceContext::DrawBitmap(int x, int y, const Imaging::TBitmap32 &bitmap)
{
    const TRect target = Intersect(TRect{x, y, x + bitmap.Width(), y + bitmap.Height()}, SurfaceRect());
    for (int row = target.Top; row < target.Bottom; ++row) {
        const std::uint32_t *source = bitmap.Row(row - y) + (target.Left - x);
        std::copy(source, source + target.Width(), FPixels->Row(row) + target.Left);
    }
    return true;
}

bool TSoftDeviceContext::StretchDrawBitmap(const TRect &target, const Imaging::TBitmap32 &bitmap)
{
    const int width = target.Width();
    const int height = target.Height();
    if (width <= 0 || height <= 0)
        return false;
    if (width == bitmap.Width() && height == bitmap.Height())
        return DrawBitmap(target.Left, target.Top, bitmap);
    const TRect visible = Intersect(target, SurfaceRect());
    for (int row = visible.Top; row < visible.Bottom; ++row) {
        const int sourceRow = static_cast<int>(static_cast<std::int64_t>(row - target.Top) * bitmap.Height() / height);
        const std::uint32_t *source = bitmap.Row(sourceRow);
        std::uint32_t *out = FPixels->Row(row);
        for (int column = visible.Left; column < visible.Right; ++column)
            out[column] = source[static_cast<std::int64_t>(column - target.Left) * bitmap.Width() / width];
    }
    return true;
}

char32_t Windows1252ToUnicode(std::uint8_t character)
{
    return Net::Windows1252ToUnicode(character);
}

} // namespace Halcyra::Platform
