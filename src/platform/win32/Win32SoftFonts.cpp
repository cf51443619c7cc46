// The soft font engine of Windows: GDI renders each character once, white on black into a 32-bit
// DIB section, and its grey levels become the glyph's coverage. Only the tests draw on soft surfaces
// under Windows; the product draws with GDI on DirectDraw surfaces directly.
#include "platform/soft/SoftFonts.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace Halcyra::Platform {

namespace {

class TGdiSoftFont final : public ISoftFont {
public:
    TGdiSoftFont(HFONT font, HDC dc, int cellHeight, int ascent) : FFont(font), FDc(dc), FCellHeight(cellHeight), FAscent(ascent) {}
    ~TGdiSoftFont() override
    {
        DeleteDC(FDc);
        DeleteObject(FFont);
    }

    int CellHeight() const override { return FCellHeight; }
    int Ascent() const override { return FAscent; }

    const TSoftGlyph &Glyph(std::uint8_t character) override
    {
        std::lock_guard lock(FMutex);
        auto &slot = FGlyphs[character];
        if (!slot)
            slot = Render(character);
        return *slot;
    }

private:
    TSoftGlyph Render(std::uint8_t character)
    {
        TSoftGlyph glyph;
        const char text = static_cast<char>(character);
        SIZE size{};
        if (!GetTextExtentPoint32A(FDc, &text, 1, &size))
            return glyph;
        glyph.Advance = size.cx;
        const int pad = FCellHeight;
        const int width = size.cx + 2 * pad;
        const int height = FCellHeight;
        if (width <= 0 || height <= 0)
            return glyph;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void *bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(FDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap == nullptr || bits == nullptr)
            return glyph;
        HGDIOBJ previous = SelectObject(FDc, bitmap);
        std::fill_n(static_cast<std::uint32_t *>(bits), static_cast<std::size_t>(width) * height, 0u);
        SetBkMode(FDc, TRANSPARENT);
        SetTextColor(FDc, RGB(255, 255, 255));
        TextOutA(FDc, pad, 0, &text, 1);
        GdiFlush();
        const auto *pixels = static_cast<const std::uint32_t *>(bits);
        int left = width, right = -1, top = height, bottom = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu) != 0) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        if (right >= left) {
            glyph.Left = left - pad;
            glyph.Top = FAscent - top;
            glyph.Width = right - left + 1;
            glyph.Height = bottom - top + 1;
            glyph.Coverage.resize(static_cast<std::size_t>(glyph.Width) * glyph.Height);
            for (int y = 0; y < glyph.Height; ++y)
                for (int x = 0; x < glyph.Width; ++x) {
                    const std::uint32_t pixel = pixels[static_cast<std::size_t>(top + y) * width + left + x];
                    glyph.Coverage[static_cast<std::size_t>(y) * glyph.Width + x] = static_cast<std::uint8_t>((pixel >> 8) & 0xFF);
                }
        }
        SelectObject(FDc, previous);
        DeleteObject(bitmap);
        return glyph;
    }

    std::mutex FMutex;
    HFONT FFont;
    HDC FDc;
    int FCellHeight;
    int FAscent;
    std::array<std::optional<TSoftGlyph>, 256> FGlyphs;
};

class TGdiSoftFontEngine final : public ISoftFontEngine {
public:
    std::shared_ptr<ISoftFont> OpenFont(const TFontRequest &request) override
    {
        std::lock_guard lock(FMutex);
        std::string face = request.Face;
        std::transform(face.begin(), face.end(), face.begin(), [](unsigned char c) { return std::tolower(c); });
        const auto key = std::make_tuple(face, request.Height, request.Weight);
        if (auto found = FFonts.find(key); found != FFonts.end())
            return found->second;
        HFONT font = CreateFontA(request.Height == 0 ? 16 : request.Height, 0, 0, 0, request.Weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH,
                                 request.Face.empty() ? "Arial" : request.Face.c_str());
        if (font == nullptr)
            return nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        if (dc == nullptr) {
            DeleteObject(font);
            return nullptr;
        }
        SelectObject(dc, font);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc, &metrics);
        auto result = std::make_shared<TGdiSoftFont>(font, dc, metrics.tmHeight, metrics.tmAscent);
        FFonts.emplace(key, result);
        return result;
    }

private:
    std::mutex FMutex;
    std::map<std::tuple<std::string, int, int>, std::shared_ptr<ISoftFont>> FFonts;
};

} // namespace

ISoftFontEngine &SystemSoftFonts()
{
    static TGdiSoftFontEngine engine;
    return engine;
}

} // namespace Halcyra::Platform
