// Web page addresses for the browser: the scheme and host checked, the rest percent-encoded.
#include "net/WebAddress.h"

#include <algorithm>
#include <cstdio>

namespace Halcyra::Net {
namespace {

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsUnreserved(char c)
{
    return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsSubDelimiter(char c)
{
    constexpr std::string_view SubDelimiters = "!$&'()*+,;=";
    return SubDelimiters.find(c) != std::string_view::npos;
}

// Whether text[at] starts a %XX escape.
bool IsEscape(std::string_view text, std::size_t at)
{
    return text[at] == '%' && at + 2 < text.size() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2]);
}

// The user part before '@': unreserved, sub-delimiters, ':' and escapes.
bool IsUserInformation(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!IsUnreserved(c) && !IsSubDelimiter(c) && c != ':' && !IsEscape(text, i))
            return false;
    }
    return true;
}

// "host", "host:port" or "[v6]:port", with a host of letters, digits, '-', '.', '_' and '~'.
bool IsHostAndPort(std::string_view text)
{
    std::string_view host = text;
    std::string_view port;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close < 2)
            return false;
        for (char c : text.substr(1, close - 1)) {
            if (!IsHexDigit(c) && c != ':' && c != '.')
                return false;
        }
        host = text.substr(0, close + 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':'))
            return false;
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
        for (char c : host) {
            if (!IsUnreserved(c))
                return false;
        }
    }
    for (char c : port) {
        if (!IsDigit(c))
            return false;
    }
    return !host.empty();
}

} // namespace

std::optional<std::string> BrowserAddress(std::string_view url)
{
    constexpr std::string_view Blanks = " \t\r\n\f\v";
    const std::size_t first = url.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return std::nullopt;
    url = url.substr(first, url.find_last_not_of(Blanks) - first + 1);

    std::string address;
    for (std::string_view scheme : {"https://", "http://"}) {
        if (url.size() < scheme.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < scheme.size() && same; ++i) {
            const char c = url[i];
            same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) == scheme[i];
        }
        if (same) {
            address = scheme;
            break;
        }
    }
    if (address.empty())
        return std::nullopt;
    url.remove_prefix(address.size());

    const std::size_t authorityEnd = std::min(url.find_first_of("/?#"), url.size());
    const std::string_view authority = url.substr(0, authorityEnd);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos && !IsUserInformation(authority.substr(0, at)))
        return std::nullopt;
    if (!IsHostAndPort(at == std::string_view::npos ? authority : authority.substr(at + 1)))
        return std::nullopt;
    address += authority;

    // Path, query and fragment: what RFC 3986 allows there stays, the rest is escaped.
    bool inFragment = false;
    for (std::size_t i = authorityEnd; i < url.size(); ++i) {
        const char c = url[i];
        const bool startsFragment = c == '#' && !inFragment;
        inFragment = inFragment || startsFragment;
        if (IsUnreserved(c) || IsSubDelimiter(c) || c == ':' || c == '@' || c == '/' || c == '?' || startsFragment ||
            IsEscape(url, i)) {
            address += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            address += escaped;
        }
    }
    return address;
}

} // namespace Halcyra::Net
