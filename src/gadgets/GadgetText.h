// What the three gadgets share to write text over their panels: the font routine, the splitting of
// a text at markers, and the device context of the engine's back surface for the span of one draw.
#pragma once

#include "platform/DeviceContext.h"

#include <string_view>

namespace Halcyra {

// Colours of the gadgets' texts.
inline constexpr Platform::TColorRef GadgetWhite = 0xFFFFFF;
inline constexpr Platform::TColorRef GadgetGrey = 0x808080;
inline constexpr Platform::TColorRef GadgetTitleGrey = 0x999999;

// Creates a font of the given face, cell height and weight (in the character set of the system's
// ANSI code page, proof quality, variable pitch) and selects it into the device context. The caller
// deletes it; the font selected before is neither kept nor restored.
Platform::TFontHandle MyCreateFont(std::string_view face, int height, int weight, Platform::IDeviceContext &dc);

// Splits text at markers. The token starts after the first startMarker ("BEGIN": at the text's
// start, a marker that does not occur: nowhere, so token and rest are empty) and ends before the
// first endMarker after it; the rest follows that marker's first character. Without an endMarker
// after the start the token is empty and the rest is everything after the start.
std::string_view Parse1(std::string_view text, std::string_view startMarker, std::string_view &token,
                        std::string_view endMarker);

// The width of a text in the selected font; 0 when it cannot be measured.
int TextWidth(Platform::IDeviceContext &dc, std::string_view text);

// A gadget font for one draw: made and selected by MyCreateFont, deleted when it goes (before the
// device context is released, as it was made after it).
class TGadgetFont {
public:
    TGadgetFont(Platform::IDeviceContext &dc, std::string_view face, int height, int weight)
        : FDC(dc), FFont(MyCreateFont(face, height, weight, dc))
    {
    }
    ~TGadgetFont()
    {
        if (FFont != 0)
            FDC.DeleteFont(FFont);
    }
    TGadgetFont(const TGadgetFont &) = delete;
    TGadgetFont &operator=(const TGadgetFont &) = delete;

private:
    Platform::IDeviceContext &FDC;
    Platform::TFontHandle FFont;
};

// A text composed of pieces in place, never longer than its capacity (longer input is cut), so that
// a frame can put texts together without allocating.
template <std::size_t Capacity>
class TFixedText {
public:
    TFixedText &Append(std::string_view piece)
    {
        const std::size_t room = Capacity - FLength;
        const std::size_t count = piece.size() < room ? piece.size() : room;
        piece.copy(FBytes + FLength, count);
        FLength += count;
        return *this;
    }
    std::string_view View() const { return {FBytes, FLength}; }

private:
    char FBytes[Capacity];
    std::size_t FLength = 0;
};

} // namespace Halcyra
