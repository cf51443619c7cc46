// The periodic timer of Windows: a multimedia timer (timeSetEvent, periodic, resolution 0, killed
// synchronously). timeKillEvent may return while a callback is still running, so every callback
// counts itself in and out, and Stop waits until none is running; a callback that starts after Stop
// began returns without ticking.
#include "platform/PeriodicTimer.h"

#include <windows.h>
#include <mmsystem.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace Halcyra::Platform {

namespace {

class TWin32PeriodicTimer final : public IPeriodicTimer {
public:
    ~TWin32PeriodicTimer() override { Stop(); }

    bool Start(unsigned periodMs, std::function<void()> tick) override
    {
        Stop();
        if (periodMs == 0 || !tick)
            return false;
        // Held while the timer is made, so that a first callback finds its identifier stored.
        std::lock_guard lock(FMutex);
        FTick = std::move(tick);
        FStopping = false;
        FTimerId = timeSetEvent(periodMs, 0, &TWin32PeriodicTimer::Callback, reinterpret_cast<DWORD_PTR>(this),
                                TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
        return FTimerId != 0;
    }

    void Stop() override
    {
        UINT timerId = 0;
        {
            std::lock_guard lock(FMutex);
            timerId = FTimerId;
            FTimerId = 0;
            if (timerId == 0)
                return;
            FStopping = true;
        }
        // Outside the lock: a synchronous kill may wait for a callback, which takes the lock.
        timeKillEvent(timerId);
        std::unique_lock lock(FMutex);
        // A Stop from within a tick cannot wait for that tick to end.
        const bool inOwnTick = FRunning > 0 && FTickThread == std::this_thread::get_id();
        if (!inOwnTick)
            FIdle.wait(lock, [this] { return FRunning == 0; });
    }

    bool Running() const override
    {
        std::lock_guard lock(FMutex);
        return FTimerId != 0;
    }

private:
    static void CALLBACK Callback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
    {
        auto *self = reinterpret_cast<TWin32PeriodicTimer *>(user);
        {
            std::lock_guard lock(self->FMutex);
            if (self->FStopping)
                return;
            ++self->FRunning;
            self->FTickThread = std::this_thread::get_id();
        }
        self->FTick();
        {
            std::lock_guard lock(self->FMutex);
            --self->FRunning;
        }
        self->FIdle.notify_all();
    }

    mutable std::mutex FMutex;
    std::condition_variable FIdle;
    std::function<void()> FTick;
    bool FStopping = false;
    int FRunning = 0;
    std::thread::id FTickThread;
    UINT FTimerId = 0;
};

} // namespace

std::unique_ptr<IPeriodicTimer> CreatePeriodicTimer()
{
    return std::make_unique<TWin32PeriodicTimer>();
}

} // namespace Halcyra::Platform
