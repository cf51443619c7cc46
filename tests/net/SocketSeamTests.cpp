// The socket seam of this platform against a server on 127.0.0.1: non-blocking connect, peek and
// receive, the peer's close, refused connections and name lookup, each reported with the Windows
// Sockets codes.
#include "platform/Socket.h"

#include "net/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace Halcyra::Platform {
namespace {

using Testing::TLoopbackConnection;
using Testing::TLoopbackServer;

class SocketSeamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Sockets().Startup(), 0);
        ASSERT_EQ(Sockets().CreateStream(FSocket), 0);
    }
    void TearDown() override
    {
        FSocket.reset();
        Sockets().Cleanup();
    }

    // Connects and waits for the outcome, at most two seconds.
    int ConnectTo(std::uint16_t port)
    {
        int result = FSocket->Connect(0x7F000001, port);
        for (int i = 0; i < 200 && result == SocketError::WouldBlock; ++i) {
            bool ready = false;
            FSocket->Wait(TSocketWait::Writable, 10, ready);
            result = FSocket->ConnectResult();
        }
        return result;
    }

    // Receives until the peer closes, at most two seconds.
    std::string ReceiveAll()
    {
        std::string all;
        char buffer[256];
        for (int i = 0; i < 200; ++i) {
            std::size_t received = 0;
            int error = FSocket->Receive(buffer, sizeof buffer, received);
            if (error == 0 && received == 0)
                break;
            if (error == SocketError::WouldBlock) {
                bool ready = false;
                FSocket->Wait(TSocketWait::Readable, 10, ready);
                continue;
            }
            EXPECT_EQ(error, 0);
            all.append(buffer, received);
        }
        return all;
    }

    std::unique_ptr<IStreamSocket> FSocket;
};

TEST_F(SocketSeamTest, ConnectSendPeekReceiveAndThePeersClose)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) { connection.Send("answer"); });
    ASSERT_EQ(ConnectTo(server.GetPort()), 0);
    std::size_t sent = 0;
    ASSERT_EQ(FSocket->Send("ping\r\n\r\n", 8, sent), 0);
    EXPECT_EQ(sent, 8u);

    bool ready = false;
    for (int i = 0; i < 200 && !ready; ++i)
        ASSERT_EQ(FSocket->Wait(TSocketWait::Readable, 10, ready), 0);
    ASSERT_TRUE(ready);
    char buffer[3];
    std::size_t peeked = 0;
    ASSERT_EQ(FSocket->Peek(buffer, sizeof buffer, peeked), 0);
    EXPECT_EQ(std::string(buffer, peeked), "ans");
    EXPECT_EQ(ReceiveAll(), "answer");
    EXPECT_EQ(server.GetRequests(), std::vector<std::string>{"ping\r\n\r\n"});
    FSocket->Close(TSocketClose::Graceful);
}

TEST_F(SocketSeamTest, NothingWaitingIsWouldBlock)
{
    TLoopbackServer server([](TLoopbackConnection &connection, const std::string &) { connection.Pause(300); });
    ASSERT_EQ(ConnectTo(server.GetPort()), 0);
    char buffer[8];
    std::size_t received = 99;
    EXPECT_EQ(FSocket->Receive(buffer, sizeof buffer, received), SocketError::WouldBlock);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(FSocket->Peek(buffer, sizeof buffer, received), SocketError::WouldBlock);
    bool ready = true;
    EXPECT_EQ(FSocket->Wait(TSocketWait::Readable, 0, ready), 0);
    EXPECT_FALSE(ready);
    FSocket->Close(TSocketClose::Abortive);
}

TEST_F(SocketSeamTest, RefusedConnectionIsTheWindowsSocketsCode)
{
    EXPECT_EQ(ConnectTo(TLoopbackServer::UnusedPort()), SocketError::ConnectionRefused);
}

TEST_F(SocketSeamTest, ClosedSocketRefusesFurtherCalls)
{
    FSocket->Close(TSocketClose::Graceful);
    char buffer[4];
    std::size_t received = 0;
    int error = FSocket->Receive(buffer, sizeof buffer, received);
#ifdef _WIN32
    EXPECT_EQ(error, 10038); // WSAENOTSOCK
#else
    EXPECT_EQ(error, 10009); // EBADF
#endif
}

TEST(SocketSeamLookup, LocalhostIsFound)
{
    ASSERT_EQ(Sockets().Startup(), 0);
    std::unique_ptr<IHostLookup> lookup = Sockets().BeginLookup("localhost");
    TIPv4Address address = 0;
    int error = 0;
    IHostLookup::TState state = IHostLookup::TState::Pending;
    for (int i = 0; i < 500 && state == IHostLookup::TState::Pending; ++i) {
        state = lookup->Poll(address, error);
        if (state == IHostLookup::TState::Pending)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(state, IHostLookup::TState::Found);
    EXPECT_EQ(address, 0x7F000001u);
    Sockets().Cleanup();
}

} // namespace
} // namespace Halcyra::Platform
