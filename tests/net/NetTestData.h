// The net tests' feed files in tests/data/net, read as bytes.
#pragma once

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace Halcyra::Testing {

inline std::string ReadNetTestFile(const std::string &name)
{
#ifdef _WIN32
    // Under Wine the source tree is reached through the drive that maps the root folder.
    std::string path = std::string("Z:") + HALCYRA_TEST_DATA_DIR + "/net/" + name;
#else
    std::string path = std::string(HALCYRA_TEST_DATA_DIR) + "/net/" + name;
#endif
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("missing test file " + path);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// text with the first occurrence of what replaced by with; the test fails loudly if what is missing.
inline std::string ReplaceOnce(std::string text, const std::string &what, const std::string &with)
{
    std::size_t at = text.find(what);
    if (at == std::string::npos)
        throw std::runtime_error("test text lacks " + what);
    return text.replace(at, what.size(), with);
}

} // namespace Halcyra::Testing
