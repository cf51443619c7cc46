// The set-up the gadget tests share: the sprite fixture's engine opened at 1024 by 768, the feed
// values the gadgets show, and a reference drawing of texts on a black screen made with the same
// fonts, so that a gadget's output can be compared with what plain text calls would have drawn.
#pragma once

#include "gadgets/GadgetText.h"
#include "net/FeedTargets.h"
#include "platform/soft/SoftDeviceContext.h"
#include "sprites/SpriteFixture.h"

#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Testing {

// The gadgets' text colours as the system gives them (0x00BBGGRR, the same for these greys): white,
// the clock's day-half grey and the news ticker's name grey. Written out here, not taken from the
// code under test.
inline constexpr Platform::TColorRef White = 0xFFFFFF;
inline constexpr Platform::TColorRef DayHalfGrey = 0x808080;
inline constexpr Platform::TColorRef NameGrey = 0x999999;

// One text call of a reference drawing.
struct TTextCall {
    int X = 0;
    int Y = 0;
    std::string Text;
    Platform::TColorRef Colour = White;
    int Height = 22;
    std::optional<Platform::TRect> Clip;
};

class GadgetFixture : public SpriteFixture {
protected:
    void SetUp() override
    {
        SpriteFixture::SetUp();
        Open();
    }

    // A 1024 by 768 black screen with the texts drawn on it in bold Arial.
    static Imaging::TBitmap32 Reference(const std::vector<TTextCall> &calls)
    {
        auto screen = Imaging::TBitmap32::Create(1024, 768);
        screen->Fill(0);
        Platform::TSoftFontTable fonts(Platform::SystemSoftFonts());
        Platform::TSoftDeviceContext dc(*screen, fonts);
        dc.SetBkMode(Platform::TBackgroundMode::Transparent);
        for (const TTextCall &call : calls) {
            TGadgetFont font(dc, "Arial", call.Height, 700);
            dc.SetTextColor(call.Colour);
            if (call.Clip)
                dc.ExtTextOutA(call.X, call.Y, Platform::TextOutOptions::Clipped, *call.Clip, call.Text);
            else
                dc.TextOutA(call.X, call.Y, call.Text);
        }
        return std::move(*screen);
    }

    // The width of a text in bold Arial of the given height, as the gadgets measure it.
    static int Width(const std::string &text, int height)
    {
        auto scratch = Imaging::TBitmap32::Create(1, 1);
        Platform::TSoftFontTable fonts(Platform::SystemSoftFonts());
        Platform::TSoftDeviceContext dc(*scratch, fonts);
        TGadgetFont font(dc, "Arial", height, 700);
        return TextWidth(dc, text);
    }

    // The pixels of the two screens that differ inside the rectangle.
    static int Differences(const Imaging::TBitmap32 &screen, const Imaging::TBitmap32 &reference, const Platform::TRect &area)
    {
        int count = 0;
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                count += screen.GetPixel(x, y) != reference.GetPixel(x, y) ? 1 : 0;
        return count;
    }

    // Whether any pixel of the rectangle is not black.
    static bool AnyLit(const Imaging::TBitmap32 &screen, const Platform::TRect &area)
    {
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (screen.GetPixel(x, y) != 0)
                    return true;
        return false;
    }

    static constexpr Platform::TRect WholeScreen{0, 0, 1024, 768};

    Net::TFeedValues Values;
};

} // namespace Halcyra::Testing
