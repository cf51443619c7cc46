// The periodic timer that drives the frames: a tick every period on a thread of the timer's own.
#pragma once

#include <functional>
#include <memory>

namespace Halcyra::Platform {

class IPeriodicTimer {
public:
    // Stops the timer as Stop does.
    virtual ~IPeriodicTimer() = default;

    // Starts calling tick every periodMs milliseconds on the timer's thread; false when the system
    // refuses (period not positive, no timer available). A running timer is stopped first.
    virtual bool Start(unsigned periodMs, std::function<void()> tick) = 0;
    // Stops the ticks. Returns only when no tick is running, and no tick starts after it returns.
    // Called from within a tick, it stops further ticks without waiting for the running one.
    virtual void Stop() = 0;
    // Whether the timer is started.
    virtual bool Running() const = 0;
};

// The system's periodic timer: a multimedia timer on Windows, a thread on Linux.
std::unique_ptr<IPeriodicTimer> CreatePeriodicTimer();

} // namespace Halcyra::Platform
