// One small reader per format family. Elements are taken by their local name in the namespace the
// format puts them in (for RSS 2.0 usually none), so that a module's element of the same name
// (media:title, atom:link) is never mistaken for the feed's own.
#include "net/FeedReader.h"

#include "net/ReadableText.h"
#include "net/TextRoutines.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace Halcyra::Net {
namespace {

constexpr std::string_view RdfNamespace = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view Rss10Namespace = "http://purl.org/rss/1.0/";
constexpr std::string_view Rss090Namespace = "http://my.netscape.com/rdf/simple/0.9/";
constexpr std::string_view Atom10Namespace = "http://www.w3.org/2005/Atom";
constexpr std::string_view Atom03Namespace = "http://purl.org/atom/ns#";
constexpr std::string_view DublinCoreNamespace = "http://purl.org/dc/elements/1.1/";

// The most of an element's text read before it is made readable: far more than any title needs,
// little enough that a hostile feed cannot make the reader hold much.
constexpr std::size_t RawTextLimit = 64 * 1024;

// The namespaces a format's own elements may be in.
using TNamespaces = std::initializer_list<std::string_view>;

bool IsIn(const TXmlElement &element, TNamespaces namespaces)
{
    return std::find(namespaces.begin(), namespaces.end(), element.Namespace()) != namespaces.end();
}

std::vector<TXmlElement> ChildrenNamed(const TXmlElement &parent, std::string_view name, TNamespaces namespaces)
{
    std::vector<TXmlElement> found;
    for (const TXmlElement &child : parent.Children()) {
        if (child.LocalName() == name && IsIn(child, namespaces))
            found.push_back(child);
    }
    return found;
}

TXmlElement FirstChildNamed(const TXmlElement &parent, std::string_view name, TNamespaces namespaces)
{
    for (const TXmlElement &child : parent.Children()) {
        if (child.LocalName() == name && IsIn(child, namespaces))
            return child;
    }
    return {};
}

std::string Readable(const TXmlElement &element, TTextKind kind)
{
    return ReadableText(element.Text(RawTextLimit), kind);
}

// An RSS title: the format's own, else Dublin Core's. RSS titles are HTML in practice (CDATA full of
// tags, escaped quotes).
std::string RssTitle(const TXmlElement &parent, TNamespaces namespaces)
{
    TXmlElement title = FirstChildNamed(parent, "title", namespaces);
    if (!title)
        title = FirstChildNamed(parent, "title", {DublinCoreNamespace});
    return title ? Readable(title, TTextKind::Html) : std::string();
}

// The first link with an address; an address is decoded once, as XML decodes it.
std::string RssLink(const TXmlElement &channel, TNamespaces namespaces)
{
    for (const TXmlElement &link : ChildrenNamed(channel, "link", namespaces)) {
        const std::string text = link.Text(RawTextLimit);
        if (!TrimmedBlanks(text).empty())
            return std::string(TrimmedBlanks(text));
    }
    return {};
}

void AddHeadlines(const std::vector<TXmlElement> &items, TNamespaces namespaces, std::size_t maxHeadlines,
                  TFeedSummary &feed)
{
    for (const TXmlElement &item : items) {
        if (feed.Headlines.size() >= maxHeadlines)
            return;
        std::string title = RssTitle(item, namespaces);
        if (!title.empty())
            feed.Headlines.push_back(std::move(title));
    }
}

// RSS 0.91, 0.92 and 2.0: everything in the channel; items outside it, as some old feeds write them,
// count when the channel holds none.
TFeedSummary ReadRss(const TXmlElement &root, std::size_t maxHeadlines)
{
    const TNamespaces own = {root.Namespace()};
    TFeedSummary feed;
    // A document without a channel keeps the channel's elements in its root.
    TXmlElement channel = FirstChildNamed(root, "channel", own);
    if (!channel)
        channel = root;
    feed.Title = RssTitle(channel, own);
    feed.Link = RssLink(channel, own);
    std::vector<TXmlElement> items = ChildrenNamed(channel, "item", own);
    if (items.empty())
        items = ChildrenNamed(root, "item", own);
    AddHeadlines(items, own, maxHeadlines, feed);
    return feed;
}

// RSS 0.90 and 1.0: the items follow the channel inside rdf:RDF (some feeds put them in the channel).
TFeedSummary ReadRdf(const TXmlElement &root, std::size_t maxHeadlines)
{
    const TNamespaces own = {Rss10Namespace, Rss090Namespace, std::string_view()};
    TFeedSummary feed;
    const TXmlElement channel = FirstChildNamed(root, "channel", own);
    feed.Title = RssTitle(channel, own);
    feed.Link = RssLink(channel, own);
    AddHeadlines(ChildrenNamed(channel, "item", own), own, maxHeadlines, feed);
    AddHeadlines(ChildrenNamed(root, "item", own), own, maxHeadlines, feed);
    return feed;
}

// An Atom text construct: type "html" (1.0) or "text/html" (0.3, mode "escaped") is HTML; "xhtml" is
// markup whose text is read from its elements; anything else is text.
std::string AtomText(const TXmlElement &element)
{
    const std::string type = element.Attribute("type").value_or("text");
    return Readable(element, type == "html" || type == "text/html" ? TTextKind::Html : TTextKind::Text);
}

// The feed's page: its first link to an alternate (a link without rel is one), preferring a web page.
std::string AtomLink(const TXmlElement &feedElement, TNamespaces own)
{
    std::string found;
    for (const TXmlElement &link : ChildrenNamed(feedElement, "link", own)) {
        const std::string rel = link.Attribute("rel").value_or("alternate");
        const std::optional<std::string> href = link.Attribute("href");
        if (rel != "alternate" || !href || href->empty())
            continue;
        const std::string type = link.Attribute("type").value_or("text/html");
        if (type == "text/html" || type == "application/xhtml+xml")
            return *href;
        if (found.empty())
            found = *href;
    }
    return found;
}

TFeedSummary ReadAtom(const TXmlElement &root, std::size_t maxHeadlines)
{
    const TNamespaces own = {root.Namespace()};
    TFeedSummary feed;
    if (const TXmlElement title = FirstChildNamed(root, "title", own))
        feed.Title = AtomText(title);
    feed.Link = AtomLink(root, own);
    for (const TXmlElement &entry : ChildrenNamed(root, "entry", own)) {
        if (feed.Headlines.size() >= maxHeadlines)
            break;
        if (const TXmlElement title = FirstChildNamed(entry, "title", own)) {
            std::string text = AtomText(title);
            if (!text.empty())
                feed.Headlines.push_back(std::move(text));
        }
    }
    return feed;
}

} // namespace

std::optional<TFeedSummary> ReadFeed(const TXmlDocument &document, std::size_t maxHeadlines)
{
    const TXmlElement root = document.Root();
    const std::string_view name = root.LocalName();
    if (name == "rss" && !IsIn(root, {Atom10Namespace, Atom03Namespace, RdfNamespace}))
        return ReadRss(root, maxHeadlines);
    if (name == "RDF" && root.Namespace() == RdfNamespace)
        return ReadRdf(root, maxHeadlines);
    if (name == "feed" && IsIn(root, {Atom10Namespace, Atom03Namespace, std::string_view()}))
        return ReadAtom(root, maxHeadlines);
    return std::nullopt;
}

} // namespace Halcyra::Net
