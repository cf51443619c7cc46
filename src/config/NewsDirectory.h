// The news directory on the maker's web host: the addresses of its two requests (the categories,
// and the feeds of one category), the entries read out of its answers, and the title of a feed.
// Answers are read by marker search, as the directory writes them, never by an XML parser.
#pragma once

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

// "http://" + host + the categories' path.
std::string DirectoryCategoriesURL(const std::string &host);
// The feeds of a category: the id is appended as received, without encoding.
std::string DirectoryFeedListURL(const std::string &host, const std::string &categoryId);

// True when the text between the body's first "<" and the next blank is root, so a body that starts
// with an XML declaration has no root the directory knows.
bool HasDirectoryRoot(const std::string &body, std::string_view root);

// One entry of an answer: a category's name and id, or a feed's title and address, verbatim.
struct TDirectoryEntry {
    std::string Name;
    std::string Value;
};

// The "<item>" ... "</item>" blocks of body in order, each giving the texts between "<nameTag>" and
// "</nameTag>" and between "<valueTag>" and "</valueTag>" (empty when a block lacks one).
std::vector<TDirectoryEntry> DirectoryEntries(const std::string &body, const std::string &nameTag,
                                              const std::string &valueTag);

// The title a feed gives itself: when the body starts like a feed (an XML declaration, or "<rss "),
// the text of its first "<title>", cleaned of CDATA brackets and character references; otherwise
// "Not Available".
std::string FeedTitle(const std::string &body);

inline constexpr const char *NotAvailable = "Not Available";

} // namespace Halcyra
