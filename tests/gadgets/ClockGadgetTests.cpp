// Tests of the clock gadget on soft surfaces: the time texts of 24-hour and 12-hour locales and of a
// locale without a colon, centred in their box with the marker in grey; the colon on the first
// frames of each second; frames without a device context; and the marker splitting it relies on.
#include "gadgets/ClockGadget.h"
#include "GadgetFixture.h"

#include <algorithm>
#include <memory>

namespace Halcyra {
namespace {

using namespace Platform;

// The time box on the 1024 by 768 screen.
constexpr int X0 = 911;
constexpr int Y0 = 726;
constexpr TRect Band{0, 690, 1024, 768};

class ClockGadgetTest : public Testing::GadgetFixture {
protected:
    void SetUp() override
    {
        GadgetFixture::SetUp();
        Gadget = std::make_unique<TQGC>(Engine.get());
    }

    Imaging::TBitmap32 DrawClock() { return Frame([&] { Gadget->DrawGadgetClock(); }); }

    // Whether the colon stands right after the hours of "22:35".
    bool ColonShown(const Imaging::TBitmap32 &screen)
    {
        const int start = X0 + (106 - Width("22:35", 22)) / 2 + Width("22", 22);
        return AnyLit(screen, TRect{start, Y0, start + Width(":", 22), Y0 + 22});
    }

    std::unique_ptr<TQGC> Gadget;
};

TEST(Parse1, SplitsAtTheFirstMarkers)
{
    struct TCase {
        const char *Text;
        const char *Start;
        const char *End;
        const char *Token;
        const char *Rest;
    };
    const TCase cases[] = {
        {"22:35", "BEGIN", ":", "22", "35"},
        {"9:35 PM", "BEGIN", ":", "9", "35 PM"},
        {"35 PM", "BEGIN", " ", "35", "PM"},
        {"22.35", "BEGIN", ":", "", "22.35"}, // no end marker: no token, the whole text is the rest
        {":35", "BEGIN", ":", "", "35"},
        {"", "BEGIN", ":", "", ""},
        {"a<b>c</b>d", "<b>", "<", "c", "/b>d"}, // one character of a longer end marker is skipped
        {"abc", "x", ":", "", ""},               // a start marker that does not occur
    };
    for (const TCase &c : cases) {
        std::string_view token = "unset";
        const std::string_view rest = Parse1(c.Text, c.Start, token, c.End);
        EXPECT_EQ(token, c.Token) << c.Text;
        EXPECT_EQ(rest, c.Rest) << c.Text;
    }
}

TEST_F(ClockGadgetTest, TimeTextsAreCentredInTheirBoxWithTheMarkerInGrey)
{
    struct TCase {
        const char *Time;
        const char *White; // as drawn: hours, colon, minutes
        const char *Grey;  // the day-half marker after a space
    };
    const TCase cases[] = {
        {"22:35", "22:35", ""},
        {"9:35 PM", "9:35", " PM"},
        // Without a colon the hours are empty: the colon stands first and the whole text follows it.
        {"22.35", ":22.35", ""},
        // Wider than the box: it starts left of the box.
        {"22:35 Uhr abends", "22:35", " Uhr abends"},
    };
    for (const TCase &c : cases) {
        Clock.TimeText = c.Time;
        Clock.Time.Second = 10; // a new second: the colon shows
        const int start = X0 + (106 - Width(c.Time, 22)) / 2;
        std::vector<Testing::TTextCall> calls{{start, Y0, c.White}};
        if (*c.Grey != '\0')
            calls.push_back({start + Width(c.White, 22), Y0, c.Grey, Testing::DayHalfGrey});
        const auto screen = DrawClock();
        EXPECT_EQ(Differences(screen, Reference(calls), WholeScreen), 0) << c.Time;
    }
    EXPECT_LT(X0 + (106 - Width("22:35 Uhr abends", 22)) / 2, X0);
}

TEST_F(ClockGadgetTest, TheColonShowsOnTheFirstTwelveFramesOfEachSecondWithoutMovingTheMinutes)
{
    Clock.TimeText = "22:35";
    Clock.Time.Second = 7;
    const int start = X0 + (106 - Width("22:35", 22)) / 2;
    const auto withColon = Reference({{start, Y0, "22:35"}});
    const auto withoutColon = Reference({{start, Y0, "22"}, {start + Width("22:", 22), Y0, "35"}});
    std::vector<bool> shown;
    for (int frame = 0; frame < 25; ++frame) {
        const auto screen = DrawClock();
        shown.push_back(ColonShown(screen));
        EXPECT_EQ(Differences(screen, shown.back() ? withColon : withoutColon, Band), 0) << "frame " << frame;
    }
    EXPECT_EQ(std::count(shown.begin(), shown.end(), true), 12);
    EXPECT_TRUE(std::all_of(shown.begin(), shown.begin() + 12, [](bool colon) { return colon; }));
    // The next second starts with the colon again.
    Clock.Time.Second = 8;
    EXPECT_TRUE(ColonShown(DrawClock()));
}

TEST_F(ClockGadgetTest, AFrameWithoutADeviceContextDrawsNothingAndIsNotCounted)
{
    Clock.TimeText = "22:35";
    Clock.Time.Second = 30;
    Display.Fail("GetDC:Back", DDResult::Generic, 0, 5);
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_FALSE(AnyLit(DrawClock(), Band));
    int colonFrames = 0;
    for (int frame = 0; frame < 25; ++frame)
        colonFrames += ColonShown(DrawClock()) ? 1 : 0;
    EXPECT_EQ(colonFrames, 12);
}

TEST_F(ClockGadgetTest, TheColonFollowsTheFramePeriod)
{
    Clock.TimeText = "22:35";
    Clock.Time.Second = 10;
    Engine->SetInterval(600);
    EXPECT_FALSE(ColonShown(DrawClock())) << "a frame longer than half a second never shows it";
    Engine->SetInterval(0);
    Clock.Time.Second = 11;
    EXPECT_TRUE(ColonShown(DrawClock())) << "a period of 0 is taken as 1 ms rather than dividing by it";
}

} // namespace
} // namespace Halcyra
