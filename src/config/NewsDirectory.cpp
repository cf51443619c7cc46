// Reading the news directory's answers, the built-in directory and a feed's title with the feed
// reader.
#include "config/NewsDirectory.h"

#include "net/AnsiText.h"
#include "net/ReadableText.h"
#include "net/TextRoutines.h"
#include "net/XmlDocument.h"

namespace Halcyra {
namespace {

// The longest name or value taken from an answer.
constexpr std::size_t MaxEntryBytes = 512;

Net::TXmlElement ChildNamed(const Net::TXmlElement &parent, std::string_view name)
{
    for (const Net::TXmlElement &child : parent.Children()) {
        if (child.LocalName() == name)
            return child;
    }
    return {};
}

// A name as a reader shows it.
std::string ChildName(const Net::TXmlElement &item, std::string_view tag)
{
    return Net::ReadableText(ChildNamed(item, tag).Text(MaxEntryBytes * 4), Net::TTextKind::Text);
}

// An id or an address: its text with the blanks at its ends dropped, nothing decoded again.
std::string ChildValue(const Net::TXmlElement &item, std::string_view tag)
{
    return std::string(Net::TrimmedBlanks(ChildNamed(item, tag).Text(MaxEntryBytes + 1)));
}

std::vector<TDirectoryEntry> EntriesOf(const Net::TXmlElement &list, std::string_view nameTag, std::string_view valueTag,
                                       const Platform::ITextEncodings &encodings)
{
    std::vector<TDirectoryEntry> entries;
    for (const Net::TXmlElement &item : list.Children()) {
        if (entries.size() >= MaxDirectoryEntries)
            break;
        if (item.LocalName() != "item")
            continue;
        const std::string name = ChildName(item, nameTag);
        std::string value = ChildValue(item, valueTag);
        if (name.empty() || value.empty() || value.size() > MaxEntryBytes)
            continue;
        entries.push_back({Net::Utf8ToAnsi(name, encodings, MaxEntryBytes), std::move(value)});
    }
    return entries;
}

} // namespace

std::string DirectoryCategoriesURL(const std::string &host)
{
    return "http://" + host + DirectoryCategoriesPath;
}

std::string DirectoryFeedListURL(const std::string &host, const std::string &categoryId)
{
    return "http://" + host + DirectoryFeedListPath + categoryId;
}

std::vector<TDirectoryEntry> DirectoryEntries(std::string_view body, std::string_view root, std::string_view nameTag,
                                              std::string_view valueTag, const Net::TAnswerReading &reading)
{
    const Net::TXmlDocument document = Net::TXmlDocument::Read(body, reading.Charset, *reading.Encodings);
    const Net::TXmlElement list = document.Root();
    if (list.LocalName() != root)
        return {};
    return EntriesOf(list, nameTag, valueTag, *reading.Encodings);
}

std::vector<TBuiltInCategory> BuiltInDirectory(std::string_view asset, const Platform::ITextEncodings &encodings)
{
    const Net::TXmlDocument document = Net::TXmlDocument::Read(asset, {}, encodings);
    const Net::TXmlElement root = document.Root();
    std::vector<TBuiltInCategory> categories;
    if (root.LocalName() != DirectoryCategoriesRoot)
        return categories;
    for (const Net::TXmlElement &item : root.Children()) {
        if (item.LocalName() != "item")
            continue;
        TBuiltInCategory category{{Net::Utf8ToAnsi(ChildName(item, "category"), encodings, MaxEntryBytes), ChildValue(item, "id")},
                                  EntriesOf(ChildNamed(item, DirectoryFeedListRoot), "title", "url", encodings)};
        if (!category.Category.Name.empty() && !category.Feeds.empty())
            categories.push_back(std::move(category));
    }
    return categories;
}

std::vector<TBuiltInCategory> EmbeddedNewsDirectory(const Platform::IModuleResources &resources,
                                                    const Platform::ITextEncodings &encodings)
{
    const auto bytes = resources.Find(Platform::ResourceTypeData, NewsDirectoryResourceName);
    if (!bytes)
        return {};
    return BuiltInDirectory(std::string_view(reinterpret_cast<const char *>(bytes->data()), bytes->size()), encodings);
}

std::string FeedTitle(std::string_view body, const Net::TAnswerReading &reading)
{
    const Net::TNewsValues feed = Net::ParseNewsFeed(body, reading);
    return feed.NameNews && !feed.NameNews->empty() ? *feed.NameNews : std::string(NotAvailable);
}

} // namespace Halcyra
