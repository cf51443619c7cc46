// Fuzz target: the news feed reader, the directory's answers and the text conversions on arbitrary
// bytes. Besides the sanitizers, it checks what the reader promises: the line keeps its form and its
// bounds, the gadget texts hold no control bytes, a link is a web page's address, every UTF-8 text
// the reader makes is valid, and readable text has no blank at its ends.
#include "config/NewsDirectory.h"
#include "net/AnsiText.h"
#include "net/DocumentEncoding.h"
#include "net/FeedParsing.h"
#include "net/FeedTargets.h"
#include "net/ReadableText.h"
#include "net/Utf8.h"
#include "net/Windows1252.h"
#include "net/XmlDocument.h"
#include "net/WebAddress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

constexpr std::string_view Charsets[] = {"", "iso-8859-1", "utf-16", "windows-1252", "utf-8"};

bool HasControlBytes(std::string_view text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 32)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace Halcyra::Net;
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    // The first byte picks the answer's charset, so that the character set paths are reached too.
    TAnswerReading reading;
    reading.Charset = size > 0 ? Charsets[data[0] % std::size(Charsets)] : "";
    reading.Address = "https://feeds.example/rss/all.xml";

    const TNewsValues news = ParseNewsFeed(input, reading);
    if (news.NameNews) {
        Check(news.NameNews->size() <= MaxNewsNameBytes && !HasControlBytes(*news.NameNews));
        Check(news.RssLine.starts_with(NewsSeparator) && news.RssLine.ends_with(NewsSeparator));
        Check(news.RssLine.size() <= MaxNewsLineBytes && !HasControlBytes(news.RssLine));
    } else {
        Check(news.RssLine == NewsNotAvailable && !news.NewsLink);
    }
    if (news.NewsLink)
        Check(news.NewsLink->size() <= MaxNewsLinkBytes && Halcyra::Net::BrowserAddress(*news.NewsLink) == *news.NewsLink);

    for (const Halcyra::TDirectoryEntry &entry : Halcyra::DirectoryEntries(input, "rsslist", "title", "url", reading))
        Check(!entry.Name.empty() && !entry.Value.empty() && !HasControlBytes(entry.Name));
    Check(Halcyra::BuiltInDirectory(input, Windows1252Encodings()).size() <= Halcyra::MaxDirectoryEntries);

    const std::string utf8 = DocumentToUtf8(input, reading.Charset, Windows1252Encodings());
    Check(IsValidUtf8(utf8));
    Check(IsValidUtf8(MendedXml(utf8)));
    for (TTextKind kind : {TTextKind::Text, TTextKind::Html}) {
        const std::string readable = ReadableText(utf8, kind);
        Check(IsValidUtf8(readable) && !readable.starts_with(' ') && !readable.ends_with(' '));
    }
    Check(Utf8ToAnsi(utf8, Windows1252Encodings(), 100).size() <= 100);
    return 0;
}
