// The ambient sound and the master volume.
#pragma once

#include <string>

namespace Halcyra::Platform {

// Every call is made on the user-interface thread.
class ISound {
public:
    virtual ~ISound() = default;

    // Starts the module's "WAVE" resource of this name, looping, without waiting; false when it
    // cannot be played.
    virtual bool PlayLooped(const std::string &resourceName) = 0;
    // Stops every sound this program plays.
    virtual void StopAll() = 0;
    // Sets the system's master volume, 0 (silent) to 65535 (full), on both channels; false when the
    // system has no master volume control. The volume is not restored afterwards.
    virtual bool SetMasterVolume(unsigned volume) = 0;
};

// The system's sound output.
ISound &SystemSound();

} // namespace Halcyra::Platform
