// The Linux master volume: the playback volume of the ALSA simple mixer element "Master".
#pragma once

#include <string>

namespace Halcyra::Platform {

// Maps a volume of 0..65535 onto a control's own range, rounding to the nearest step: 0 gives
// minimum, 65535 (or more) gives maximum.
long MapVolumeToRange(unsigned volume, long minimum, long maximum);

// Sets every channel of the "Master" playback volume on the mixer of this ALSA control device
// ("default" for the default card); false when there is no such device, element or volume.
bool SetAlsaMasterVolume(const std::string &device, unsigned volume);

// Keeps ALSA's own error printing off stderr: a machine without a sound card is an ordinary case
// for us, not something to complain about.
void SilenceAlsaErrors();

} // namespace Halcyra::Platform
