// Fuzz target: whatever a server may answer, read by the HTTP client's status line, header and body
// code (RemoveHeader, CaptureString) through scripted sockets: the answer arrives in pieces of sizes
// chosen by the input, ends with a close, a silence or an error, and is served again for every request
// a redirect or repeat makes. For an https request the same answer is read through the secure stream
// (a session that passes bytes through after a handshake of a length the input chooses, and fails or
// closes at markers in the answer), after a proxy's answer to the tunnel request when a proxy is used.
#include "net/HttpClient.h"
#include "net/SockErrors.h"

#include "support/FakeApplication.h"
#include "support/FakeSocket.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace Halcyra;
    if (size < 2)
        return 0;
    // Byte 0: how the answer ends, whether a proxy is used, whether the request is https and how many
    // bytes its handshake takes; byte 1: the piece size pattern.
    const int endings[] = {0, Platform::SocketError::WouldBlock, Platform::SocketError::NotConnected,
                           Platform::SocketError::ConnectionReset};
    int ending = endings[data[0] & 3];
    bool proxy = (data[0] & 4) != 0;
    bool secure = (data[0] & 0x80) != 0;
    std::size_t pieceSize = 1 + data[1] % 64;
    std::string answer(reinterpret_cast<const char *>(data + 2), size - 2);

    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < answer.size(); at += pieceSize) {
        pieces.push_back(answer.substr(at, pieceSize));
        // Now and then nothing is waiting for a moment.
        if ((at / pieceSize) % 7 == 3)
            pieces.emplace_back();
    }

    Testing::TFakeApplication application;
    Testing::TFakeSocketLayer sockets;
    for (int request = 0; request < Net::THttpClient::MaxRequestsPerGet; ++request) {
        Testing::TFakeSocketScript script;
        script.Pieces = pieces;
        script.EndResult = ending;
        sockets.AddScript(script);
    }
    Testing::TFakeSecureScript &session = sockets.FakeSecure.Script;
    session.HandshakeBytes = (data[0] >> 3) & 15;
    session.FailAt = std::string("\0FAIL", 5);
    session.CloseAt = std::string("\0CLOSE", 6);
    Net::THttpClient client(sockets, application);
    client.SetTimeOut(2);
    if (proxy) {
        client.SetProxy("127.0.0.1");
        client.SetProxyPort(3128);
    }
    try {
        client.Get(secure ? "https://127.0.0.1:8443/feed.xml" : "http://127.0.0.1:8080/feed.xml");
        if (client.GetBody().size() > Net::THttpClient::MaxBodySize ||
            client.GetHeader().size() > Net::THttpClient::MaxHeaderSize)
            __builtin_trap();
    } catch (const Net::ESockError &) {
    } catch (const std::runtime_error &) {
        // Redirects to unusable addresses end with the client's plain errors.
    }
    if (client.GetConnected())
        __builtin_trap();
    for (const auto &script : sockets.Created) {
        if (!script->Closed)
            __builtin_trap();
    }
    return 0;
}
