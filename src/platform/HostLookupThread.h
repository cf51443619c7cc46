// Host name lookups on a thread of their own, shared by the socket backends: the thread and the
// lookup object share only the answer, so either may end first.
#pragma once

#include "platform/Socket.h"

#include <functional>
#include <memory>
#include <string>

namespace Halcyra::Platform {

// What a backend's resolver found for one name: Found with the address, or Failed with a lookup code.
struct THostLookupAnswer {
    IHostLookup::TState State = IHostLookup::TState::Failed;
    TIPv4Address Address = 0;
    int Error = 0;
};

// A backend's blocking name resolution; it may take as long as the name service does.
using THostResolver = std::function<THostLookupAnswer(const std::string &host)>;

// Runs resolver(host) on a detached thread and answers Poll from what it found. Dropping the lookup
// abandons it: the thread finishes on its own, holding its own copies of the name and the resolver.
std::unique_ptr<IHostLookup> BeginThreadedLookup(const std::string &host, THostResolver resolver);

} // namespace Halcyra::Platform
