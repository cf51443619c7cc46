// The threaded host lookup: the answer lives in state owned jointly by the lookup and its thread.
#include "platform/HostLookupThread.h"

#include <mutex>
#include <thread>

namespace Halcyra::Platform {
namespace {

struct TLookupShared {
    std::mutex Lock;
    THostLookupAnswer Answer{IHostLookup::TState::Pending, 0, 0};
};

class TThreadedHostLookup final : public IHostLookup {
public:
    explicit TThreadedHostLookup(std::shared_ptr<TLookupShared> shared) : FShared(std::move(shared)) {}

    TState Poll(TIPv4Address &address, int &error) override
    {
        std::lock_guard guard(FShared->Lock);
        address = FShared->Answer.Address;
        error = FShared->Answer.Error;
        return FShared->Answer.State;
    }

private:
    std::shared_ptr<TLookupShared> FShared;
};

} // namespace

std::unique_ptr<IHostLookup> BeginThreadedLookup(const std::string &host, THostResolver resolver)
{
    auto shared = std::make_shared<TLookupShared>();
    std::thread([shared, host, resolver = std::move(resolver)] {
        const THostLookupAnswer answer = resolver(host);
        std::lock_guard guard(shared->Lock);
        shared->Answer = answer;
    }).detach();
    return std::make_unique<TThreadedHostLookup>(std::move(shared));
}

} // namespace Halcyra::Platform
