// Windows backend of the web browser: ShellExecuteA with the verb "open".
#include "platform/WebBrowser.h"

#include <windows.h>

#include <shellapi.h>

namespace Halcyra::Platform {
namespace {

class TWin32WebBrowser final : public IWebBrowser {
public:
    bool OpenPage(const std::string &url) override
    {
        if (!IsWebPageAddress(url))
            return false;
        HINSTANCE result = ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
};

} // namespace

IWebBrowser &SystemWebBrowser()
{
    static TWin32WebBrowser browser;
    return browser;
}

} // namespace Halcyra::Platform
