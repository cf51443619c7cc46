// Tests of the weather gadget on soft surfaces: the icons cut from the strip at their places, codes
// that name no condition, the two texts with their degree signs, and what is drawn when the strip or
// the device context is missing.
#include "gadgets/WeatherGadget.h"
#include "GadgetFixture.h"

#include <memory>

namespace Halcyra {
namespace {

using namespace Platform;
using Testing::MakeBitmap;

// Frame i of the test strip is filled with a colour of its own.
std::uint32_t IconColour(int frame)
{
    return 0x00200000u + static_cast<std::uint32_t>(frame) * 0x000305u;
}

// The places of the icons and texts with the clock shown (the gadget at 571, 698).
constexpr int TodayIconX = 665;
constexpr int TomorrowIconX = 777;
constexpr int IconY = 706;
constexpr TRect TodayText{724, 720, 777, 768};
constexpr TRect TomorrowText{836, 720, 1024, 768};

class WeatherGadgetTest : public Testing::GadgetFixture {
protected:
    void SetUp() override
    {
        GadgetFixture::SetUp();
        Strip = std::make_unique<TQMV>(Engine.get());
        Strip->SetStretching(true);
        Strip->SetPicture(Imaging::TPicture::FromBitmap(MakeBitmap(52, 49 * 52, [](int, int y) { return IconColour(y / 52); })));
        Strip->SetYOffsetFrame(52);
        Strip->CreateDXMovie();
        Strip->SetTransparency(false);
        Gadget = std::make_unique<TQGW>(Engine.get(), Values);
        Gadget->SetStretching(true);
        Gadget->SetShowX(571);
        Gadget->SetShowY(698);
        Gadget->SetWeatherPicVCL(Strip.get());
    }

    Imaging::TBitmap32 DrawWeather() { return Frame([&] { Gadget->DrawGadgetWeather(); }); }

    // The reference of the two texts in the gadget's font.
    static Imaging::TBitmap32 Texts(const std::string &today, const std::string &tomorrow)
    {
        return Reference({{724, 727, today, Testing::White, 20}, {836, 727, tomorrow, Testing::White, 20}});
    }

    std::unique_ptr<TQMV> Strip;
    std::unique_ptr<TQGW> Gadget;
};

TEST_F(WeatherGadgetTest, AFreshGadgetShowsTheNotAvailableIconsAndTexts)
{
    const auto screen = DrawWeather();
    EXPECT_EQ(screen.GetPixel(TodayIconX, IconY), IconColour(48));
    EXPECT_EQ(screen.GetPixel(TodayIconX + 51, IconY + 51), IconColour(48));
    EXPECT_EQ(screen.GetPixel(TodayIconX - 1, IconY), 0u);
    EXPECT_EQ(screen.GetPixel(TomorrowIconX, IconY), IconColour(48));
    const auto texts = Texts("NA\xB0", "NA...NA\xB0");
    EXPECT_EQ(Differences(screen, texts, TodayText), 0);
    EXPECT_EQ(Differences(screen, texts, TomorrowText), 0);
    EXPECT_TRUE(AnyLit(screen, TodayText));
}

TEST_F(WeatherGadgetTest, CodesThatNameNoConditionShowFrame48AndAreStoredBackAs48)
{
    struct TCase {
        int Code;
        int Shown;
    };
    for (const TCase c : {TCase{0, 0}, TCase{32, 32}, TCase{47, 47}, TCase{48, 48}, TCase{3200, 48}, TCase{-1, 48}}) {
        Gadget->SetTodayCode(c.Code);
        Gadget->SetTomorrowCode(c.Code);
        const auto screen = DrawWeather();
        EXPECT_EQ(screen.GetPixel(TodayIconX + 10, IconY + 10), IconColour(c.Shown)) << c.Code;
        EXPECT_EQ(screen.GetPixel(TomorrowIconX + 10, IconY + 10), IconColour(c.Shown)) << c.Code;
        EXPECT_EQ(Gadget->GetTodayCode(), c.Shown) << c.Code;
        EXPECT_EQ(Gadget->GetTomorrowCode(), c.Shown) << c.Code;
    }
}

TEST_F(WeatherGadgetTest, TodayAndTomorrowShowTheirOwnIcons)
{
    // Each pair once as today's and once as tomorrow's, one of them out of range.
    const std::pair<int, int> pairs[] = {{32, 11}, {11, 32}, {0, 47}, {3200, 26}};
    for (auto [today, tomorrow] : pairs) {
        Gadget->SetTodayCode(today);
        Gadget->SetTomorrowCode(tomorrow);
        const auto screen = DrawWeather();
        const int todayShown = today > 47 ? 48 : today;
        for (auto [x, y] : {std::pair{0, 0}, {51, 51}, {26, 26}}) {
            EXPECT_EQ(screen.GetPixel(TodayIconX + x, IconY + y), IconColour(todayShown)) << today << " " << tomorrow;
            EXPECT_EQ(screen.GetPixel(TomorrowIconX + x, IconY + y), IconColour(tomorrow)) << today << " " << tomorrow;
        }
        // Nothing between them: today's ends 7 pixels left of its text, which ends before tomorrow's icon.
        EXPECT_NE(screen.GetPixel(TodayIconX + 52, IconY + 26), IconColour(todayShown));
    }
}

TEST_F(WeatherGadgetTest, TemperaturesAreWrittenAsTheFeedGaveThem)
{
    Gadget->SetTodayNow("");
    Gadget->SetTomorrowLow("58");
    Gadget->SetTomorrowHi("78");
    const auto screen = DrawWeather();
    const auto texts = Texts("\xB0", "58...78\xB0");
    EXPECT_EQ(Differences(screen, texts, TodayText), 0) << "an empty temperature leaves only the degree sign";
    EXPECT_EQ(Differences(screen, texts, TomorrowText), 0);
}

TEST_F(WeatherGadgetTest, WithoutAStripNothingIsDrawn)
{
    Gadget->SetWeatherPicVCL(nullptr);
    EXPECT_FALSE(AnyLit(DrawWeather(), WholeScreen));
}

TEST_F(WeatherGadgetTest, WithoutADeviceContextTheIconsAreDrawnAndTheTextsAreNot)
{
    Display.Fail("GetDC:Back");
    const auto screen = DrawWeather();
    EXPECT_EQ(screen.GetPixel(TodayIconX, IconY), IconColour(48));
    EXPECT_FALSE(AnyLit(screen, TodayText));
    EXPECT_FALSE(AnyLit(screen, TomorrowText));
}

} // namespace
} // namespace Halcyra
