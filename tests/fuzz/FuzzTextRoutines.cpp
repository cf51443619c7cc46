// Fuzz target: the feed text routines and the feed parsing on arbitrary bytes. Besides the
// sanitizers, it checks what the routines promise: tokens and rests are parts of their text, decoded
// text holds no control bytes and never grows, stripped text never grows.
#include "net/FeedParsing.h"
#include "net/TextRoutines.h"

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

bool IsPartOf(std::string_view part, std::string_view text)
{
    return part.empty() || (part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace Halcyra::Net;
    std::string_view input(reinterpret_cast<const char *>(data), size);

    // The first bytes name the markers: "start|end|text".
    std::size_t first = input.find('|');
    std::size_t second = first == std::string_view::npos ? first : input.find('|', first + 1);
    if (second != std::string_view::npos) {
        std::string start(input.substr(0, first));
        std::string end(input.substr(first + 1, second - first - 1));
        std::string text(input.substr(second + 1));
        std::string_view rest;
        std::string_view token;
        bool found = ExtractBetween(std::string_view(text), start, rest, token, end);
        Check(found ? IsPartOf(rest, text) && IsPartOf(token, text) : rest == NotFoundRest);
        std::string restCopy;
        std::string tokenCopy = "unchanged";
        ExtractBetween(text, start, restCopy, tokenCopy, end);
        Check(restCopy == rest && (found ? tokenCopy == token : tokenCopy == "unchanged"));
    }

    std::string text(input);
    std::string rest;
    std::string before;
    std::string name;
    bool found = false;
    ExtractEntity(text, rest, found, before, name);
    Check(rest.size() <= text.size());

    std::string decoded = DecodeEntities(input);
    Check(decoded.size() <= input.size());
    for (char c : decoded)
        Check(static_cast<unsigned char>(c) >= 32);
    std::string stripped = StripCData(input);
    Check(stripped.size() <= input.size());

    try {
        TWeatherValues weather = ParseWeatherFeed(input);
        // Either the not-available text or a part of the input.
        Check(weather.TodayNow == "NA" || weather.TodayNow.size() <= input.size());
    } catch (const EConvertError &) {
    }
    TNewsValues news = ParseNewsFeed(input);
    Check(!news.NameNews || news.NameNews->size() <= MaxNewsNameBytes);
    return 0;
}
