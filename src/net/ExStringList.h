// The list of request header lines the HTTP client builds, with lookup of a line by its header name.
#pragma once

#include <string>
#include <vector>

namespace Halcyra::Net {

class TExStringList {
public:
    void Clear() { FLines.clear(); }
    void Add(const std::string &line) { FLines.push_back(line); }
    const std::vector<std::string> &GetLines() const { return FLines; }

    // Sets the line of that name to "name: value": the first line whose text before its first ":"
    // equals name (ignoring case) is replaced; without one, the line is added at the end.
    void SetValue(const std::string &name, const std::string &value);

private:
    std::vector<std::string> FLines;
};

} // namespace Halcyra::Net
