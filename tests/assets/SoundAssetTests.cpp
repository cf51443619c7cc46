// Tests of the looped sound as linked into the module: a RIFF WAVE in Microsoft ADPCM with the
// format the system plays, about 47.7 seconds long, decoded here block by block to check that it
// neither clips nor steps at the point where the loop starts over.
#include "assets/AssetReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Testing {
namespace {

struct TWave {
    std::span<const std::uint8_t> Format;
    std::span<const std::uint8_t> Data;
    std::optional<std::uint32_t> FactFrames;
};

std::optional<TWave> ReadWave(std::span<const std::uint8_t> file)
{
    if (file.size() < 12 || std::string(file.begin(), file.begin() + 4) != "RIFF" ||
        std::string(file.begin() + 8, file.begin() + 12) != "WAVE")
        return std::nullopt;
    TWave wave;
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string tag(file.begin() + at, file.begin() + at + 4);
        const std::uint32_t size = ReadLe32(file, at + 4);
        if (size > file.size() - at - 8)
            return std::nullopt;
        const auto body = file.subspan(at + 8, size);
        if (tag == "fmt ")
            wave.Format = body;
        else if (tag == "data")
            wave.Data = body;
        else if (tag == "fact" && size >= 4)
            wave.FactFrames = ReadLe32(body, 0);
        at += 8 + size + (size & 1);
    }
    if (wave.Format.size() < 18 || wave.Data.empty())
        return std::nullopt;
    return wave;
}

const std::array<int, 16> Adaptation = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

// Decodes Microsoft ADPCM stereo blocks into interleaved 16-bit samples.
std::vector<int> DecodeAdpcmStereo(std::span<const std::uint8_t> data, int blockAlign, int framesPerBlock,
                                   const std::vector<std::array<int, 2>> &coefficients)
{
    std::vector<int> out;
    for (std::size_t start = 0; start + blockAlign <= data.size(); start += blockAlign) {
        const auto block = data.subspan(start, blockAlign);
        int predictor[2] = {block[0], block[1]};
        int delta[2] = {ReadLeS16(block, 2), ReadLeS16(block, 4)};
        int sample1[2] = {ReadLeS16(block, 6), ReadLeS16(block, 8)};
        int sample2[2] = {ReadLeS16(block, 10), ReadLeS16(block, 12)};
        for (int c = 0; c < 2; ++c)
            predictor[c] = std::min<int>(predictor[c], static_cast<int>(coefficients.size()) - 1);
        out.push_back(sample2[0]);
        out.push_back(sample2[1]);
        out.push_back(sample1[0]);
        out.push_back(sample1[1]);
        int frames = 2;
        for (std::size_t i = 14; i < block.size() && frames < framesPerBlock; ++i, ++frames) {
            const int nibbles[2] = {block[i] >> 4, block[i] & 15};
            for (int c = 0; c < 2; ++c) {
                const int signedNibble = nibbles[c] >= 8 ? nibbles[c] - 16 : nibbles[c];
                const auto &coefficient = coefficients[predictor[c]];
                int value = ((sample1[c] * coefficient[0] + sample2[c] * coefficient[1]) >> 8) + signedNibble * delta[c];
                value = std::clamp(value, -32768, 32767);
                delta[c] = std::max(16, Adaptation[nibbles[c]] * delta[c] / 256);
                sample2[c] = sample1[c];
                sample1[c] = value;
                out.push_back(value);
            }
        }
    }
    return out;
}

class SoundAsset : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto file = Platform::ModuleResources().Find("WAVE", "SoundName");
        ASSERT_TRUE(file) << "the sound is found by the name the scene plays";
        auto wave = ReadWave(*file);
        ASSERT_TRUE(wave);
        Wave = *wave;
    }

    TWave Wave;
};

TEST_F(SoundAsset, IsStereoMicrosoftAdpcmAt11025HzIn512ByteBlocks)
{
    const auto fmt = Wave.Format;
    EXPECT_EQ(ReadLe16(fmt, 0), 2) << "format tag";
    EXPECT_EQ(ReadLe16(fmt, 2), 2) << "channels";
    EXPECT_EQ(ReadLe32(fmt, 4), 11025u) << "sample rate";
    EXPECT_EQ(ReadLe16(fmt, 12), 512) << "block size";
    EXPECT_EQ(ReadLe16(fmt, 14), 4) << "bits per sample";
    ASSERT_GE(fmt.size(), 22u + 7 * 4);
    EXPECT_EQ(ReadLe16(fmt, 18), 500) << "sample frames per block";
    EXPECT_EQ(ReadLe16(fmt, 20), 7) << "coefficient pairs";
    const int standard[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ReadLeS16(fmt, 22 + 4 * i), standard[i][0]);
        EXPECT_EQ(ReadLeS16(fmt, 24 + 4 * i), standard[i][1]);
    }
}

TEST_F(SoundAsset, LastsAbout47Point7SecondsInWholeBlocks)
{
    // Whole blocks only: a short last block is dropped by some decoders, which would shorten the
    // loop and put a click where it starts over.
    EXPECT_EQ(Wave.Data.size() % 512, 0u);
    const std::size_t frames = Wave.Data.size() / 512 * 500;
    ASSERT_TRUE(Wave.FactFrames);
    EXPECT_EQ(*Wave.FactFrames, frames);
    const double seconds = static_cast<double>(frames) / 11025.0;
    EXPECT_NEAR(seconds, 47.7, 0.1);
}

TEST_F(SoundAsset, DecodesWithoutClippingAtASensibleLevel)
{
    std::vector<std::array<int, 2>> coefficients;
    for (int i = 0; i < ReadLe16(Wave.Format, 20); ++i)
        coefficients.push_back({ReadLeS16(Wave.Format, 22 + 4 * i), ReadLeS16(Wave.Format, 24 + 4 * i)});
    const std::vector<int> samples = DecodeAdpcmStereo(Wave.Data, 512, 500, coefficients);
    ASSERT_EQ(samples.size(), Wave.Data.size() / 512 * 500 * 2);
    int peak = 0;
    double energy = 0.0;
    int railed = 0;
    for (int s : samples) {
        peak = std::max(peak, std::abs(s));
        energy += static_cast<double>(s) * s;
        railed += (s >= 32767 || s <= -32768) ? 1 : 0;
    }
    EXPECT_EQ(railed, 0);
    EXPECT_LT(peak, 30000);
    EXPECT_GT(peak, 8000);
    const double rms = std::sqrt(energy / samples.size());
    EXPECT_GT(rms, 1000.0) << "audible";
    EXPECT_LT(rms, 8000.0) << "an ambience, not a roar";
}

TEST_F(SoundAsset, LoopSeamIsNoLargerThanAnOrdinaryStep)
{
    std::vector<std::array<int, 2>> coefficients;
    for (int i = 0; i < ReadLe16(Wave.Format, 20); ++i)
        coefficients.push_back({ReadLeS16(Wave.Format, 22 + 4 * i), ReadLeS16(Wave.Format, 24 + 4 * i)});
    const std::vector<int> samples = DecodeAdpcmStereo(Wave.Data, 512, 500, coefficients);
    const std::size_t frames = samples.size() / 2;
    ASSERT_GT(frames, 1000u);
    for (int c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        std::vector<int> steps;
        steps.reserve(frames);
        for (std::size_t i = 1; i < frames; ++i)
            steps.push_back(std::abs(samples[2 * i + c] - samples[2 * (i - 1) + c]));
        std::sort(steps.begin(), steps.end());
        const int seam = std::abs(samples[c] - samples[2 * (frames - 1) + c]);
        const int typical = steps[steps.size() * 999 / 1000];
        EXPECT_LE(seam, typical);
        // The waveform's slope carries across the seam too: the step before the seam and the one
        // after it look alike.
        const int before = samples[2 * (frames - 1) + c] - samples[2 * (frames - 2) + c];
        const int across = samples[c] - samples[2 * (frames - 1) + c];
        EXPECT_LE(std::abs(across - before), typical);
    }
}

} // namespace
} // namespace Halcyra::Testing
