// The sight of a window, followed on a thread of its own.
#include "platform/linux/X11WindowSight.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace Halcyra::Platform {

TX11WindowSight::TX11WindowSight(Display *connection, Window window, std::function<void()> changed, TMonitorProbe monitorOff,
                                 std::chrono::milliseconds probeInterval)
    : FConnection(connection), FWindow(window), FChanged(std::move(changed)), FMonitorOff(std::move(monitorOff)),
      FProbeInterval(probeInterval), FStopEvent(eventfd(0, EFD_CLOEXEC))
{
    // Map, unmap and destruction come with the structure events; covering with the visibility ones.
    // Both may be chosen by any number of clients, so the host's own choice is not disturbed.
    XSelectInput(FConnection, FWindow, StructureNotifyMask | VisibilityChangeMask);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(FConnection, FWindow, &attributes) == 0)
        FSight = TWindowSight::Gone;
    else
        FMapped = attributes.map_state == IsViewable;
    if (FSight != TWindowSight::Gone && !FMapped)
        FSight = TWindowSight::Unseen;
    XFlush(FConnection);
    FThread = std::thread([this] { Follow(); });
}

TX11WindowSight::~TX11WindowSight()
{
    const std::uint64_t one = 1;
    if (write(FStopEvent, &one, sizeof one) < 0) {
        // An eventfd that cannot count further is already readable: the thread wakes anyway.
    }
    if (FThread.joinable())
        FThread.join();
    close(FStopEvent);
    XCloseDisplay(FConnection);
}

TX11WindowSight::TMonitorProbe TX11WindowSight::DpmsProbe(Display *connection)
{
    int event = 0, error = 0;
    if (connection == nullptr || !DPMSQueryExtension(connection, &event, &error) || !DPMSCapable(connection))
        return {};
    return [](Display *display) {
        CARD16 level = DPMSModeOn;
        BOOL enabled = False;
        return DPMSInfo(display, &level, &enabled) && enabled && level != DPMSModeOn;
    };
}

void TX11WindowSight::Follow()
{
    pollfd waits[2] = {{ConnectionNumber(FConnection), POLLIN, 0}, {FStopEvent, POLLIN, 0}};
    const int timeout = FMonitorOff ? static_cast<int>(FProbeInterval.count()) : -1;
    while (FSight != TWindowSight::Gone) {
        TWindowSight sight = TWindowSight::Seen;
        while (XPending(FConnection) > 0) {
            XEvent event;
            XNextEvent(FConnection, &event);
            switch (event.type) {
            case MapNotify: FMapped = true; break;
            case UnmapNotify: FMapped = false; break;
            case VisibilityNotify: FCovered = event.xvisibility.state == VisibilityFullyObscured; break;
            case DestroyNotify:
                if (event.xdestroywindow.window == FWindow)
                    sight = TWindowSight::Gone;
                break;
            default: break;
            }
        }
        if (sight != TWindowSight::Gone && (!FMapped || FCovered || (FMonitorOff && FMonitorOff(FConnection))))
            sight = TWindowSight::Unseen;
        if (sight != FSight.exchange(sight) && FChanged)
            FChanged();
        if (sight == TWindowSight::Gone)
            return;
        waits[0].revents = waits[1].revents = 0;
        if (poll(waits, 2, timeout) < 0 && errno != EINTR)
            return;
        if ((waits[1].revents & POLLIN) != 0)
            return;
        // A connection the server closed: the application hears of it on its own connection.
        if ((waits[0].revents & (POLLHUP | POLLERR)) != 0)
            return;
    }
}

} // namespace Halcyra::Platform
