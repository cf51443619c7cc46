// Work handed to the user-interface thread: it runs there, the poster waits for it, and closing the
// queue releases every waiting thread.
#include "platform/UiWorkQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace Halcyra::Platform {
namespace {

TEST(UiWorkQueue, WorkOfOtherThreadsRunsOnTheUiThreadAndThePosterWaitsForIt)
{
    std::atomic<int> wakes = 0;
    TUiWorkQueue queue([&] { ++wakes; });
    const auto uiThread = std::this_thread::get_id();
    int ranOnUi = 0; // touched only on the UI thread
    std::atomic<int> finished = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                bool ran = false;
                EXPECT_TRUE(queue.RunOnUiThread([&] {
                    ran = std::this_thread::get_id() == uiThread;
                    ++ranOnUi;
                }));
                EXPECT_TRUE(ran) << "the work ran before the poster went on, on the UI thread";
            }
            ++finished;
        });
    }
    while (finished < 3) {
        queue.RunPending();
        std::this_thread::yield();
    }
    for (auto &poster : posters)
        poster.join();
    EXPECT_EQ(ranOnUi, 150);
    EXPECT_GE(wakes.load(), 1);
}

TEST(UiWorkQueue, OnTheUiThreadWorkRunsAtOnce)
{
    TUiWorkQueue queue(nullptr);
    int runs = 0;
    EXPECT_TRUE(queue.RunOnUiThread([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(UiWorkQueue, ClosingReleasesAWaitingThreadWithoutRunningItsWork)
{
    std::atomic<bool> posted = false;
    TUiWorkQueue queue([&] { posted = true; });
    std::atomic<int> result = -1;
    bool ran = false;
    std::thread poster([&] { result = queue.RunOnUiThread([&] { ran = true; }) ? 1 : 0; });
    while (!posted)
        std::this_thread::yield();
    queue.Close();
    poster.join();
    EXPECT_EQ(result, 0);
    queue.RunPending();
    EXPECT_FALSE(ran);

    std::thread late([&] { result = queue.RunOnUiThread([&] { ran = true; }) ? 1 : 0; });
    late.join();
    EXPECT_EQ(result, 0) << "a closed queue refuses new work";
}

TEST(UiWorkQueue, WorkThatRaisesReleasesItsPosterAndTheErrorReachesTheUiThread)
{
    std::atomic<bool> posted = false;
    TUiWorkQueue queue([&] { posted = true; });
    std::atomic<int> result = -1;
    std::thread poster([&] { result = queue.RunOnUiThread([] { throw std::runtime_error("work failed"); }) ? 1 : 0; });
    while (!posted)
        std::this_thread::yield();
    EXPECT_THROW(queue.RunPending(), std::runtime_error);
    poster.join();
    EXPECT_EQ(result, 1);
}

} // namespace
} // namespace Halcyra::Platform
