// Tests of the Windows sound: the mixer calls that set the master volume, in order and closed on
// every failure, through a recording mixer; and the real backend under Wine, which has no mixer
// device, together with the sound resource where PlaySoundA finds it.
#include "platform/Sound.h"
#include "platform/win32/Win32Sound.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Halcyra::Platform {
namespace {

const HMIXER OpenedMixer = reinterpret_cast<HMIXER>(0x5A5A);
constexpr DWORD SpeakersLine = 7;
constexpr DWORD VolumeControl = 9;

// Records each call with what it was asked, and fails the call named in FailAt.
class TRecordingMixer final : public IWinmmMixer {
public:
    explicit TRecordingMixer(std::string failAt) : FFailAt(std::move(failAt)) {}

    MMRESULT Open(HMIXER *mixer, UINT device) override
    {
        Record("Open", nullptr, "device " + std::to_string(device));
        if (FFailAt == "Open")
            return MMSYSERR_BADDEVICEID;
        *mixer = OpenedMixer;
        return MMSYSERR_NOERROR;
    }
    MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA *line, DWORD flags) override
    {
        const bool speakers = line->cbStruct == sizeof *line && line->dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
        const bool byType = flags == (MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE);
        Record("GetLineInfo", mixer, std::string(speakers ? "speakers" : "another line") + (byType ? " by type" : " otherwise"));
        line->dwLineID = SpeakersLine;
        return Result("GetLineInfo");
    }
    MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA *controls, DWORD flags) override
    {
        const bool volume = controls->cbStruct == sizeof *controls && controls->dwLineID == SpeakersLine &&
                            controls->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME && controls->cControls == 1 &&
                            controls->cbmxctrl == sizeof(MIXERCONTROLA) && controls->pamxctrl != nullptr;
        const bool oneByType = flags == (MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
        Record("GetLineControls", mixer,
               std::string(volume ? "volume of the speakers" : "something else") + (oneByType ? " by type" : " otherwise"));
        if (volume)
            controls->pamxctrl->dwControlID = VolumeControl;
        return Result("GetLineControls");
    }
    MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) override
    {
        Record("GetControlDetails", mixer, DescribeDetails(details, flags == (MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE)));
        if (OneUnsigned(details))
            static_cast<MIXERCONTROLDETAILS_UNSIGNED *>(details->paDetails)->dwValue = 1234;
        return Result("GetControlDetails");
    }
    MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS *details, DWORD flags) override
    {
        std::string what = DescribeDetails(details, flags == (MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE));
        if (OneUnsigned(details))
            what += " = " + std::to_string(static_cast<MIXERCONTROLDETAILS_UNSIGNED *>(details->paDetails)->dwValue);
        Record("SetControlDetails", mixer, what);
        return Result("SetControlDetails");
    }
    MMRESULT Close(HMIXER mixer) override
    {
        Record("Close", mixer, "");
        return MMSYSERR_NOERROR;
    }

    std::vector<std::string> Calls;

private:
    static bool OneUnsigned(const MIXERCONTROLDETAILS *details)
    {
        return details->cbStruct == sizeof *details && details->dwControlID == VolumeControl && details->cChannels == 1 &&
               details->cMultipleItems == 0 && details->cbDetails == sizeof(MIXERCONTROLDETAILS_UNSIGNED) &&
               details->paDetails != nullptr;
    }
    static std::string DescribeDetails(const MIXERCONTROLDETAILS *details, bool valueFlags)
    {
        return std::string(OneUnsigned(details) ? "one unsigned of the volume" : "other details") +
               (valueFlags ? "" : " with other flags");
    }
    void Record(const std::string &call, HMIXER mixer, const std::string &what)
    {
        const bool otherMixer = call != "Open" && mixer != OpenedMixer;
        Calls.push_back(call + (what.empty() ? "" : " " + what) + (otherMixer ? " (another mixer)" : ""));
    }
    MMRESULT Result(const std::string &call) const { return call == FFailAt ? MMSYSERR_ERROR : MMSYSERR_NOERROR; }

    std::string FFailAt;
};

TEST(Win32Sound, SetsTheSpeakersVolumeInSevenStepsAndClosesOnEveryFailure)
{
    const std::vector<std::string> steps = {
        "Open device 0",
        "GetLineInfo speakers by type",
        "GetLineControls volume of the speakers by type",
        "GetControlDetails one unsigned of the volume",
        "SetControlDetails one unsigned of the volume = 51199",
    };
    struct TCase {
        std::string FailAt;
        std::size_t StepsMade;
        bool Closed;
        bool Result;
    } cases[] = {
        {"", 5, true, true},
        {"Open", 1, false, false},
        {"GetLineInfo", 2, true, false},
        {"GetLineControls", 3, true, false},
        {"GetControlDetails", 4, true, false},
        {"SetControlDetails", 5, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.FailAt.empty() ? "no failure" : c.FailAt + " fails");
        TRecordingMixer mixer(c.FailAt);
        EXPECT_EQ(SetSpeakersVolume(mixer, 51199), c.Result);
        std::vector<std::string> expected(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(c.StepsMade));
        if (c.Closed)
            expected.push_back("Close");
        EXPECT_EQ(mixer.Calls, expected);
    }
}

// What PlaySoundA was asked, call by call.
std::vector<std::string> GPlaySoundCalls;
BOOL RecordPlaySound(LPCSTR sound, HMODULE module, DWORD flags)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s, %s, 0x%05lX", sound != nullptr ? sound : "(no name)", module != nullptr ? "a module" : "(no module)",
                  static_cast<unsigned long>(flags));
    GPlaySoundCalls.push_back(text);
    return TRUE;
}

TEST(Win32Sound, TheLoopIsTheResourceSoundNamePlayedAsynchronouslyAndStoppedByPurge)
{
    GPlaySoundCalls.clear();
    TRecordingMixer mixer("");
    std::unique_ptr<ISound> sound = CreateWin32Sound(RecordPlaySound, mixer);
    EXPECT_TRUE(sound->PlayLooped("SoundName"));
    sound->StopAll();
    // SND_RESOURCE 0x40004, SND_ASYNC 0x1, SND_LOOP 0x8; SND_PURGE 0x40.
    EXPECT_EQ(GPlaySoundCalls, (std::vector<std::string>{"SoundName, (no module), 0x4000D", "(no name), (no module), 0x00040"}));
    EXPECT_TRUE(mixer.Calls.empty());
}

TEST(Win32Sound, WithoutAMixerDeviceTheVolumeIsLeftAlone)
{
    if (mixerGetNumDevs() != 0)
        GTEST_SKIP() << "this system has a mixer device";
    EXPECT_FALSE(SystemSound().SetMasterVolume(51199));
}

std::filesystem::path ScreensaverModule()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().parent_path() / "HalcyraScreensaver.scr";
}

// PlaySoundA with no module handle looks in the program's own module: the .scr when it runs, the
// test program here. Both carry the sound under the name the scene plays, whatever its case.
TEST(Win32Sound, TheSoundIsInTheModuleWherePlaySoundLooks)
{
    EXPECT_NE(FindResourceA(nullptr, "SoundName", "WAVE"), nullptr);
    HMODULE screensaver = LoadLibraryExA(ScreensaverModule().string().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(screensaver, nullptr);
    EXPECT_NE(FindResourceA(screensaver, "SoundName", "WAVE"), nullptr);
    FreeLibrary(screensaver);
}

TEST(Win32Sound, PlaysAndStopsTheLoopWithOrWithoutADevice)
{
    ISound &sound = SystemSound();
    sound.PlayLooped("SoundName");
    sound.StopAll();
    sound.StopAll();
    // Stopped: a call that refuses to interrupt a playing sound is not refused.
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, SND_NOSTOP | SND_PURGE));
}

} // namespace
} // namespace Halcyra::Platform
