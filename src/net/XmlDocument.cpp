// libxml2 behind the feed reader: strict parsing, the mending of ill-formed feeds, recovery.
#include "net/XmlDocument.h"

#include "net/DocumentEncoding.h"
#include "net/ReadableText.h"
#include "net/Utf8.h"
#include "net/Windows1252.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <limits>

namespace Halcyra::Net {
namespace {

// No DTD is read, no entity substituted, nothing fetched, nothing printed; the declared encoding is
// passed over because the text is UTF-8 by then.
constexpr int ParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
// How far into a document junk before its XML declaration is looked past.
constexpr std::size_t DeclarationSearch = 4096;

// The empty elements of HTML; an RSS element of the same name (link, source) has content, so those
// are not among them.
constexpr std::string_view EmptyHtmlElements[] = {"br", "hr", "img", "wbr", "area", "col", "embed",
                                                  "input", "meta", "param", "track", "basefont", "frame"};

std::string_view ToView(const xmlChar *text)
{
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char *>(text));
}

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameCharacter(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool IsXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

std::string NumericReference(char32_t c)
{
    return "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
}

// The reference at text[at] ("&"), mended, appended; at moves past what was read.
void MendReference(std::string_view text, std::size_t &at, std::string &out)
{
    const std::optional<TReference> reference = ReferenceAt(text, at);
    if (!reference) {
        out += "&amp;";
        ++at;
        return;
    }
    const std::string_view name = reference->Name;
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") {
        out.append(text.substr(at, reference->Length));
    } else if (name.empty()) {
        out += IsXmlCharacter(reference->Character) ? NumericReference(reference->Character) : " ";
    } else if (const std::optional<char32_t> character = NamedReference(name)) {
        out += NumericReference(*character);
    } else {
        out += "&amp;";
        out.append(name);
        out.push_back(';');
    }
    at += reference->Length;
}

// Copies text from at through the end marker (or to the end), moving at past it.
void CopyThrough(std::string_view text, std::size_t &at, std::string_view endMarker, std::string &out)
{
    const std::size_t end = text.find(endMarker, at);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end + endMarker.size();
    out.append(text.substr(at, stop - at));
    at = stop;
}

// A start or end tag at text[at] ("<"), mended: references in attribute values, a "<" inside one,
// an empty HTML element left open.
void MendTag(std::string_view text, std::size_t &at, std::string &out)
{
    const bool endTag = text[at + 1] == '/';
    std::size_t nameStart = at + (endTag ? 2 : 1);
    std::size_t nameEnd = nameStart;
    while (nameEnd < text.size() && IsNameCharacter(text[nameEnd]))
        ++nameEnd;
    std::string lowered;
    for (char c : text.substr(nameStart, nameEnd - nameStart))
        lowered.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    out.append(text.substr(at, nameEnd - at));
    at = nameEnd;
    char quote = 0;
    bool selfClosed = false;
    while (at < text.size()) {
        const char c = text[at];
        if (quote != 0) {
            if (c == '&') {
                MendReference(text, at, out);
                continue;
            }
            if (c == '<') {
                out += "&lt;";
                ++at;
                continue;
            }
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
            selfClosed = false;
        } else if (c == '>') {
            break;
        } else if (c == '<') {
            // The tag never ended: what follows is markup of its own.
            out.push_back('>');
            return;
        } else if (c == '/') {
            selfClosed = true;
        } else if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            selfClosed = false;
        }
        out.push_back(c);
        ++at;
    }
    if (at == text.size())
        return;
    if (!endTag && !selfClosed) {
        for (std::string_view empty : EmptyHtmlElements) {
            if (lowered == empty) {
                out.push_back('/');
                break;
            }
        }
    }
    out.push_back('>');
    ++at;
}

xmlDocPtr Parse(const std::string &text, int options)
{
    xmlInitParser();
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return nullptr;
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr)
        return nullptr;
    xmlDocPtr document = xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", options);
    if (document != nullptr && !context->wellFormed && (options & XML_PARSE_RECOVER) == 0) {
        xmlFreeDoc(document);
        document = nullptr;
    }
    xmlFreeParserCtxt(context);
    return document;
}

void AppendText(const xmlNode *node, std::string &out, std::size_t limit)
{
    for (const xmlNode *child = node->children; child != nullptr && out.size() < limit; child = child->next) {
        switch (child->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE: {
            const std::string_view content = ToView(child->content);
            out.append(content.substr(0, limit - out.size()));
            break;
        }
        case XML_ENTITY_REF_NODE:
            if (const std::optional<char32_t> character = NamedReference(ToView(child->name)))
                AppendUtf8(out, *character);
            break;
        case XML_ELEMENT_NODE:
            if (PartsWords(ToView(child->name))) {
                out.push_back(' ');
                AppendText(child, out, limit);
                out.push_back(' ');
            } else {
                AppendText(child, out, limit);
            }
            break;
        default:
            break;
        }
    }
}

} // namespace

std::string_view TXmlElement::LocalName() const
{
    return FNode == nullptr ? std::string_view() : ToView(FNode->name);
}

std::string_view TXmlElement::Namespace() const
{
    return FNode == nullptr || FNode->ns == nullptr ? std::string_view() : ToView(FNode->ns->href);
}

std::optional<std::string> TXmlElement::Attribute(const std::string &name) const
{
    if (FNode == nullptr)
        return std::nullopt;
    for (const xmlAttr *attribute = FNode->properties; attribute != nullptr; attribute = attribute->next) {
        if (ToView(attribute->name) != name)
            continue;
        std::string value;
        AppendText(reinterpret_cast<const xmlNode *>(attribute), value, std::string::npos);
        return value;
    }
    return std::nullopt;
}

std::vector<TXmlElement> TXmlElement::Children() const
{
    std::vector<TXmlElement> children;
    if (FNode == nullptr)
        return children;
    for (xmlNode *child = FNode->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            children.push_back(TXmlElement(child));
    }
    return children;
}

std::string TXmlElement::Text(std::size_t limit) const
{
    std::string text;
    if (FNode == nullptr)
        return text;
    AppendText(FNode, text, limit);
    // A cut inside a character leaves its first bytes: they go.
    std::size_t end = text.size();
    while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80)
        --end;
    if (end > 0 && static_cast<unsigned char>(text[end - 1]) >= 0xC0) {
        std::size_t at = end - 1;
        if (!NextUtf8(text, at) || at != text.size())
            text.resize(end - 1);
    }
    return text;
}

void TXmlDocument::TFree::operator()(_xmlDoc *document) const
{
    xmlFreeDoc(document);
}

TXmlDocument TXmlDocument::Read(std::string_view body, std::string_view charset, const Platform::ITextEncodings &encodings)
{
    TXmlDocument read;
    const std::string text = DocumentToUtf8(body, charset, encodings);
    if (xmlDocPtr strict = Parse(text, ParseOptions)) {
        read.FDocument.reset(strict);
        read.FReading = TXmlReading::WellFormed;
    } else if (xmlDocPtr mended = Parse(MendedXml(text), ParseOptions | XML_PARSE_RECOVER)) {
        read.FDocument.reset(mended);
        read.FReading = xmlDocGetRootElement(mended) != nullptr ? TXmlReading::Mended : TXmlReading::Unreadable;
    }
    return read;
}

TXmlElement TXmlDocument::Root() const
{
    return FDocument ? TXmlElement(xmlDocGetRootElement(FDocument.get())) : TXmlElement();
}

std::string MendedXml(std::string_view text)
{
    std::size_t start = text.find('<');
    const std::size_t declaration = text.substr(0, DeclarationSearch).find("<?xml ");
    if (declaration != std::string_view::npos)
        start = declaration;
    std::string out;
    if (start == std::string_view::npos)
        return out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t at = start; at < text.size();) {
        const char c = text[at];
        if (c == '&') {
            MendReference(text, at, out);
        } else if (c == '<') {
            const std::string_view rest = text.substr(at);
            if (rest.starts_with("<![CDATA["))
                CopyThrough(text, at, "]]>", out);
            else if (rest.starts_with("<!--"))
                CopyThrough(text, at, "-->", out);
            else if (rest.starts_with("<?"))
                CopyThrough(text, at, "?>", out);
            else if (rest.starts_with("<!"))
                // A document type with an internal subset ends after its "]".
                CopyThrough(text, at, rest.find('[') < rest.find('>') ? "]" : ">", out);
            else if (rest.size() > 1 && (IsNameStart(rest[1]) || (rest[1] == '/' && rest.size() > 2 && IsNameStart(rest[2]))))
                MendTag(text, at, out);
            else {
                out += "&lt;";
                ++at;
            }
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back(byte < 0x20 && c != '\t' && c != '\n' && c != '\r' ? ' ' : c);
            ++at;
        }
    }
    return out;
}

} // namespace Halcyra::Net
