// Linux backend of the web browser: xdg-open, started directly (no shell) and not waited for.
#include "net/WebAddress.h"
#include "platform/WebBrowser.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace Halcyra::Platform {
namespace {

class TLinuxWebBrowser final : public IWebBrowser {
public:
    bool OpenPage(const std::string &url) override
    {
        std::optional<std::string> address = Net::BrowserAddress(url);
        if (!address)
            return false;
        std::string program = "xdg-open";
        char *arguments[] = {program.data(), address->data(), nullptr};
        // The browser starts with the signals this program takes on a thread of its own unblocked.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        pid_t child = 0;
        const int result = posix_spawnp(&child, program.c_str(), nullptr, &attributes, arguments, environ);
        posix_spawnattr_destroy(&attributes);
        if (result != 0)
            return false;
        // The opener ends once it has handed the page over; reap it without making the caller wait.
        std::thread([child] { waitpid(child, nullptr, 0); }).detach();
        return true;
    }
};

} // namespace

IWebBrowser &SystemWebBrowser()
{
    static TLinuxWebBrowser browser;
    return browser;
}

} // namespace Halcyra::Platform
