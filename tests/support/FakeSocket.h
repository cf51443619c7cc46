// A socket layer for failures real sockets cannot be made to show on demand: a start-up that fails,
// sockets that cannot be made, lookups that never finish, end when the test says or find nothing,
// connects that never finish, sends that never get through, answers that arrive in given pieces and
// end with a given error.
// Sockets left unscripted can be passed on to a real socket layer; lookups never are, so no test asks
// a name service about a name: a name without a scripted answer is not found. Secure sessions are the
// real layer's, or without one the fake transport's.
#pragma once

#include "platform/Socket.h"
#include "support/FakeSecureTransport.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Halcyra::Testing {

// What one fake socket does. A test keeps a pointer to read what was sent and how it was closed.
struct TFakeSocketScript {
    // Result of Connect: 0, WouldBlock (then ConnectResults is consulted), or an error.
    int ConnectReturn = 0;
    // What ConnectResult returns, one entry per call; the last one repeats (WouldBlock: never connects).
    std::vector<int> ConnectResults{0};
    // Every send would block.
    bool SendBlocks = false;
    // Error of every send, when not 0.
    int SendError = 0;
    // The answer, one piece per receive call at most; an empty piece means "nothing waiting" once.
    std::vector<std::string> Pieces;
    // After the pieces: 0 is the peer's orderly close, WouldBlock is silence, anything else an error.
    int EndResult = 0;

    // What the socket saw.
    std::string Sent;
    bool Closed = false;
    Platform::TSocketClose CloseKind = Platform::TSocketClose::Graceful;
    int Receives = 0;
};

class TFakeStreamSocket final : public Platform::IStreamSocket {
public:
    explicit TFakeStreamSocket(std::shared_ptr<TFakeSocketScript> script) : FScript(std::move(script)) {}

    int Connect(Platform::TIPv4Address, std::uint16_t) override { return FScript->ConnectReturn; }

    int ConnectResult() override
    {
        int result = FScript->ConnectResults.empty() ? 0 : FScript->ConnectResults.front();
        if (FScript->ConnectResults.size() > 1)
            FScript->ConnectResults.erase(FScript->ConnectResults.begin());
        return result;
    }

    int Wait(Platform::TSocketWait, int, bool &ready) override
    {
        ready = true;
        return 0;
    }

    int Send(const char *data, std::size_t size, std::size_t &sent) override
    {
        sent = 0;
        if (FScript->SendError != 0)
            return FScript->SendError;
        if (FScript->SendBlocks)
            return Platform::SocketError::WouldBlock;
        FScript->Sent.append(data, size);
        sent = size;
        return 0;
    }

    int Receive(char *buffer, std::size_t size, std::size_t &received) override
    {
        ++FScript->Receives;
        return Read(buffer, size, received, true);
    }

    int Peek(char *buffer, std::size_t size, std::size_t &received) override
    {
        return Read(buffer, size, received, false);
    }

    void Close(Platform::TSocketClose how) override
    {
        if (FScript->Closed)
            return;
        FScript->Closed = true;
        FScript->CloseKind = how;
    }

private:
    int Read(char *buffer, std::size_t size, std::size_t &received, bool take)
    {
        received = 0;
        if (FScript->Closed)
            return Platform::SocketError::NotConnected;
        if (FScript->Pieces.empty())
            return FScript->EndResult;
        std::string &piece = FScript->Pieces.front();
        if (piece.empty()) {
            // The silence is seen once, by a peek or a receive alike.
            FScript->Pieces.erase(FScript->Pieces.begin());
            return Platform::SocketError::WouldBlock;
        }
        received = std::min(size, piece.size());
        std::memcpy(buffer, piece.data(), received);
        if (take) {
            piece.erase(0, received);
            if (piece.empty())
                FScript->Pieces.erase(FScript->Pieces.begin());
        }
        return 0;
    }

    std::shared_ptr<TFakeSocketScript> FScript;
};

class TFakeSocketLayer;

// A lookup that answers as the layer's script says at each look, so a test can let it end later.
// The layer must outlive its lookups.
class TFakeHostLookup final : public Platform::IHostLookup {
public:
    TFakeHostLookup(TFakeSocketLayer &layer, std::string host);
    ~TFakeHostLookup() override;
    TState Poll(Platform::TIPv4Address &address, int &error) override;

private:
    TFakeSocketLayer &FLayer;
    std::string FHost;
};

class TFakeSocketLayer final : public Platform::ISocketLayer {
public:
    struct TLookupAnswer {
        Platform::IHostLookup::TState State = Platform::IHostLookup::TState::Failed;
        Platform::TIPv4Address Address = 0;
        int Error = Platform::SocketError::HostNotFound;
    };

    // With a real layer, sockets without a script come from it.
    explicit TFakeSocketLayer(Platform::ISocketLayer *real = nullptr) : FReal(real) {}

    int Startup() override
    {
        ++StartupCount;
        if (StartupResult == 0 && FReal != nullptr)
            return FReal->Startup();
        return StartupResult;
    }
    void Cleanup() override
    {
        ++CleanupCount;
        if (FReal != nullptr)
            FReal->Cleanup();
    }

    int CreateStream(std::unique_ptr<Platform::IStreamSocket> &socket) override
    {
        if (CreateResult != 0)
            return CreateResult;
        if (Scripts.empty()) {
            if (FReal != nullptr)
                return FReal->CreateStream(socket);
            return Platform::SocketError::InvalidArgument;
        }
        socket = std::make_unique<TFakeStreamSocket>(Scripts.front());
        Created.push_back(Scripts.front());
        Scripts.erase(Scripts.begin());
        return 0;
    }

    std::unique_ptr<Platform::IHostLookup> BeginLookup(const std::string &host) override
    {
        LookedUp.push_back(host);
        return std::make_unique<TFakeHostLookup>(*this, host);
    }

    Platform::ISecureTransport &Secure() override { return FReal != nullptr ? FReal->Secure() : FakeSecure; }

    // Adds a scripted socket for the next CreateStream; the test keeps the pointer to look at it later.
    std::shared_ptr<TFakeSocketScript> AddScript(TFakeSocketScript script = {})
    {
        Scripts.push_back(std::make_shared<TFakeSocketScript>(std::move(script)));
        return Scripts.back();
    }

    int StartupResult = 0;
    int StartupCount = 0;
    int CleanupCount = 0;
    int CreateResult = 0;
    std::map<std::string, TLookupAnswer> Lookups;
    std::vector<std::string> LookedUp;
    // Lookups begun and not yet dropped by their callers.
    int LookupsHeld = 0;
    std::vector<std::shared_ptr<TFakeSocketScript>> Scripts;
    std::vector<std::shared_ptr<TFakeSocketScript>> Created;
    TFakeSecureTransport FakeSecure;

private:
    Platform::ISocketLayer *FReal;
};

inline TFakeHostLookup::TFakeHostLookup(TFakeSocketLayer &layer, std::string host) : FLayer(layer), FHost(std::move(host))
{
    ++FLayer.LookupsHeld;
}

inline TFakeHostLookup::~TFakeHostLookup()
{
    --FLayer.LookupsHeld;
}

inline Platform::IHostLookup::TState TFakeHostLookup::Poll(Platform::TIPv4Address &address, int &error)
{
    auto answer = FLayer.Lookups.find(FHost);
    const TFakeSocketLayer::TLookupAnswer found = answer == FLayer.Lookups.end() ? TFakeSocketLayer::TLookupAnswer{} : answer->second;
    address = found.Address;
    error = found.Error;
    return found.State;
}

} // namespace Halcyra::Testing
