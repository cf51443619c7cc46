// Windows backend of the sound: PlaySoundA on the module's own WAVE resource, and the master
// volume through the winmm mixer.
#include "platform/win32/Win32Sound.h"

#include "platform/Sound.h"

namespace Halcyra::Platform {
namespace {

class TWinmmMixer final : public IWinmmMixer {
public:
    MMRESULT Open(HMIXER *mixer, UINT device) override { return mixerOpen(mixer, device, 0, 0, 0); }
    MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA *line, DWORD flags) override
    {
        return mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), line, flags);
    }
    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA *controls, DWORD flags) override
    {
        return mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(mixer), controls, flags);
    }
    MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) override
    {
        return mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(mixer), details, flags);
    }
    MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) override
    {
        return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), details, flags);
    }
    MMRESULT Close(HMIXER mixer) override { return mixerClose(mixer); }
};

// An open mixer, closed when the steps are done whichever of them failed.
class TOpenMixer {
public:
    TOpenMixer(IWinmmMixer &mixer, HMIXER handle) : FMixer(mixer), FHandle(handle) {}
    ~TOpenMixer() { FMixer.Close(FHandle); }
    TOpenMixer(const TOpenMixer &) = delete;
    TOpenMixer &operator=(const TOpenMixer &) = delete;
    HMIXER Handle() const { return FHandle; }

private:
    IWinmmMixer &FMixer;
    HMIXER FHandle;
};

class TWin32Sound final : public ISound {
public:
    TWin32Sound(TPlaySound playSound, IWinmmMixer &mixer) : FPlaySound(playSound), FMixer(mixer) {}

    // The name is looked up with no module handle, which is the running module: the .scr itself.
    bool PlayLooped(const std::string &resourceName) override
    {
        return FPlaySound(resourceName.c_str(), nullptr, SND_RESOURCE | SND_ASYNC | SND_LOOP) != FALSE;
    }
    void StopAll() override { FPlaySound(nullptr, nullptr, SND_PURGE); }
    bool SetMasterVolume(unsigned volume) override { return SetSpeakersVolume(FMixer, volume); }

private:
    TPlaySound FPlaySound;
    IWinmmMixer &FMixer;
};

} // namespace

IWinmmMixer &WinmmMixer()
{
    static TWinmmMixer mixer;
    return mixer;
}

bool SetSpeakersVolume(IWinmmMixer &mixer, unsigned value)
{
    HMIXER handle = nullptr;
    if (mixer.Open(&handle, 0) != MMSYSERR_NOERROR)
        return false;
    const TOpenMixer open(mixer, handle);

    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    if (mixer.GetLineInfo(open.Handle(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
        return false;

    MIXERCONTROLA control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    if (mixer.GetLineControls(open.Handle(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return false;

    // One channel and one unsigned value: read first (the value is not used, the read only has to
    // succeed), then written as the uniform value of every channel.
    MIXERCONTROLDETAILS_UNSIGNED level{};
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof level;
    details.paDetails = &level;
    if (mixer.GetControlDetails(open.Handle(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return false;
    level.dwValue = value;
    return mixer.SetControlDetails(open.Handle(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

std::unique_ptr<ISound> CreateWin32Sound(TPlaySound playSound, IWinmmMixer &mixer)
{
    return std::make_unique<TWin32Sound>(playSound, mixer);
}

ISound &SystemSound()
{
    static TWin32Sound sound(PlaySoundA, WinmmMixer());
    return sound;
}

} // namespace Halcyra::Platform
