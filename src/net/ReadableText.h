// A feed's text as a reader shows it: the references the text still carries decoded, HTML's markup
// taken out, white space made plain. Works on UTF-8 and gives UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// What a text is, once the XML parser has read it.
enum class TTextKind {
    // Text that may still carry character references: feeds escape their titles twice often enough
    // that a reader decodes them once more.
    Text,
    // HTML: tags of HTML's elements and comments are markup and are left out; then, as in Text,
    // references are decoded. A "<" that starts no HTML tag is a character.
    Html,
};

// The text with every XML and HTML named reference ("&mdash;", "&nbsp;"), decimal and hexadecimal
// reference decoded once (an unknown name stays as written; the numbers 128 to 159 mean the
// Windows-1252 characters, as browsers read them), every run of white space, control characters
// and tags that break a line one space, invisible characters (zero-width ones, the soft hyphen)
// left out, and no space at either end.
std::string ReadableText(std::string_view utf8, TTextKind kind);

// True for an HTML element that parts the words around it (a line break or a block: br, p, div, li);
// false for inline elements and for names HTML does not know.
bool PartsWords(std::string_view elementName);

// A character reference as a text writes it: "&" name ";" or "&#" decimal ";" or "&#x" hex ";".
struct TReference {
    // The bytes from "&" through ";".
    std::size_t Length = 0;
    // The name of a named reference; empty for a numbered one.
    std::string_view Name;
    // The character of a numbered reference: the numbers 128 to 159 mean the Windows-1252
    // characters, as browsers read them; 0, a surrogate or a number past U+10FFFF give U+FFFD.
    char32_t Character = 0;
};

// The reference that starts at text[at]; nullopt when there is none there (no "&", no ";", a name
// or number of more than 32 characters, characters no name or number has).
std::optional<TReference> ReferenceAt(std::string_view text, std::size_t at);

// The character an HTML or XML named reference stands for ("mdash" gives U+2014); nullopt for a
// name neither knows. Names are case-sensitive.
std::optional<char32_t> NamedReference(std::string_view name);

} // namespace Halcyra::Net
