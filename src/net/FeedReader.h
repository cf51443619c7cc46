// The feed reader: what a news feed says of itself and its items, in every common format, picked by
// the document's root element (rss: RSS 0.91, 0.92 and 2.0; rdf:RDF: RSS 0.90 and 1.0; feed: Atom
// 0.3 and 1.0). Texts are UTF-8 as a reader shows them.
#pragma once

#include "net/XmlDocument.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Net {

struct TFeedSummary {
    // The feed's own title (never an item's, an image's or a text input's); empty when it has none.
    std::string Title;
    // The address of the feed's own page as written (references decoded); empty when it names none.
    std::string Link;
    // The titles of its items in document order; items without a title are left out.
    std::vector<std::string> Headlines;
};

// The feed a document is; nullopt when its root is no feed's. At most maxHeadlines are read.
std::optional<TFeedSummary> ReadFeed(const TXmlDocument &document, std::size_t maxHeadlines);

} // namespace Halcyra::Net
