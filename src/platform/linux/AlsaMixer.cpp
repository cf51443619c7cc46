// Linux backend of the master volume through ALSA's simple mixer interface.
#include "platform/linux/AlsaMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace Halcyra::Platform {
namespace {

constexpr unsigned FullVolume = 65535;

void IgnoreAlsaError(const char *, int, const char *, int, const char *, ...) {}

struct TMixerClose {
    void operator()(snd_mixer_t *mixer) const { snd_mixer_close(mixer); }
};
using TMixer = std::unique_ptr<snd_mixer_t, TMixerClose>;

struct TSelemIdFree {
    void operator()(snd_mixer_selem_id_t *id) const { snd_mixer_selem_id_free(id); }
};

// The mixer of the device with its simple elements loaded, or null.
TMixer OpenMixer(const std::string &device)
{
    snd_mixer_t *opened = nullptr;
    if (snd_mixer_open(&opened, 0) < 0)
        return nullptr;
    TMixer mixer(opened);
    if (snd_mixer_attach(mixer.get(), device.c_str()) < 0 || snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer.get()) < 0)
        return nullptr;
    return mixer;
}

} // namespace

long MapVolumeToRange(unsigned volume, long minimum, long maximum)
{
    const std::int64_t span = static_cast<std::int64_t>(maximum) - minimum;
    const std::int64_t scaled = (static_cast<std::int64_t>(std::min(volume, FullVolume)) * span + FullVolume / 2) / FullVolume;
    return static_cast<long>(minimum + scaled);
}

bool SetAlsaMasterVolume(const std::string &device, unsigned volume)
{
    SilenceAlsaErrors();
    TMixer mixer = OpenMixer(device);
    if (!mixer)
        return false;
    snd_mixer_selem_id_t *allocated = nullptr;
    if (snd_mixer_selem_id_malloc(&allocated) < 0)
        return false;
    std::unique_ptr<snd_mixer_selem_id_t, TSelemIdFree> id(allocated);
    snd_mixer_selem_id_set_index(id.get(), 0);
    snd_mixer_selem_id_set_name(id.get(), "Master");
    snd_mixer_elem_t *master = snd_mixer_find_selem(mixer.get(), id.get());
    if (master == nullptr || !snd_mixer_selem_has_playback_volume(master))
        return false;
    long minimum = 0;
    long maximum = 0;
    if (snd_mixer_selem_get_playback_volume_range(master, &minimum, &maximum) < 0 || maximum < minimum)
        return false;
    return snd_mixer_selem_set_playback_volume_all(master, MapVolumeToRange(volume, minimum, maximum)) >= 0;
}

void SilenceAlsaErrors()
{
    snd_lib_error_set_handler(IgnoreAlsaError);
}

} // namespace Halcyra::Platform
