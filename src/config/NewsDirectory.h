// The news directory of the RSS News tab: the addresses of the online directory's two requests (the
// categories, and the feeds of one category), the entries read out of its answers, the directory
// built into the program for when the online one cannot serve, and the title of a feed. Answers
// and feeds are read with the feed reader, so their texts come out as the dialog shows them.
#pragma once

#include "net/FeedParsing.h"
#include "platform/Resources.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Halcyra {

// The most entries read from one answer: a list longer than this helps no one pick, and a hostile
// answer must not fill the dialog's lists without end.
inline constexpr std::size_t MaxDirectoryEntries = 1000;

inline constexpr const char *DirectoryCategoriesPath = "/rssdir/category.php";
inline constexpr const char *DirectoryFeedListPath = "/rssdir/rsslist.php?category_id=";
inline constexpr const char *DirectoryCategoriesRoot = "categories";
inline constexpr const char *DirectoryFeedListRoot = "rsslist";
// The resource that holds the built-in directory.
inline constexpr const char *NewsDirectoryResourceName = "NEWSDIRECTORY";

// "http://" + host + the categories' path.
std::string DirectoryCategoriesURL(const std::string &host);
// The feeds of a category: the id is appended as received, without encoding.
std::string DirectoryFeedListURL(const std::string &host, const std::string &categoryId);

// One entry of an answer: a category's name and id, or a feed's title and address. The name is in
// the dialog's code page, the value (an id or an address) as the answer writes it.
struct TDirectoryEntry {
    std::string Name;
    std::string Value;
};

// The entries of an answer whose root element is root: its "item" elements in order, each giving
// the texts of its nameTag and valueTag elements, white space at their ends dropped. An item that
// lacks either is left out; an answer with another root gives none.
std::vector<TDirectoryEntry> DirectoryEntries(std::string_view body, std::string_view root, std::string_view nameTag,
                                              std::string_view valueTag, const Net::TAnswerReading &reading = {});

// A category of the built-in directory and its feeds.
struct TBuiltInCategory {
    TDirectoryEntry Category;
    std::vector<TDirectoryEntry> Feeds;
};

// The built-in directory: a categories answer in which every item also holds its category's
// rsslist. Categories without feeds are left out.
std::vector<TBuiltInCategory> BuiltInDirectory(std::string_view asset, const Platform::ITextEncodings &encodings);
// The directory built into the module; empty when the module lacks it.
std::vector<TBuiltInCategory> EmbeddedNewsDirectory(const Platform::IModuleResources &resources,
                                                    const Platform::ITextEncodings &encodings);

// The title a feed gives itself (see ParseNewsFeed for the formats read); "Not Available" for an
// answer that is no feed or a feed without a title.
std::string FeedTitle(std::string_view body, const Net::TAnswerReading &reading = {});

inline constexpr const char *NotAvailable = "Not Available";

} // namespace Halcyra
