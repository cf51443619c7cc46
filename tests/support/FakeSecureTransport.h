// A secure transport without cryptography, for what a real server cannot be made to do on demand and
// for reading the client's secure path byte by byte: its sessions pass bytes through unchanged, after a
// handshake of scripted length and outcome, and fail or close a record stream where the script says.
#pragma once

#include "platform/SecureTransport.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Halcyra::Testing {

struct TFakeSecureScript {
    // BeginClient gives no session.
    bool CannotBegin = false;
    // What the client's first handshake step sends.
    std::string Hello = "HELLO\n";
    // Bytes of the server's answer the handshake takes before it ends as HandshakeEnd says; the bytes
    // after them are the first records.
    std::size_t HandshakeBytes = 0;
    Platform::TSecureStep HandshakeEnd = Platform::TSecureStep::Done;
    Platform::TSecureFailure Failure = Platform::TSecureFailure::Handshake;
    // A record stream holding these bytes fails, or is closed by the peer, where they begin (empty:
    // never).
    std::string FailAt;
    std::string CloseAt;
    // Encrypt fails.
    bool CannotEncrypt = false;

    // What the sessions saw.
    std::vector<std::string> Hosts;
    int Closes = 0;
};

class TFakeSecureSession final : public Platform::ISecureSession {
public:
    explicit TFakeSecureSession(TFakeSecureScript &script) : FScript(script) {}

    Platform::TSecureStep Handshake(std::string_view input, std::string &output, Platform::TSecureFailure &failure) override
    {
        if (!FHelloSent) {
            output += FScript.Hello;
            FHelloSent = true;
        }
        const std::size_t taken = std::min(input.size(), FScript.HandshakeBytes - FHandshakeSeen);
        FHandshakeSeen += taken;
        FPending.append(input.substr(taken));
        if (FHandshakeSeen < FScript.HandshakeBytes)
            return Platform::TSecureStep::WantInput;
        if (FScript.HandshakeEnd == Platform::TSecureStep::Failed)
            failure = FScript.Failure;
        return FScript.HandshakeEnd;
    }

    bool Encrypt(std::string_view plain, std::string &output) override
    {
        if (FScript.CannotEncrypt)
            return false;
        output.append(plain);
        return true;
    }

    Platform::TSecureStep Decrypt(std::string_view input, std::string &plain, std::string &) override
    {
        const std::size_t before = FSeen.size();
        FSeen += FPending;
        FPending.clear();
        FSeen.append(input);
        // The earliest marker ends the stream; the bytes before it are the last plaintext.
        std::size_t end = FSeen.size();
        Platform::TSecureStep step = Platform::TSecureStep::WantInput;
        for (const auto &[marker, markerStep] : {std::pair{&FScript.FailAt, Platform::TSecureStep::Failed},
                                                 std::pair{&FScript.CloseAt, Platform::TSecureStep::Closed}}) {
            if (marker->empty())
                continue;
            const std::size_t at = FSeen.find(*marker, before >= marker->size() ? before - marker->size() + 1 : 0);
            if (at != std::string::npos && at < end) {
                end = at;
                step = markerStep;
            }
        }
        if (end > before)
            plain.append(FSeen, before, end - before);
        return step;
    }

    void Close(std::string &output) override
    {
        ++FScript.Closes;
        output += "BYE\n";
    }

private:
    TFakeSecureScript &FScript;
    bool FHelloSent = false;
    std::size_t FHandshakeSeen = 0;
    // Bytes that came with the end of the handshake, and every record byte so far.
    std::string FPending;
    std::string FSeen;
};

class TFakeSecureTransport final : public Platform::ISecureTransport {
public:
    std::unique_ptr<Platform::ISecureSession> BeginClient(const std::string &host) override
    {
        Script.Hosts.push_back(host);
        if (Script.CannotBegin)
            return nullptr;
        return std::make_unique<TFakeSecureSession>(Script);
    }

    TFakeSecureScript Script;
};

} // namespace Halcyra::Testing
