// Reading the news directory's answers and a feed's title with the feed parsing's text routines.
#include "config/NewsDirectory.h"

#include "net/TextRoutines.h"

namespace Halcyra {
namespace {

// The text between the first start marker and the next end marker; empty when either is missing.
std::string_view Between(std::string_view text, std::string_view start, std::string_view end)
{
    std::string_view rest;
    std::string_view token;
    return Net::ExtractBetween(text, start, rest, token, end) ? token : std::string_view();
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

bool HasDirectoryRoot(const std::string &body, std::string_view root)
{
    return Between(body, "<", " ") == root;
}

std::vector<TDirectoryEntry> DirectoryEntries(const std::string &body, const std::string &nameTag,
                                              const std::string &valueTag)
{
    const std::string nameStart = "<" + nameTag + ">", nameEnd = "</" + nameTag + ">";
    const std::string valueStart = "<" + valueTag + ">", valueEnd = "</" + valueTag + ">";
    std::vector<TDirectoryEntry> entries;
    std::string_view rest = body;
    std::string_view item;
    while (entries.size() < MaxDirectoryEntries && Net::ExtractBetween(rest, "<item>", rest, item, "</item>")) {
        entries.push_back({std::string(Between(item, nameStart, nameEnd)), std::string(Between(item, valueStart, valueEnd))});
    }
    return entries;
}

std::string FeedTitle(const std::string &body)
{
    std::string_view title = NotAvailable;
    const bool declared = Between(body, "<?", " ") == "xml";
    const bool rss = Between(body, "<", " ") == "rss";
    if (declared || rss) {
        std::string_view rest;
        Net::ExtractBetween(body, "<title>", rest, title, "</title>");
    }
    return Net::DecodeEntities(Net::StripCData(title));
}

} // namespace Halcyra
