// Character set detection and conversion of downloaded documents.
#include "net/DocumentEncoding.h"

#include "net/TextRoutines.h"
#include "net/Utf8.h"
#include "net/Windows1252.h"

#include <initializer_list>
#include <optional>

namespace Halcyra::Net {
namespace {

// The longest character set name taken from a document; real names are far shorter.
constexpr std::size_t MaxCharsetName = 40;

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text)
{
    std::string lowered;
    for (char c : text)
        lowered.push_back(Lower(c));
    return lowered;
}

// A name made of the characters names are made of, lowered; empty for anything else, so that no
// document can hand the system's converters an option ("//TRANSLIT") or a path.
std::string CharsetName(std::string_view text)
{
    text = TrimmedBlanks(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    if (text.empty() || text.size() > MaxCharsetName)
        return {};
    for (char c : text) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '-' || c == '_' || c == '.' || c == ':';
        if (!allowed)
            return {};
    }
    return Lowered(text);
}

// The encoding named by an XML declaration at the start of the text (after blanks, which a
// well-formed document would not have).
std::string DeclaredEncoding(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos || text.substr(start, 5) != "<?xml")
        return {};
    const std::size_t end = text.find("?>", start);
    const std::string_view declaration = text.substr(start, end == std::string_view::npos ? 200 : end - start);
    const std::size_t name = declaration.find("encoding");
    if (name == std::string_view::npos)
        return {};
    std::size_t at = declaration.find_first_not_of(" \t\r\n", name + 8);
    if (at == std::string_view::npos || declaration[at] != '=')
        return {};
    at = declaration.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string_view::npos || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const std::size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos)
        return {};
    return CharsetName(declaration.substr(at + 1, close - at - 1));
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string text;
    text.reserve(bytes.size());
    const auto unit = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t character = unit(at);
        if (character >= 0xD800 && character <= 0xDBFF && at + 3 < bytes.size()) {
            const char32_t low = unit(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                character = 0x10000 + ((character - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        AppendUtf8(text, character);
    }
    return text;
}

bool IsNamed(const std::string &charset, std::initializer_list<std::string_view> names)
{
    for (std::string_view name : names) {
        if (charset == name)
            return true;
    }
    return false;
}

bool HasMultiByteUtf8(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return IsValidUtf8(text);
    }
    return false;
}

std::string Windows1252ToUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes)
        AppendUtf8(text, Windows1252ToUnicode(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string ContentTypeCharset(std::string_view headerLines)
{
    std::size_t lineStart = 0;
    while (lineStart < headerLines.size()) {
        std::size_t lineEnd = headerLines.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = headerLines.size();
        const std::string line = Lowered(headerLines.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (!line.starts_with("content-type:"))
            continue;
        const std::size_t parameter = line.find("charset=");
        if (parameter == std::string::npos)
            return {};
        std::string_view value = std::string_view(line).substr(parameter + 8);
        value = value.substr(0, value.find(';'));
        return CharsetName(value);
    }
    return {};
}

std::string DocumentToUtf8(std::string_view body, std::string_view answerCharset,
                           const Platform::ITextEncodings &encodings)
{
    if (body.starts_with("\xEF\xBB\xBF"))
        return RepairedUtf8(body.substr(3));
    if (body.starts_with("\xFE\xFF"))
        return Utf16ToUtf8(body.substr(2), true);
    if (body.starts_with("\xFF\xFE"))
        return Utf16ToUtf8(body.substr(2), false);
    // Without a mark, the first character of an XML document is "<".
    if (body.size() >= 2 && body[0] == '<' && body[1] == '\0')
        return Utf16ToUtf8(body, false);
    if (body.size() >= 2 && body[0] == '\0' && body[1] == '<')
        return Utf16ToUtf8(body, true);

    std::string charset = DeclaredEncoding(body);
    if (charset.empty())
        charset = CharsetName(answerCharset);
    // UTF-16 named for bytes that are not laid out as UTF-16 (the declaration could be read) is a
    // label copied without thought; the bytes are most likely UTF-8.
    if (charset.empty() || IsNamed(charset, {"utf-8", "utf8", "unicode-1-1-utf-8", "utf-16", "utf-16le", "utf-16be", "ucs-2"}))
        return RepairedUtf8(body);
    if (HasMultiByteUtf8(body))
        return std::string(body);
    if (IsNamed(charset, {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1",
                          "l1", "cp819", "ibm819", "iso-ir-100", "csisolatin1", "us-ascii", "ascii", "ansi_x3.4-1968"}))
        return Windows1252ToUtf8(body);
    if (std::optional<std::string> converted = encodings.DecodeToUtf8(charset, body))
        return RepairedUtf8(*converted);
    return RepairedUtf8(body);
}

} // namespace Halcyra::Net
