// A device context of the Windows display: GDI on the HDC a DirectDraw surface hands out.
#pragma once

#include "platform/DeviceContext.h"

#include <windows.h>

namespace Halcyra::Platform {

class TWin32DeviceContext final : public IDeviceContext {
public:
    explicit TWin32DeviceContext(HDC dc = nullptr) : FDc(dc) {}

    HDC Handle() const { return FDc; }
    void SetHandle(HDC dc) { FDc = dc; }

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
    HDC FDc;
};

} // namespace Halcyra::Platform
