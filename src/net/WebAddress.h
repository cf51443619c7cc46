// The address of a web page as the system's browser is handed it (the news item's link, the
// forecast page, the maker's page): checked and written the way RFC 3986 writes addresses, so that
// whatever a feed put in a link reaches the browser as one address and nothing else.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Halcyra::Net {

// The address when it is an absolute http or https address with a host (the scheme written in
// lower case, the blanks around it dropped), with every byte RFC 3986 does not allow where it stands
// percent-encoded: a quote, a blank, a control or 8-bit byte, a second '#', a '%' that starts no
// escape. nullopt for anything else: another scheme, no host, a host or user part that is not
// plain ASCII.
std::optional<std::string> BrowserAddress(std::string_view url);

} // namespace Halcyra::Net
