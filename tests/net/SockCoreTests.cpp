// The client's name lookups against a name service that hangs: one lookup in flight per client,
// adopted, waited for or forgotten by the requests that follow, and given up when the client ends.
#include "net/SockCore.h"

#include "support/FakeApplication.h"
#include "support/FakeSocket.h"

#include <gtest/gtest.h>

namespace Halcyra::Net {
namespace {

using Platform::IHostLookup;

// A client that connects to port 80 of a name, as a request does.
class TLookingClient final : public TSockCore {
public:
    using TSockCore::TSockCore;

    // The error text of the attempt, or "connected".
    std::string ConnectTo(const std::string &host)
    {
        BeginRequest({});
        try {
            Connect(host, 80);
        } catch (const std::exception &error) {
            return error.what();
        }
        Disconnect();
        return "connected";
    }
};

class SockCoreLookup : public ::testing::Test {
protected:
    SockCoreLookup()
    {
        Sockets.Lookups["slow.example"] = {IHostLookup::TState::Pending, 0, 0};
        Sockets.Lookups["other.example"] = {IHostLookup::TState::Found, 0x7F000001, 0};
        Client.SetTimeOut(50);
    }

    Testing::TFakeApplication Application;
    Testing::TFakeSocketLayer Sockets;
    TLookingClient Client{Sockets, Application};
};

TEST_F(SockCoreLookup, AHangingLookupIsTheOnlyOneTheClientHasWhateverItAsksNext)
{
    for (const char *host : {"slow.example", "slow.example", "other.example", "other.example"})
        EXPECT_EQ(Client.ConnectTo(host), "Host Lookup Timed Out") << host;
    EXPECT_EQ(Sockets.LookedUp, std::vector<std::string>{"slow.example"});
    EXPECT_EQ(Sockets.LookupsHeld, 1);
}

// The slow name's lookup ends while the next request waits: a request for the same name takes its
// answer, one for another name looks its own up then.
TEST_F(SockCoreLookup, TheNextRequestWaitsForTheHangingLookupAndLooksUpOnlyWhatItStillNeeds)
{
    for (const char *next : {"slow.example", "other.example"}) {
        Sockets.Lookups["slow.example"] = {IHostLookup::TState::Pending, 0, 0};
        Sockets.LookedUp.clear();
        Sockets.AddScript();
        Application.OnProcessMessages = nullptr;
        EXPECT_EQ(Client.ConnectTo("slow.example"), "Host Lookup Timed Out");
        Application.ProcessMessagesCount = 0;
        Application.OnProcessMessages = [this] {
            if (Application.ProcessMessagesCount == 2)
                Sockets.Lookups["slow.example"] = {IHostLookup::TState::Found, 0x7F000001, 0};
        };
        EXPECT_EQ(Client.ConnectTo(next), "connected") << next;
        std::vector<std::string> expected{"slow.example"};
        if (next != expected[0])
            expected.push_back(next);
        EXPECT_EQ(Sockets.LookedUp, expected);
        EXPECT_EQ(Sockets.LookupsHeld, 0);
    }
}

TEST_F(SockCoreLookup, ALookupThatEndedWhileNoRequestWaitedIsAskedAgain)
{
    EXPECT_EQ(Client.ConnectTo("slow.example"), "Host Lookup Timed Out");
    Sockets.Lookups["slow.example"] = {IHostLookup::TState::Failed, 0, Platform::SocketError::HostNotFound};
    EXPECT_EQ(Client.ConnectTo("slow.example"), "Null Remote Address");
    EXPECT_EQ(Sockets.LookedUp, (std::vector<std::string>{"slow.example", "slow.example"}));
}

TEST(SockCoreLookupEnd, TheClientEndingGivesUpItsLookup)
{
    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets;
    sockets.Lookups["slow.example"] = {IHostLookup::TState::Pending, 0, 0};
    {
        TLookingClient client(sockets, application);
        client.SetTimeOut(20);
        EXPECT_EQ(client.ConnectTo("slow.example"), "Host Lookup Timed Out");
        EXPECT_EQ(sockets.LookupsHeld, 1);
    }
    EXPECT_EQ(sockets.LookupsHeld, 0);
}

} // namespace
} // namespace Halcyra::Net
