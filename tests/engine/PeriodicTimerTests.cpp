// Tests of the system's periodic timer: it ticks, and stopping returns only when no tick runs and
// no tick starts afterwards, also when stopped from within a tick.
#include "platform/PeriodicTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Halcyra::Platform {
namespace {

using namespace std::chrono_literals;

// Waits (up to a generous bound) until the condition holds.
template <typename TCondition>
bool WaitFor(TCondition condition)
{
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(PeriodicTimer, TicksUntilStopped)
{
    auto timer = CreatePeriodicTimer();
    std::atomic<int> ticks = 0;
    ASSERT_TRUE(timer->Start(5, [&] { ++ticks; }));
    EXPECT_TRUE(timer->Running());
    EXPECT_TRUE(WaitFor([&] { return ticks >= 3; }));
    timer->Stop();
    EXPECT_FALSE(timer->Running());
    const int atStop = ticks;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ticks, atStop);
}

TEST(PeriodicTimer, RefusesAZeroPeriod)
{
    auto timer = CreatePeriodicTimer();
    EXPECT_FALSE(timer->Start(0, [] {}));
    EXPECT_FALSE(timer->Running());
    timer->Stop();
}

TEST(PeriodicTimer, StopWaitsForTheRunningTick)
{
    auto timer = CreatePeriodicTimer();
    std::mutex mutex;
    std::condition_variable changed;
    bool inTick = false;
    bool release = false;
    std::atomic<int> ticks = 0;
    ASSERT_TRUE(timer->Start(5, [&] {
        std::unique_lock lock(mutex);
        if (ticks++ > 0)
            return;
        inTick = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
        inTick = false;
    }));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return inTick; }));
    }
    std::atomic<bool> stopped = false;
    bool tickRunningWhenStopReturned = true;
    std::thread stopper([&] {
        timer->Stop();
        std::lock_guard lock(mutex);
        tickRunningWhenStopReturned = inTick;
        stopped = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(stopped) << "Stop returned while a tick was running";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    stopper.join();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(tickRunningWhenStopReturned);
    const int atStop = ticks;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ticks, atStop);
}

TEST(PeriodicTimer, StopFromWithinATickEndsTheTicks)
{
    auto timer = CreatePeriodicTimer();
    std::atomic<int> ticks = 0;
    std::atomic<bool> stoppedInside = false;
    ASSERT_TRUE(timer->Start(5, [&] {
        if (++ticks == 2) {
            timer->Stop();
            stoppedInside = true;
        }
    }));
    EXPECT_TRUE(WaitFor([&] { return stoppedInside.load(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ticks, 2);
    timer->Stop();
}

TEST(PeriodicTimer, StartingAgainReplacesTheTick)
{
    auto timer = CreatePeriodicTimer();
    std::atomic<int> first = 0;
    std::atomic<int> second = 0;
    ASSERT_TRUE(timer->Start(5, [&] { ++first; }));
    EXPECT_TRUE(WaitFor([&] { return first >= 1; }));
    ASSERT_TRUE(timer->Start(5, [&] { ++second; }));
    const int firstAtRestart = first;
    EXPECT_TRUE(WaitFor([&] { return second >= 2; }));
    EXPECT_EQ(first, firstAtRestart);
}

TEST(PeriodicTimer, DestroyingStops)
{
    std::atomic<int> ticks = 0;
    {
        auto timer = CreatePeriodicTimer();
        ASSERT_TRUE(timer->Start(5, [&] { ++ticks; }));
        EXPECT_TRUE(WaitFor([&] { return ticks >= 1; }));
    }
    const int atEnd = ticks;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(ticks, atEnd);
}

} // namespace
} // namespace Halcyra::Platform
