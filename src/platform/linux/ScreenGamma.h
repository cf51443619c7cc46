// The screen's gamma ramps, as the full-screen saver dims or brightens the screen and gives it back.
// The ramps found before are given back on every way out: at close, and, once a ramp was changed,
// from the handlers of the crash signals and of a lost X connection, where only async-signal-safe
// calls may be made (requests built beforehand, sent over a connection that carries nothing else).
#pragma once

#include "platform/Display.h"

#include <cstdint>
#include <memory>
#include <vector>

struct _XDisplay;

namespace Halcyra::Platform {

class IScreenGamma {
public:
    virtual ~IScreenGamma() = default;
    // Remembers the ramps in effect now; false when the screen has none that can be set.
    virtual bool Capture() = 0;
    // Sets the ramp (256 entries per channel) on every monitor; false when refused.
    virtual bool Apply(const TGammaRamp &ramp) = 0;
    // Gives back the ramps Capture remembered; nothing when it remembered none.
    virtual void Restore() = 0;
};

// RandR's ramps of every CRTC of the default screen, on an X connection of its own.
class TRandrGamma final : public IScreenGamma {
public:
    TRandrGamma() = default;
    ~TRandrGamma() override;
    TRandrGamma(const TRandrGamma &) = delete;
    TRandrGamma &operator=(const TRandrGamma &) = delete;

    bool Capture() override;
    bool Apply(const TGammaRamp &ramp) override;
    void Restore() override;

private:
    struct TCrtcRamp {
        unsigned long Crtc = 0;
        std::vector<std::uint16_t> Red, Green, Blue;
    };
    void Disconnect();

    _XDisplay *FConnection = nullptr;
    // Carries only the emergency restore; opened when a ramp is first applied.
    _XDisplay *FEmergencyConnection = nullptr;
    int FMajorOpcode = 0;
    std::vector<TCrtcRamp> FOriginal;
    // Whether a ramp of ours is in effect.
    bool FApplied = false;
    // The requests that set the original ramps again, then one that is answered.
    std::vector<std::uint8_t> FEmergencyRequests;
};

// The bytes of X requests that set each CRTC's ramp to the one given, then ask for the input focus,
// whose answer tells that the server has done them; in the client's byte order.
std::vector<std::uint8_t> EncodeGammaRestore(int randrOpcode, const std::vector<unsigned long> &crtcs,
                                             const std::vector<const std::uint16_t *> &red,
                                             const std::vector<const std::uint16_t *> &green,
                                             const std::vector<const std::uint16_t *> &blue,
                                             const std::vector<std::uint16_t> &sizes);

// Where the emergency restore writes: the socket and the bytes. The pointer must stay valid while
// armed. Arming with an empty buffer disarms.
void ArmGammaEmergency(int socket, const std::uint8_t *requests, std::size_t size) noexcept;
// Sends the armed requests and waits for the answer, with async-signal-safe calls only and for two
// seconds at most, whether the socket blocks or not; then disarms. Nothing when nothing is armed.
void RestoreGammaInEmergency() noexcept;
// The crash signals (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) restore the ramps, then end the process
// as they would have. The handlers are installed once; every call gives the calling thread its
// signal stack.
void InstallCrashGammaRestore();
// Gives the calling thread a stack of its own for the crash handlers, so that they run after a stack
// overflow too; once per thread.
void UseAlternateSignalStack();

} // namespace Halcyra::Platform
