// Opening a web page in the user's browser.
#pragma once

#include <string>
#include <string_view>

namespace Halcyra::Platform {

class IWebBrowser {
public:
    virtual ~IWebBrowser() = default;

    // Hands the address to the system's browser without waiting for it; false when it could not be
    // started or is not a web page address. The address is passed as one argument, never through a
    // command interpreter.
    virtual bool OpenPage(const std::string &url) = 0;
};

// Only http and https addresses are handed on: an address read from a feed must never name a local
// file or program for the shell to run.
inline bool IsWebPageAddress(std::string_view url)
{
    auto startsWithIgnoringCase = [&](std::string_view prefix) {
        if (url.size() <= prefix.size())
            return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            char c = url[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            if (c != prefix[i])
                return false;
        }
        return true;
    };
    for (char c : url) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return startsWithIgnoringCase("http://") || startsWithIgnoringCase("https://");
}

// The system's browser (Windows: ShellExecute "open"; Linux: xdg-open).
IWebBrowser &SystemWebBrowser();

} // namespace Halcyra::Platform
