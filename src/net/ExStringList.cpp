// Header lines looked up by name.
#include "net/ExStringList.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace Halcyra::Net {
namespace {

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

void TExStringList::SetValue(const std::string &name, const std::string &value)
{
    std::string line = name + ": " + value;
    for (std::string &existing : FLines) {
        std::string_view lineName(existing);
        std::size_t colon = lineName.find(':');
        if (colon == std::string_view::npos)
            continue;
        if (SameTextIgnoringCase(lineName.substr(0, colon), name)) {
            existing = line;
            return;
        }
    }
    FLines.push_back(line);
}

} // namespace Halcyra::Net
