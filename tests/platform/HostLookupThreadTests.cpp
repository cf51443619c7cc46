// Lookups on a thread of their own, with a resolver that answers only when the test lets it: pending
// until then, its answer after, and a lookup dropped first ends without its owner.
#include "platform/HostLookupThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Halcyra::Platform {
namespace {

// A name service that hangs until it is let go.
struct THangingNameService {
    std::mutex Lock;
    std::condition_variable Released;
    bool Free = false;
    THostLookupAnswer Answer;

    void LetGo()
    {
        std::lock_guard guard(Lock);
        Free = true;
        Released.notify_all();
    }
};

THostResolver Resolver(const std::shared_ptr<THangingNameService> &service)
{
    return [service](const std::string &) {
        std::unique_lock guard(service->Lock);
        service->Released.wait(guard, [&] { return service->Free; });
        return service->Answer;
    };
}

// Polls until the lookup has an answer, at most five seconds.
IHostLookup::TState WaitForAnswer(IHostLookup &lookup, TIPv4Address &address, int &error)
{
    IHostLookup::TState state = IHostLookup::TState::Pending;
    for (int i = 0; i < 2500 && state == IHostLookup::TState::Pending; ++i) {
        state = lookup.Poll(address, error);
        if (state == IHostLookup::TState::Pending)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return state;
}

TEST(HostLookupThread, PendingWhileTheNameServiceHangsThenItsAnswer)
{
    const THostLookupAnswer answers[] = {
        {IHostLookup::TState::Found, 0x7F000001, 0},
        {IHostLookup::TState::Failed, 0, SocketError::HostNotFound},
    };
    for (const THostLookupAnswer &expected : answers) {
        auto service = std::make_shared<THangingNameService>();
        service->Answer = expected;
        auto lookup = BeginThreadedLookup("name.example", Resolver(service));
        TIPv4Address address = 0;
        int error = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(lookup->Poll(address, error), IHostLookup::TState::Pending);
        service->LetGo();
        EXPECT_EQ(WaitForAnswer(*lookup, address, error), expected.State);
        EXPECT_EQ(address, expected.Address);
        EXPECT_EQ(error, expected.Error);
    }
}

TEST(HostLookupThread, ALookupDroppedBeforeTheAnswerEndsWithoutItsOwner)
{
    auto service = std::make_shared<THangingNameService>();
    service->Answer = {IHostLookup::TState::Found, 0x7F000001, 0};
    std::weak_ptr<THangingNameService> held = service;
    BeginThreadedLookup("name.example", Resolver(service)).reset();
    service->LetGo();
    service.reset();
    // The thread lets go of the resolver it holds only once it has ended.
    for (int i = 0; i < 2500 && !held.expired(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(held.expired());
}

} // namespace
} // namespace Halcyra::Platform
