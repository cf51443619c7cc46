// The gadgets' font routine, marker splitting and per-draw device context.
#include "gadgets/GadgetText.h"

namespace Halcyra {

using namespace Platform;

TFontHandle MyCreateFont(std::string_view face, int height, int weight, IDeviceContext &dc)
{
    TFontRequest request;
    request.Face = face;
    request.Height = height;
    request.Weight = weight;
    // The font's character set decides the code page its text is drawn in: the system's, which the
    // feed texts are converted to (ANSI_CHARSET would draw Windows-1252 on every system).
    request.CharSet = DefaultCharSet;
    const TFontHandle font = dc.CreateFontA(request);
    if (font != 0)
        dc.SelectFont(font);
    return font;
}

std::string_view Parse1(std::string_view text, std::string_view startMarker, std::string_view &token,
                        std::string_view endMarker)
{
    std::size_t start = 0;
    if (startMarker != "BEGIN") {
        const std::size_t found = startMarker.empty() ? std::string_view::npos : text.find(startMarker);
        if (found == std::string_view::npos) {
            token = {};
            return {};
        }
        start = found + startMarker.size();
    }
    const std::string_view tail = text.substr(start);
    // An empty end marker is found nowhere, as with an absent one.
    const std::size_t end = endMarker.empty() ? std::string_view::npos : tail.find(endMarker);
    if (end == std::string_view::npos) {
        token = {};
        return tail;
    }
    token = tail.substr(0, end);
    return tail.substr(end + 1);
}

int TextWidth(IDeviceContext &dc, std::string_view text)
{
    TTextSize size;
    return dc.GetTextExtentPoint32A(text, size) ? size.Width : 0;
}

} // namespace Halcyra
