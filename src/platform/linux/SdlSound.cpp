// Linux backend of the sound: SDL's audio subsystem, started for the loop and quit when it stops,
// so that it never touches the video subsystem the saver's window uses.
#include "platform/linux/SdlSound.h"

#include "platform/linux/AlsaMixer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace Halcyra::Platform {
namespace {

// A device buffer of 2048 sample frames: about 0.19 s at the sound's 11,025 Hz, short enough for
// the loop to stop promptly and long enough never to run dry on a busy machine.
constexpr Uint16 DeviceBufferFrames = 2048;

struct TWaveFree {
    void operator()(Uint8 *buffer) const { SDL_FreeWAV(buffer); }
};

// SDL's audio subsystem for as long as the object lives; SDL counts starts, so the video
// subsystem and any other user of SDL are left as they were.
class TSdlAudioSubsystem {
public:
    TSdlAudioSubsystem() : FStarted(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
    ~TSdlAudioSubsystem()
    {
        if (FStarted)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    TSdlAudioSubsystem(const TSdlAudioSubsystem &) = delete;
    TSdlAudioSubsystem &operator=(const TSdlAudioSubsystem &) = delete;
    bool Started() const { return FStarted; }

private:
    bool FStarted;
};

// An open output device; closing it waits for a running callback to return.
class TSdlAudioDevice {
public:
    TSdlAudioDevice() = default;
    ~TSdlAudioDevice()
    {
        if (FDevice != 0)
            SDL_CloseAudioDevice(FDevice);
    }
    TSdlAudioDevice(const TSdlAudioDevice &) = delete;
    TSdlAudioDevice &operator=(const TSdlAudioDevice &) = delete;

    // The wanted format is what the callback writes: SDL converts to the hardware's format on the
    // stream it keeps, so its resampler sees the loop as one unbroken signal and the seam stays
    // seamless after conversion too.
    bool Open(const SDL_AudioSpec &wanted)
    {
        FDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
        return FDevice != 0;
    }
    void Start() { SDL_PauseAudioDevice(FDevice, 0); }

private:
    SDL_AudioDeviceID FDevice = 0;
};

} // namespace

// One playing loop. Members are destroyed in reverse: the device closes (its thread stops) before
// the samples it reads are freed and before the subsystem quits.
struct TSdlSound::TPlayback {
    TSdlAudioSubsystem Subsystem;
    TDecodedWave Wave;
    std::size_t Position = 0;
    std::uint8_t Silence = 0;
    TSdlAudioDevice Device;

    // Runs on SDL's audio thread; nothing else touches Position while the device is open.
    static void Callback(void *self, Uint8 *stream, int length)
    {
        auto *playback = static_cast<TPlayback *>(self);
        playback->Position = FillLooped(std::span(stream, static_cast<std::size_t>(length)), playback->Wave.Samples,
                                        playback->Position, playback->Silence);
    }
};

std::optional<TDecodedWave> DecodeWave(std::span<const std::uint8_t> file)
{
    SDL_RWops *stream = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
    if (stream == nullptr)
        return std::nullopt;
    SDL_AudioSpec format{};
    Uint8 *buffer = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV_RW(stream, 1, &format, &buffer, &length) == nullptr)
        return std::nullopt;
    std::unique_ptr<Uint8, TWaveFree> samples(buffer);
    TDecodedWave wave;
    wave.Frequency = format.freq;
    wave.Format = format.format;
    wave.Channels = format.channels;
    wave.Samples.assign(buffer, buffer + length);
    return wave;
}

std::size_t FillLooped(std::span<std::uint8_t> out, std::span<const std::uint8_t> loop, std::size_t position,
                       std::uint8_t silence)
{
    if (loop.empty()) {
        std::fill(out.begin(), out.end(), silence);
        return 0;
    }
    position %= loop.size();
    std::size_t written = 0;
    while (written < out.size()) {
        const std::size_t count = std::min(out.size() - written, loop.size() - position);
        std::memcpy(out.data() + written, loop.data() + position, count);
        written += count;
        position = (position + count) % loop.size();
    }
    return position;
}

TSdlSound::TSdlSound(const IModuleResources &resources, std::string mixerDevice)
    : FResources(resources), FMixerDevice(std::move(mixerDevice))
{
    // SDL's ALSA driver shares the library this backend links, so this quiets both.
    SilenceAlsaErrors();
}

TSdlSound::~TSdlSound() = default;

bool TSdlSound::PlayLooped(const std::string &resourceName)
{
    StopAll();
    const auto file = FResources.Find("WAVE", resourceName);
    if (!file)
        return false;
    auto wave = DecodeWave(*file);
    if (!wave || wave->Samples.empty())
        return false;
    auto playback = std::make_unique<TPlayback>();
    if (!playback->Subsystem.Started())
        return false;
    playback->Wave = std::move(*wave);
    SDL_AudioSpec wanted{};
    wanted.freq = playback->Wave.Frequency;
    wanted.format = playback->Wave.Format;
    wanted.channels = playback->Wave.Channels;
    wanted.samples = DeviceBufferFrames;
    wanted.callback = TPlayback::Callback;
    wanted.userdata = playback.get();
    // Silence in the callback's format: 0 for signed samples, the midpoint for unsigned 8-bit.
    playback->Silence = playback->Wave.Format == AUDIO_U8 ? 0x80 : 0x00;
    if (!playback->Device.Open(wanted))
        return false;
    playback->Device.Start();
    FPlayback = std::move(playback);
    return true;
}

void TSdlSound::StopAll()
{
    FPlayback.reset();
}

bool TSdlSound::SetMasterVolume(unsigned volume)
{
    return SetAlsaMasterVolume(FMixerDevice, volume);
}

ISound &SystemSound()
{
    static TSdlSound sound(ModuleResources());
    return sound;
}

} // namespace Halcyra::Platform
