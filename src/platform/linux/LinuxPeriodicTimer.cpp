// The periodic timer of Linux: a thread that sleeps until each next period and runs the tick.
// Stopping wakes it and joins it, so Stop returns only after the running tick (if any) ended; a Stop
// from within the tick cannot join its own thread, so it lets that thread end by itself.
#include "platform/PeriodicTimer.h"
#include "platform/linux/ScreenGamma.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Halcyra::Platform {

namespace {

// What one started run shares with its thread; the thread keeps it alive after a Stop from within
// a tick has let go of the thread.
struct TTimerRun {
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Stop = false;
};

class TLinuxPeriodicTimer final : public IPeriodicTimer {
public:
    ~TLinuxPeriodicTimer() override { Stop(); }

    bool Start(unsigned periodMs, std::function<void()> tick) override
    {
        Stop();
        if (periodMs == 0 || !tick)
            return false;
        // Held until the thread is stored, so a tick that stops the timer at once finds it.
        std::lock_guard control(FControl);
        auto run = std::make_shared<TTimerRun>();
        FRun = run;
        FThread = std::thread([run, periodMs, tick = std::move(tick)] {
            // The frame runs here: a crash in it, a stack overflow too, still gives the ramps back.
            UseAlternateSignalStack();
            using Clock = std::chrono::steady_clock;
            const auto period = std::chrono::milliseconds(periodMs);
            auto next = Clock::now() + period;
            std::unique_lock lock(run->Mutex);
            while (!run->Stop) {
                if (run->Wake.wait_until(lock, next, [&] { return run->Stop; }))
                    break;
                lock.unlock();
                tick();
                lock.lock();
                // A tick that overran its period is not made up for with a burst of ticks.
                next += period;
                const auto now = Clock::now();
                if (next < now)
                    next = now;
            }
        });
        return true;
    }

    void Stop() override
    {
        std::shared_ptr<TTimerRun> run;
        std::thread thread;
        {
            std::lock_guard control(FControl);
            if (!FRun)
                return;
            run = std::move(FRun);
            // A tick stopping its own timer cannot wait for itself: its thread ends by itself.
            if (FThread.get_id() == std::this_thread::get_id())
                FThread.detach();
            else
                thread = std::move(FThread);
        }
        {
            std::lock_guard lock(run->Mutex);
            run->Stop = true;
        }
        run->Wake.notify_all();
        if (thread.joinable())
            thread.join();
    }

    bool Running() const override
    {
        std::lock_guard control(FControl);
        return FRun != nullptr;
    }

private:
    mutable std::mutex FControl;
    std::shared_ptr<TTimerRun> FRun;
    std::thread FThread;
};

} // namespace

std::unique_ptr<IPeriodicTimer> CreatePeriodicTimer()
{
    return std::make_unique<TLinuxPeriodicTimer>();
}

} // namespace Halcyra::Platform
