// The feed text routines. They work on views so that a long feed is walked once, never copied per item.
#include "net/TextRoutines.h"

#include <array>
#include <charconv>
#include <utility>

namespace Halcyra::Net {
namespace {

constexpr std::string_view BeginMarker = "BEGIN";

struct TEntity {
    std::string_view Name;
    std::string_view Replacement;
};

constexpr std::array<TEntity, 9> EntityTable{{
    {"quot", "\""},
    {"amp", "&"},
    {"#039", "'"},
    {"apos", "'"},
    {"lt", "<"},
    {"gt", ">"},
    {"#36", "$"},
    {"#39", "'"},
    {"#038", "&"},
}};

// Every occurrence of what, left to right, without looking again at what was put in.
void ReplaceAll(std::string &text, std::string_view what, std::string_view with)
{
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, from)) {
        result.append(text, from, at - from);
        result.append(with);
        from = at + what.size();
    }
    if (from == 0)
        return;
    result.append(text, from, std::string::npos);
    text = std::move(result);
}

} // namespace

bool ExtractBetween(std::string_view text, std::string_view startMarker, std::string_view &rest,
                    std::string_view &token, std::string_view endMarker)
{
    std::size_t start = 0;
    if (startMarker != BeginMarker) {
        std::size_t at = startMarker.empty() ? std::string_view::npos : text.find(startMarker);
        if (at == std::string_view::npos) {
            rest = NotFoundRest;
            return false;
        }
        start = at + startMarker.size();
    }
    std::string_view tail = text.substr(start);
    std::size_t end = endMarker.empty() ? std::string_view::npos : tail.find(endMarker);
    if (end == std::string_view::npos) {
        rest = NotFoundRest;
        return false;
    }
    token = tail.substr(0, end);
    // Only the end marker's first character is passed over.
    rest = tail.substr(end + 1);
    return true;
}

void ExtractBetween(const std::string &text, const std::string &startMarker, std::string &rest,
                    std::string &token, const std::string &endMarker)
{
    std::string_view restView;
    std::string_view tokenView;
    bool found = ExtractBetween(std::string_view(text), startMarker, restView, tokenView, endMarker);
    // Build both results before assigning: rest or token may be the same string as text.
    std::string newToken = found ? std::string(tokenView) : std::string();
    rest = std::string(restView);
    if (found)
        token = std::move(newToken);
}

void ExtractEntity(std::string_view text, std::string_view &rest, bool &found, std::string_view &before,
                   std::string_view &name)
{
    found = true;
    std::size_t ampersand = text.find('&');
    if (ampersand == std::string_view::npos) {
        found = false;
        rest = text;
        return;
    }
    before = text.substr(0, ampersand);
    std::string_view tail = text.substr(ampersand + 1);
    std::size_t semicolon = tail.find(';');
    if (semicolon == std::string_view::npos) {
        found = false;
        rest = text;
        return;
    }
    name = tail.substr(0, semicolon);
    rest = tail.substr(semicolon + 1);
}

void ExtractEntity(const std::string &text, std::string &rest, bool &found, std::string &before,
                   std::string &name)
{
    std::string_view restView;
    std::string_view beforeView = before;
    std::string_view nameView = name;
    ExtractEntity(std::string_view(text), restView, found, beforeView, nameView);
    // Build every result first: the out arguments may be the same string as text.
    std::string newRest(restView);
    std::string newBefore(beforeView);
    std::string newName(nameView);
    rest = std::move(newRest);
    before = std::move(newBefore);
    name = std::move(newName);
}

std::string DecodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    for (;;) {
        std::string_view next;
        std::string_view before;
        std::string_view name;
        bool found = false;
        ExtractEntity(rest, next, found, before, name);
        rest = next;
        if (!found)
            break;
        out.append(before);
        std::string_view replacement;
        bool known = false;
        for (const TEntity &entity : EntityTable) {
            if (entity.Name == name) {
                replacement = entity.Replacement;
                known = true;
                break;
            }
        }
        // A reference the table does not know stays as it was written.
        if (known) {
            out.append(replacement);
        } else {
            out.push_back('&');
            out.append(name);
            out.push_back(';');
        }
    }
    out.append(rest);
    for (char &c : out) {
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    }
    return out;
}

std::string StripCData(std::string_view text)
{
    std::string out(text);
    ReplaceAll(out, "\xE2\x80\x99", "'");
    ReplaceAll(out, "&amp;#39;", "'");
    ReplaceAll(out, "<![CDATA[", "");
    ReplaceAll(out, "]]>", "");
    return out;
}

std::string_view TrimmedBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") + 1 - first);
}

int StrToInt(std::string_view text)
{
    // Leading blanks and a sign are allowed, as the framework's conversion allows them.
    std::string_view digits = text;
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    bool plus = !digits.empty() && digits.front() == '+';
    if (plus)
        digits.remove_prefix(1);
    int value = 0;
    bool valid = !digits.empty() && !(plus && digits.front() == '-');
    if (valid) {
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
        valid = error == std::errc() && end == digits.data() + digits.size();
    }
    if (!valid)
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}

} // namespace Halcyra::Net
