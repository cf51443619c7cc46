// Reference decoding, markup removal and white space for feed texts. The names of HTML's elements
// and references are libxml2's tables of HTML 4.
#include "net/ReadableText.h"

#include "net/Utf8.h"
#include "net/Windows1252.h"

#include <libxml/HTMLparser.h>

namespace Halcyra::Net {
namespace {

// The longest reference name or number read; HTML's longest name has 8 letters.
constexpr std::size_t MaxReferenceLength = 32;

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsNameCharacter(char c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == ':';
}

// Decodes the reference at text[at], appending its character and moving at past it; false when
// there is no reference there that names a character.
bool DecodeReference(std::string_view text, std::size_t &at, std::string &out)
{
    const std::optional<TReference> reference = ReferenceAt(text, at);
    if (!reference)
        return false;
    const std::optional<char32_t> character =
        reference->Name.empty() ? std::optional<char32_t>(reference->Character) : NamedReference(reference->Name);
    if (!character)
        return false;
    AppendUtf8(out, *character);
    at += reference->Length;
    return true;
}

// Passes over the HTML markup at text[at] ("<" of a tag or comment), moving at past it; false when
// the "<" starts none. breaksLine tells whether the markup separates words.
bool SkipMarkup(std::string_view text, std::size_t &at, bool &breaksLine)
{
    if (text.substr(at, 4) == "<!--") {
        const std::size_t end = text.find("-->", at + 4);
        at = end == std::string_view::npos ? text.size() : end + 3;
        breaksLine = false;
        return true;
    }
    std::size_t nameStart = at + 1;
    if (nameStart < text.size() && text[nameStart] == '/')
        ++nameStart;
    std::size_t nameEnd = nameStart;
    while (nameEnd < text.size() && nameEnd - nameStart <= MaxReferenceLength &&
           (IsAsciiLetter(text[nameEnd]) || (nameEnd > nameStart && IsAsciiDigit(text[nameEnd]))))
        ++nameEnd;
    if (nameEnd == nameStart || nameEnd - nameStart > MaxReferenceLength)
        return false;
    if (nameEnd < text.size() && text[nameEnd] != '>' && text[nameEnd] != '/' && text[nameEnd] != ' ' &&
        text[nameEnd] != '\t' && text[nameEnd] != '\n' && text[nameEnd] != '\r')
        return false;
    const std::string name(text.substr(nameStart, nameEnd - nameStart));
    if (htmlTagLookup(reinterpret_cast<const xmlChar *>(name.c_str())) == nullptr)
        return false;
    // The tag ends at the first ">" outside a quoted attribute value.
    char quote = 0;
    std::size_t end = nameEnd;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (end == text.size())
        return false;
    breaksLine = PartsWords(name);
    at = end + 1;
    return true;
}

bool IsSpace(char32_t character)
{
    return character <= 0x20 || (character >= 0x7F && character <= 0xA0) || character == 0x1680 ||
           (character >= 0x2000 && character <= 0x200A) || character == 0x2028 || character == 0x2029 ||
           character == 0x202F || character == 0x205F || character == 0x3000;
}

bool IsInvisible(char32_t character)
{
    return character == 0x00AD || (character >= 0x200B && character <= 0x200D) || character == 0x2060 ||
           character == 0xFEFF;
}

// One space for every run of white space, none at the ends, invisible characters left out.
std::string PlainSpaces(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t start = at;
        const char32_t character = NextUtf8(text, at).value_or(ReplacementCharacter);
        if (IsSpace(character)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (IsInvisible(character))
            continue;
        if (pendingSpace)
            out.push_back(' ');
        pendingSpace = false;
        if (character == ReplacementCharacter && at - start != 3)
            AppendUtf8(out, ReplacementCharacter);
        else
            out.append(text.substr(start, at - start));
    }
    return out;
}

} // namespace

std::optional<TReference> ReferenceAt(std::string_view text, std::size_t at)
{
    if (at >= text.size() || text[at] != '&')
        return std::nullopt;
    std::size_t end = at + 1;
    const bool numbered = end < text.size() && text[end] == '#';
    const bool hex = numbered && end + 1 < text.size() && (text[end + 1] == 'x' || text[end + 1] == 'X');
    const std::size_t first = end + (numbered ? 1 : 0) + (hex ? 1 : 0);
    for (end = first; end < text.size() && end - first < MaxReferenceLength; ++end) {
        const char c = text[end];
        if (numbered ? !(hex ? IsHexDigit(c) : IsAsciiDigit(c)) : !IsNameCharacter(c))
            break;
    }
    if (end == first || end >= text.size() || text[end] != ';')
        return std::nullopt;
    TReference reference;
    reference.Length = end + 1 - at;
    if (!numbered) {
        reference.Name = text.substr(first, end - first);
        return reference;
    }
    char32_t value = 0;
    for (char c : text.substr(first, end - first)) {
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(IsAsciiDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        if (value > 0x10FFFF)
            break;
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        reference.Character = ReplacementCharacter;
    else if (value >= 0x80 && value < 0xA0)
        reference.Character = Windows1252ToUnicode(static_cast<unsigned char>(value));
    else
        reference.Character = value;
    return reference;
}

bool PartsWords(std::string_view elementName)
{
    if (elementName.empty() || elementName.size() > MaxReferenceLength)
        return false;
    const std::string name(elementName);
    const htmlElemDesc *element = htmlTagLookup(reinterpret_cast<const xmlChar *>(name.c_str()));
    // Inline elements run on within a line; block elements and line breaks part words.
    return element != nullptr && (element->isinline == 0 || name == "br" || name == "BR");
}

std::optional<char32_t> NamedReference(std::string_view name)
{
    // XML's apos is not one of HTML 4's names.
    if (name == "apos")
        return U'\'';
    if (name.empty() || name.size() > MaxReferenceLength)
        return std::nullopt;
    const std::string terminated(name);
    const htmlEntityDesc *entity = htmlEntityLookup(reinterpret_cast<const xmlChar *>(terminated.c_str()));
    if (entity == nullptr)
        return std::nullopt;
    return static_cast<char32_t>(entity->value);
}

std::string ReadableText(std::string_view utf8, TTextKind kind)
{
    std::string decoded;
    decoded.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char c = utf8[at];
        bool breaksLine = false;
        if (c == '&' && DecodeReference(utf8, at, decoded))
            continue;
        if (c == '<' && kind == TTextKind::Html && SkipMarkup(utf8, at, breaksLine)) {
            if (breaksLine)
                decoded.push_back(' ');
            continue;
        }
        decoded.push_back(c);
        ++at;
    }
    return PlainSpaces(decoded);
}

} // namespace Halcyra::Net
