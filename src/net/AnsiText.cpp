// Conversion to the ANSI code page with the stand-ins of tools/standins/generate.
#include "net/AnsiText.h"

#include "net/Utf8.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace Halcyra::Net {
namespace {

struct TStandIn {
    char32_t Character;
    std::string_view Text;
};

constexpr TStandIn StandIns[] = {
#include "net/AnsiStandIns.inc"
};

static_assert(std::is_sorted(std::begin(StandIns), std::end(StandIns),
                             [](const TStandIn &a, const TStandIn &b) { return a.Character < b.Character; }));

std::optional<std::string_view> StandInOf(char32_t character)
{
    // A combining mark only decorates the letter before it.
    if (character >= 0x0300 && character <= 0x036F)
        return std::string_view();
    const auto found = std::lower_bound(std::begin(StandIns), std::end(StandIns), character,
                                        [](const TStandIn &entry, char32_t wanted) { return entry.Character < wanted; });
    if (found != std::end(StandIns) && found->Character == character)
        return found->Text;
    return std::nullopt;
}

// The bytes of one character: itself when the code page has it, else its stand-in, else "?".
void AppendCharacter(char32_t character, const Platform::ITextEncodings &encodings, std::string &out)
{
    // ASCII is the same in every ANSI code page.
    if (character < 0x80) {
        out.push_back(static_cast<char>(character));
        return;
    }
    if (encodings.AppendAnsi(character, out))
        return;
    // The full-width forms of ASCII.
    if (character >= 0xFF01 && character <= 0xFF5E) {
        out.push_back(static_cast<char>(character - 0xFEE0));
        return;
    }
    if (const std::optional<std::string_view> standIn = StandInOf(character)) {
        out.append(*standIn);
        return;
    }
    out.push_back('?');
}

} // namespace

std::string Utf8ToAnsi(std::string_view utf8, const Platform::ITextEncodings &encodings, std::size_t maxBytes)
{
    std::string out;
    std::string piece;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<char32_t> character = NextUtf8(utf8, at);
        piece.clear();
        AppendCharacter(character.value_or(ReplacementCharacter), encodings, piece);
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
    }
    return out;
}

} // namespace Halcyra::Net
