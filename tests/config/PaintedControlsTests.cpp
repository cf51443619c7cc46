// Tests of the picture-drawn slider and button: the slider's value arithmetic, its painting into
// memory with the knob's transparent colour, dragging, and the button's pictures and clicks.
#include "config/HorizontalFader.h"
#include "config/TwoStateButton.h"

#include <gtest/gtest.h>

namespace Halcyra {
namespace {

using Imaging::TBitmap32;
using Platform::TMouseButton;

constexpr std::uint32_t TrackColour = 0x111111;
constexpr std::uint32_t KnobColour = 0xAA0000;
constexpr std::uint32_t KeyColour = 0x00FF00;

TBitmap32 Filled(int width, int height, std::uint32_t colour)
{
    auto bitmap = TBitmap32::Create(width, height);
    bitmap->Fill(colour);
    return *bitmap;
}

// The dialog's sizes: a 199 by 24 track and a 34 by 16 knob whose one-pixel rim is its transparent
// colour.
struct TFaderFixture : testing::Test {
    TFaderFixture()
    {
        TBitmap32 knob = Filled(34, 16, KeyColour);
        knob.Draw(1, 1, Filled(32, 14, KnobColour));
        const TBitmap32 track = Filled(199, 24, TrackColour);
        Fader.SetGround(&track);
        Fader.SetKnob(&knob);
        Fader.OnValueChanged = [this](TQHFADER &sender) {
            EXPECT_EQ(&sender, &Fader);
            ++Changes;
        };
    }
    // The left edge of the knob's body in the painted picture, on its middle row; -1 when absent.
    int KnobBodyLeft()
    {
        const TBitmap32 *picture = Fader.Paint();
        if (picture == nullptr)
            return -1;
        for (int x = 0; x < picture->Width(); ++x)
            if (picture->GetPixel(x, 3 + 8) == KnobColour)
                return x;
        return -1;
    }
    TQHFADER Fader;
    int Changes = 0;
};

TEST_F(TFaderFixture, ANewSliderIsAtTheRightEndAndTakesTheTracksSize)
{
    TQHFADER fresh;
    EXPECT_EQ(fresh.GetValue(), 256);
    EXPECT_EQ(fresh.Paint(), nullptr) << "nothing to draw without pictures";
    EXPECT_EQ(Fader.Width(), 199);
    EXPECT_EQ(Fader.Height(), 24);
    // Knob at x = 165, y = 3; its rim is transparent, so the track shows around the body.
    EXPECT_EQ(KnobBodyLeft(), 166);
    const TBitmap32 *picture = Fader.Paint();
    EXPECT_EQ(picture->GetPixel(165, 3), TrackColour);
    EXPECT_EQ(picture->GetPixel(166, 4), KnobColour);
    EXPECT_EQ(picture->GetPixel(166, 3), TrackColour);
}

TEST_F(TFaderFixture, TheKnobSitsAtTheValuesShareOfTheTravel)
{
    // x = 165 × value / 256, truncated; values off the range draw the knob off the track.
    const std::pair<int, int> cases[] = {{0, 0}, {200, 128}, {128, 82}, {255, 164}, {256, 165}};
    for (auto [value, x] : cases) {
        Fader.SetValue(value);
        EXPECT_EQ(Fader.GetValue(), value);
        EXPECT_EQ(KnobBodyLeft(), x + 1) << value;
    }
    Fader.SetValue(1000);
    EXPECT_EQ(Fader.GetValue(), 1000);
    EXPECT_EQ(KnobBodyLeft(), -1);
    EXPECT_EQ(Changes, 0) << "setting the value is no drag step";
}

TEST_F(TFaderFixture, DraggingSetsTheValueUnderThePointerClamped)
{
    // v = ((x − 17) × 256) / 165: the knob's centre follows the pointer.
    const std::pair<int, int> cases[] = {{17, 0}, {182, 256}, {99, 127}, {-5000, 0}, {5000, 256}, {18, 1}, {0, 0}};
    Fader.MouseDown(TMouseButton::Left, 100, 10);
    for (auto [x, value] : cases) {
        Fader.MouseMove(x, 10);
        EXPECT_EQ(Fader.GetValue(), value) << x;
    }
    EXPECT_EQ(Changes, static_cast<int>(std::size(cases)));
    Fader.MouseUp(TMouseButton::Left, 0, 10);
    Fader.MouseMove(182, 10);
    EXPECT_EQ(Fader.GetValue(), 0) << "moves after the release do nothing";
}

TEST_F(TFaderFixture, APlainClickChangesNothingAndFiresNothing)
{
    Fader.SetValue(100);
    Fader.MouseDown(TMouseButton::Left, 30, 10);
    Fader.MouseUp(TMouseButton::Left, 30, 10);
    Fader.MouseMove(30, 10);
    EXPECT_EQ(Fader.GetValue(), 100);
    EXPECT_EQ(Changes, 0);
}

TEST_F(TFaderFixture, InvalidationsAndResizesReachTheWindow)
{
    int invalidations = 0;
    std::pair<int, int> size;
    Fader.OnInvalidate = [&] { ++invalidations; };
    Fader.OnResize = [&](int width, int height) { size = {width, height}; };
    Fader.SetValue(3);
    Fader.MouseDown(TMouseButton::Right, 0, 0);
    Fader.MouseMove(50, 0);
    const TBitmap32 wide = Filled(300, 30, TrackColour);
    Fader.SetGround(&wide);
    Fader.SetGround(nullptr);
    Fader.SetKnob(nullptr);
    EXPECT_EQ(invalidations, 3);
    EXPECT_EQ(size, (std::pair{300, 30}));
}

TEST_F(TFaderFixture, ATrackNoWiderThanItsKnobKeepsItsValue)
{
    const TBitmap32 narrow = Filled(34, 24, TrackColour);
    Fader.SetGround(&narrow);
    Fader.SetValue(77);
    Fader.MouseDown(TMouseButton::Left, 0, 0);
    Fader.MouseMove(30, 0);
    EXPECT_EQ(Fader.GetValue(), 77);
    EXPECT_EQ(Changes, 0);
}

TEST(TwoStateButton, ShowsThePressedPictureWhileHeldAndClicksOnEveryRelease)
{
    TQosbutton button;
    int clicks = 0;
    button.OnClick = [&](TQosbutton &sender) {
        EXPECT_EQ(&sender, &button);
        ++clicks;
    };
    EXPECT_EQ(button.Paint(), nullptr);
    const TBitmap32 on = Filled(76, 26, 0x0000FF);
    const TBitmap32 off = Filled(76, 26, 0xFFFFFF);
    button.SetGround_on(&on);
    EXPECT_EQ(button.Paint(), nullptr) << "both pictures are needed";
    button.SetGround_off(&off);
    EXPECT_EQ(button.Paint()->GetPixel(0, 0), 0xFFFFFFu);
    button.MouseDown(TMouseButton::Left, 10, 10);
    EXPECT_EQ(button.Paint()->GetPixel(0, 0), 0x0000FFu);
    EXPECT_EQ(clicks, 0);
    // Released far off the button (it captured the mouse): still one click.
    button.MouseUp(TMouseButton::Left, 500, -300);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.Paint()->GetPixel(0, 0), 0xFFFFFFu);
    button.MouseDown(TMouseButton::Right, 1, 1);
    button.MouseUp(TMouseButton::Right, 1, 1);
    EXPECT_EQ(clicks, 2);
}

TEST(TwoStateButton, TheLastPictureSetSizesTheButton)
{
    TQosbutton button;
    EXPECT_EQ(button.Width(), TPaintedControl::DefaultSize);
    const TBitmap32 on = Filled(76, 26, 0);
    const TBitmap32 off = Filled(80, 30, 0);
    button.SetGround_on(&on);
    EXPECT_EQ(std::pair(button.Width(), button.Height()), (std::pair{76, 26}));
    button.SetGround_off(&off);
    EXPECT_EQ(std::pair(button.Width(), button.Height()), (std::pair{80, 30}));
    button.SetGround_on(nullptr);
    EXPECT_EQ(button.Width(), 80);
}

} // namespace
} // namespace Halcyra
