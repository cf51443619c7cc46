// GDI on a surface's device context. Bitmaps are drawn with StretchDIBits from their top-down
// 32-bit rows in the COLORONCOLOR mode, the framework canvas's default.
#include "platform/win32/Win32DeviceContext.h"

#include <climits>

namespace Halcyra::Platform {

namespace {

int Length(std::string_view text)
{
    return text.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text.size());
}

BITMAPINFO TopDownInfo(const Imaging::TBitmap32 &bitmap)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

TFontHandle TWin32DeviceContext::CreateFontA(const TFontRequest &request)
{
    HFONT font = ::CreateFontA(request.Height, 0, 0, 0, request.Weight, FALSE, FALSE, FALSE, static_cast<DWORD>(request.CharSet),
                               static_cast<DWORD>(request.OutPrecision), static_cast<DWORD>(request.ClipPrecision),
                               static_cast<DWORD>(request.Quality), static_cast<DWORD>(request.PitchAndFamily), request.Face.c_str());
    return reinterpret_cast<TFontHandle>(font);
}

TFontHandle TWin32DeviceContext::SelectFont(TFontHandle font)
{
    HGDIOBJ previous = SelectObject(FDc, reinterpret_cast<HGDIOBJ>(font));
    return previous == nullptr || previous == HGDI_ERROR ? 0 : reinterpret_cast<TFontHandle>(previous);
}

bool TWin32DeviceContext::DeleteFont(TFontHandle font)
{
    return font != 0 && DeleteObject(reinterpret_cast<HGDIOBJ>(font)) != FALSE;
}

TBackgroundMode TWin32DeviceContext::SetBkMode(TBackgroundMode mode)
{
    const int previous = ::SetBkMode(FDc, mode == TBackgroundMode::Transparent ? TRANSPARENT : OPAQUE);
    return previous == TRANSPARENT ? TBackgroundMode::Transparent : TBackgroundMode::Opaque;
}

TColorRef TWin32DeviceContext::SetBkColor(TColorRef color)
{
    return ::SetBkColor(FDc, color);
}

TColorRef TWin32DeviceContext::SetTextColor(TColorRef color)
{
    return ::SetTextColor(FDc, color);
}

bool TWin32DeviceContext::TextOutA(int x, int y, std::string_view text)
{
    return ::TextOutA(FDc, x, y, text.data(), Length(text)) != FALSE;
}

bool TWin32DeviceContext::ExtTextOutA(int x, int y, std::uint32_t options, const TRect &rect, std::string_view text)
{
    const RECT area{rect.Left, rect.Top, rect.Right, rect.Bottom};
    return ::ExtTextOutA(FDc, x, y, options, &area, text.data(), static_cast<UINT>(Length(text)), nullptr) != FALSE;
}

bool TWin32DeviceContext::GetTextExtentPoint32A(std::string_view text, TTextSize &size)
{
    SIZE extent{};
    if (!::GetTextExtentPoint32A(FDc, text.data(), Length(text), &extent))
        return false;
    size = TTextSize{extent.cx, extent.cy};
    return true;
}

TColorRef TWin32DeviceContext::GetPixel(int x, int y)
{
    return ::GetPixel(FDc, x, y);
}

TColorRef TWin32DeviceContext::SetPixel(int x, int y, TColorRef color)
{
    return ::SetPixel(FDc, x, y, color);
}

bool TWin32DeviceContext::DrawBitmap(int x, int y, const Imaging::TBitmap32 &bitmap)
{
    return StretchDrawBitmap(TRect{x, y, x + bitmap.Width(), y + bitmap.Height()}, bitmap);
}

bool TWin32DeviceContext::StretchDrawBitmap(const TRect &target, const Imaging::TBitmap32 &bitmap)
{
    if (target.Width() <= 0 || target.Height() <= 0)
        return false;
    const BITMAPINFO info = TopDownInfo(bitmap);
    ::SetStretchBltMode(FDc, COLORONCOLOR);
    return ::StretchDIBits(FDc, target.Left, target.Top, target.Width(), target.Height(), 0, 0, bitmap.Width(), bitmap.Height(),
                           bitmap.Row(0), &info, DIB_RGB_COLORS, SRCCOPY) != 0;
}

} // namespace Halcyra::Platform
