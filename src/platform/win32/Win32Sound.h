// The Windows sound: PlaySoundA and the master volume's winmm mixer calls behind seams, so that a
// test can record them in order and fail any one of them.
#pragma once

#include "platform/Sound.h"

#include <windows.h>

#include <memory>
#include <mmsystem.h>

namespace Halcyra::Platform {

// One method per winmm mixer function the master volume calls, with the same arguments and results.
class IWinmmMixer {
public:
    virtual ~IWinmmMixer() = default;

    // mixerOpen with no callback and no flags.
    virtual MMRESULT Open(HMIXER *mixer, UINT device) = 0;
    virtual MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA *line, DWORD flags) = 0;
    virtual MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA *controls, DWORD flags) = 0;
    virtual MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) = 0;
    virtual MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) = 0;
    virtual MMRESULT Close(HMIXER mixer) = 0;
};

// The system's winmm mixer functions.
IWinmmMixer &WinmmMixer();

// Sets the volume control of the speakers line on mixer device 0 to value (0..65535) as one
// uniform value for every channel; false when any step fails. The mixer is closed again whenever
// it was opened.
bool SetSpeakersVolume(IWinmmMixer &mixer, unsigned value);

// PlaySoundA's arguments and result.
using TPlaySound = BOOL (*)(LPCSTR sound, HMODULE module, DWORD flags);

// The sound backend over these functions (SystemSound is PlaySoundA and the system's mixer).
std::unique_ptr<ISound> CreateWin32Sound(TPlaySound playSound, IWinmmMixer &mixer);

} // namespace Halcyra::Platform
