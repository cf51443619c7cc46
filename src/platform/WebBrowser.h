// Opening a web page in the user's browser.
#pragma once

#include <string>

namespace Halcyra::Platform {

class IWebBrowser {
public:
    virtual ~IWebBrowser() = default;

    // Hands the address to the system's browser without waiting for it; false when it could not be
    // started or is not a web page address. Only what Net::BrowserAddress makes of the address is
    // handed on (an http or https address with every other byte percent-encoded: an address read
    // from a feed never names a local file or program), as one argument, never through a command
    // interpreter.
    virtual bool OpenPage(const std::string &url) = 0;
};

// The system's browser (Windows: ShellExecute "open"; Linux: xdg-open).
IWebBrowser &SystemWebBrowser();

} // namespace Halcyra::Platform
