// Windows backend of the web browser: ShellExecuteA with the verb "open".
#include "net/WebAddress.h"
#include "platform/WebBrowser.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace Halcyra::Platform {
namespace {

// COM on the calling thread while the shell runs: ShellExecute may hand the address to a shell
// extension that COM activates. A thread that already has COM keeps it as it was.
class TComScope {
public:
    TComScope() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~TComScope()
    {
        if (SUCCEEDED(FResult))
            CoUninitialize();
    }
    TComScope(const TComScope &) = delete;
    TComScope &operator=(const TComScope &) = delete;

private:
    HRESULT FResult;
};

class TWin32WebBrowser final : public IWebBrowser {
public:
    bool OpenPage(const std::string &url) override
    {
        const std::optional<std::string> address = Net::BrowserAddress(url);
        if (!address)
            return false;
        TComScope com;
        HINSTANCE result = ShellExecuteA(nullptr, "open", address->c_str(), nullptr, nullptr, SW_SHOW);
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
