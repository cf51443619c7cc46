// The Linux sound: the module's WAVE resource decoded by SDL and looped from SDL's audio callback,
// with the ALSA "Master" control as the master volume.
#pragma once

#include "platform/Resources.h"
#include "platform/Sound.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace Halcyra::Platform {

// A wave file decoded to interleaved PCM in the format SDL reports for it.
struct TDecodedWave {
    int Frequency = 0;
    std::uint16_t Format = 0; // an SDL_AudioFormat
    std::uint8_t Channels = 0;
    std::vector<std::uint8_t> Samples;
};

// Decodes a RIFF WAVE file, Microsoft ADPCM included; nullopt when SDL cannot read it.
std::optional<TDecodedWave> DecodeWave(std::span<const std::uint8_t> file);

// Fills a device buffer from a looped buffer, starting at position (a byte offset into the loop)
// and going round to the loop's start as often as needed; returns the position to go on from. An
// empty loop gives silence.
std::size_t FillLooped(std::span<std::uint8_t> out, std::span<const std::uint8_t> loop, std::size_t position,
                       std::uint8_t silence);

class TSdlSound final : public ISound {
public:
    // Sounds are looked up in these resources; the master volume is the "Master" element of this
    // ALSA control device.
    explicit TSdlSound(const IModuleResources &resources, std::string mixerDevice = "default");
    ~TSdlSound() override;
    TSdlSound(const TSdlSound &) = delete;
    TSdlSound &operator=(const TSdlSound &) = delete;

    bool PlayLooped(const std::string &resourceName) override;
    void StopAll() override;
    bool SetMasterVolume(unsigned volume) override;

private:
    struct TPlayback;

    const IModuleResources &FResources;
    std::string FMixerDevice;
    std::unique_ptr<TPlayback> FPlayback;
};

} // namespace Halcyra::Platform
