// Whether anyone can see a window: it is mapped, not wholly covered by other windows, and on a monitor
// that is powered. A thread of its own follows the window's events on an X connection of its own and
// tells about each change; between them it sleeps. Only where the server can power the monitor down
// (DPMS) does it wake four times a second to ask, as the feed thread does anyway.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

struct _XDisplay;

namespace Halcyra::Platform {

enum class TWindowSight { Seen, Unseen, Gone };

class TX11WindowSight {
public:
    // Whether the monitor is powered down now; asked on the sight's thread with its connection.
    using TMonitorProbe = std::function<bool(_XDisplay *connection)>;

    // Takes the connection (it closes it) and follows the window; changed runs on the sight's thread
    // after each change of Sight(). An empty probe never asks about the monitor.
    TX11WindowSight(_XDisplay *connection, unsigned long window, std::function<void()> changed, TMonitorProbe monitorOff,
                    std::chrono::milliseconds probeInterval = std::chrono::milliseconds(250));
    ~TX11WindowSight();
    TX11WindowSight(const TX11WindowSight &) = delete;
    TX11WindowSight &operator=(const TX11WindowSight &) = delete;

    TWindowSight Sight() const { return FSight.load(); }

    // The DPMS probe of the connection's server; empty when it has no DPMS or cannot power down.
    static TMonitorProbe DpmsProbe(_XDisplay *connection);

private:
    void Follow();

    _XDisplay *FConnection;
    unsigned long FWindow;
    std::function<void()> FChanged;
    TMonitorProbe FMonitorOff;
    std::chrono::milliseconds FProbeInterval;
    int FStopEvent = -1;
    std::atomic<TWindowSight> FSight = TWindowSight::Seen;
    bool FMapped = true;
    bool FCovered = false;
    std::thread FThread;
};

} // namespace Halcyra::Platform
