// A downloaded XML document read with libxml2: its bytes converted to UTF-8 first, then parsed as
// XML, and when it is not well-formed parsed again, forgivingly, after mending what feeds commonly
// get wrong. The reader of feeds and of the news directory's answers share it.
#pragma once

#include "platform/TextEncodings.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace Halcyra::Net {

// One element of a read document, valid while the document is; a default-made element stands for
// none (false).
class TXmlElement {
public:
    TXmlElement() = default;

    explicit operator bool() const { return FNode != nullptr; }
    // The name without its prefix ("title" for "dc:title").
    std::string_view LocalName() const;
    // The namespace's URI; empty for an element in no namespace.
    std::string_view Namespace() const;
    // The value of the attribute of this name (without prefix, in any namespace).
    std::optional<std::string> Attribute(const std::string &name) const;
    // The child elements in document order.
    std::vector<TXmlElement> Children() const;
    // The text of the element and everything in it (text, CDATA, the characters of HTML's named
    // references that XML does not define), cut at limit bytes on a character's boundary.
    std::string Text(std::size_t limit) const;

private:
    friend class TXmlDocument;
    explicit TXmlElement(_xmlNode *node) : FNode(node) {}

    _xmlNode *FNode = nullptr;
};

// How a document was read.
enum class TXmlReading { WellFormed, Mended, Unreadable };

class TXmlDocument {
public:
    // Reads body (see DocumentToUtf8 for the character set). The parser reads no DTD, substitutes no
    // entities, opens nothing on the network and reports nothing.
    static TXmlDocument Read(std::string_view body, std::string_view charset, const Platform::ITextEncodings &encodings);

    // The root element; none when the document is unreadable.
    TXmlElement Root() const;
    TXmlReading Reading() const { return FReading; }

private:
    struct TFree {
        void operator()(_xmlDoc *document) const;
    };

    std::unique_ptr<_xmlDoc, TFree> FDocument;
    TXmlReading FReading = TXmlReading::Unreadable;
};

// The mending of a document that is not well-formed, on its UTF-8 text: what precedes its first
// markup is left out; an "&" that starts no reference becomes "&amp;"; a reference to a name XML
// does not define becomes the number of its HTML character, or "&amp;" + name + ";" when HTML has
// none either; a "<" that starts no markup becomes "&lt;"; the empty HTML elements (br, img, hr, …)
// are closed; control characters XML forbids become spaces. CDATA sections, comments and
// processing instructions are kept as they are.
std::string MendedXml(std::string_view utf8);

} // namespace Halcyra::Net
