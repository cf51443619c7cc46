// Tests of the Linux sound: the looping copy and its seam, the sound decoded by SDL, the master
// volume's mapping onto a control's range, and the quiet paths of a machine without audio.
#include "platform/linux/AlsaMixer.h"
#include "platform/linux/SdlSound.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <numeric>

namespace Halcyra::Platform {
namespace {

std::vector<std::uint8_t> Counting(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
    return bytes;
}

struct TFillCase {
    std::size_t LoopBytes;
    std::size_t Position;
    std::size_t OutBytes;
    std::vector<std::uint8_t> Expected;
    std::size_t NextPosition;
};

TEST(FillLooped, CopiesFromThePositionAndGoesRoundToTheStart)
{
    const TFillCase cases[] = {
        {8, 0, 4, {1, 2, 3, 4}, 4},
        {8, 6, 4, {7, 8, 1, 2}, 2},
        {8, 0, 8, {1, 2, 3, 4, 5, 6, 7, 8}, 0},
        {4, 3, 10, {4, 1, 2, 3, 4, 1, 2, 3, 4, 1}, 1},
        {4, 6, 2, {3, 4}, 0}, // a position past the end is taken round the loop
        {0, 0, 3, {0x80, 0x80, 0x80}, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.LoopBytes << " from " << c.Position << " for " << c.OutBytes);
        const auto loop = Counting(c.LoopBytes);
        std::vector<std::uint8_t> out(c.OutBytes, 0xEE);
        EXPECT_EQ(FillLooped(out, loop, c.Position, 0x80), c.NextPosition);
        EXPECT_EQ(out, c.Expected);
    }
}

std::optional<TDecodedWave> SeaSound()
{
    const auto file = ModuleResources().Find("WAVE", "SoundName");
    return file ? DecodeWave(*file) : std::nullopt;
}

// The sample frames the file says it holds, from its "fact" chunk.
std::size_t FactFrames(std::span<const std::uint8_t> file)
{
    const std::string_view tag = "fact";
    const auto at = std::search(file.begin(), file.end(), tag.begin(), tag.end());
    if (file.end() - at < 12)
        return 0;
    return at[8] | at[9] << 8 | at[10] << 16 | static_cast<std::size_t>(at[11]) << 24;
}

TEST(SdlSound, DecodesTheLinkedSoundToSixteenBitStereoAt11025Hz)
{
    const auto file = ModuleResources().Find("WAVE", "SoundName");
    ASSERT_TRUE(file);
    const auto wave = DecodeWave(*file);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->Frequency, 11025);
    EXPECT_EQ(wave->Format, AUDIO_S16LSB);
    EXPECT_EQ(wave->Channels, 2);
    const std::size_t frames = FactFrames(*file);
    EXPECT_GT(frames, 11025u * 47);
    EXPECT_EQ(wave->Samples.size(), frames * 2 * 2) << "every sample frame, none dropped at the end";
}

TEST(SdlSound, RefusesBytesThatAreNoWave)
{
    const std::vector<std::uint8_t> truncatedHeader = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E'};
    const std::vector<std::uint8_t> notRiff(64, 0x55);
    EXPECT_FALSE(DecodeWave(truncatedHeader));
    EXPECT_FALSE(DecodeWave(notRiff));
}

// The device pulls buffers of whatever size it likes; across the end of the loop the output goes
// on with the loop's first sample, with nothing in between.
TEST(SdlSound, LoopHasNoGapAtItsSeam)
{
    const auto wave = SeaSound();
    ASSERT_TRUE(wave);
    const std::vector<std::uint8_t> &loop = wave->Samples;
    for (std::size_t callbackBytes : {std::size_t{8192}, std::size_t{4100}, loop.size() + 12}) {
        SCOPED_TRACE(callbackBytes);
        std::vector<std::uint8_t> played;
        std::vector<std::uint8_t> buffer(callbackBytes);
        std::size_t position = 0;
        while (played.size() < 2 * loop.size() + callbackBytes) {
            position = FillLooped(buffer, loop, position, 0);
            played.insert(played.end(), buffer.begin(), buffer.end());
        }
        ASSERT_TRUE(std::equal(loop.begin(), loop.end(), played.begin()));
        EXPECT_TRUE(std::equal(loop.begin(), loop.end(), played.begin() + static_cast<std::ptrdiff_t>(loop.size())));
    }
}

TEST(AlsaMixer, MapsTheVolumeOntoTheControlsRange)
{
    struct TCase {
        unsigned Volume;
        long Minimum;
        long Maximum;
        long Expected;
    } cases[] = {
        {0, 0, 87, 0},         {65535, 0, 87, 87},      {32767, 0, 87, 43},   {51199, 0, 87, 68},
        {0, -6400, 0, -6400},  {65535, -6400, 0, 0},     {32767, -6400, 0, -3200}, {1, 0, 65535, 1},
        {70000, 0, 31, 31},    {40000, 5, 5, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.Volume << " onto " << c.Minimum << ".." << c.Maximum);
        EXPECT_EQ(MapVolumeToRange(c.Volume, c.Minimum, c.Maximum), c.Expected);
    }
}

TEST(AlsaMixer, AMissingCardIsAQuietFalse)
{
    testing::internal::CaptureStderr();
    const bool set = SetAlsaMasterVolume("hw:99", 51199);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(set);
    EXPECT_EQ(printed, "");
}

// SDL's audio driver for one test: a hint, taken back afterwards.
class SdlSoundDevice : public testing::Test {
protected:
    void UseAudioDriver(const char *driver) { SDL_SetHint(SDL_HINT_AUDIODRIVER, driver); }
    void TearDown() override { SDL_ResetHint(SDL_HINT_AUDIODRIVER); }
};

TEST_F(SdlSoundDevice, PlaysAndStopsWithoutDisturbingTheVideo)
{
    UseAudioDriver("dummy");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    {
        TSdlSound sound(ModuleResources());
        EXPECT_TRUE(sound.PlayLooped("SoundName"));
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        EXPECT_TRUE(sound.PlayLooped("SOUNDNAME")) << "a second start replaces the first";
        sound.StopAll();
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        EXPECT_FALSE(sound.PlayLooped("NoSuchSound"));
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    }
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

TEST_F(SdlSoundDevice, NoDeviceIsAQuietFalse)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound devices";
    UseAudioDriver("alsa");
    testing::internal::CaptureStderr();
    {
        TSdlSound sound(ModuleResources());
        EXPECT_FALSE(sound.PlayLooped("SoundName"));
        sound.StopAll();
        EXPECT_FALSE(sound.SetMasterVolume(65535));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

} // namespace
} // namespace Halcyra::Platform
