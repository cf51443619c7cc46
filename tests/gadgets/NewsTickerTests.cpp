// Tests of the news ticker on soft surfaces: the title and the creeping line clipped to its box, the
// offset's cycle, a line replaced mid-pass, frames without a device context, and lines of any bytes.
#include "gadgets/NewsTicker.h"
#include "GadgetFixture.h"

#include <memory>

namespace Halcyra {
namespace {

using namespace Platform;

// With the ticker at (0, 698): the title's place, the line's clip box and the line's top.
constexpr int TitleX = 90;
constexpr int TitleY = 705;
constexpr TRect Box{15, 708, 560, 748};
constexpr int LineY = 728;

class NewsTickerTest : public Testing::GadgetFixture {
protected:
    void SetUp() override
    {
        GadgetFixture::SetUp();
        Gadget = std::make_unique<TQGR>(Engine.get(), Values);
        Gadget->SetStretching(true);
        Gadget->SetShowX(0);
        Gadget->SetShowY(698);
    }

    Imaging::TBitmap32 DrawNews() { return Frame([&] { Gadget->DrawRssNews(); }); }

    // The title and the line at the given offset, as plain text calls draw them.
    static Imaging::TBitmap32 Expected(const std::string &title, const std::string &line, int offset)
    {
        return Reference({{TitleX, TitleY, title, Testing::NameGrey, 16}, {Box.Right - offset, LineY, line, Testing::White, 16, Box}});
    }

    std::unique_ptr<TQGR> Gadget;
};

TEST_F(NewsTickerTest, AFreshTickerCreepsItsNotAvailableLineUnderAnEmptyTitle)
{
    Imaging::TBitmap32 screen = DrawNews();
    for (int frame = 2; frame <= 150; ++frame)
        screen = DrawNews();
    EXPECT_EQ(Gadget->GetScrollOffset(), 300);
    EXPECT_EQ(Differences(screen, Expected("", "*** Not Available Now ***", 300), WholeScreen), 0);
    EXPECT_TRUE(AnyLit(screen, Box));
}

TEST_F(NewsTickerTest, TheTitleIsDrawnInGreyAboveTheLine)
{
    Gadget->SetNameNews("World News");
    Gadget->SetRssLine("  ***  Markets open flat  ***  ");
    const auto screen = DrawNews();
    EXPECT_EQ(Differences(screen, Expected("World News", "  ***  Markets open flat  ***  ", 2), WholeScreen), 0);
    EXPECT_TRUE(AnyLit(screen, TRect{TitleX, TitleY, 300, TitleY + 16}));
}

TEST_F(NewsTickerTest, AnEmptyLineCyclesItsOffsetFromTwoToTheBoxWidthAndBackToZero)
{
    Gadget->SetRssLine("");
    struct TCase {
        int Frames;
        int Offset;
    };
    int drawn = 0;
    // 544 is followed by 546, which passes the box's width of 545 and so starts over at 0.
    for (const TCase c : {TCase{1, 2}, TCase{2, 4}, TCase{272, 544}, TCase{273, 0}, TCase{274, 2}}) {
        for (; drawn < c.Frames; ++drawn)
            EXPECT_FALSE(AnyLit(DrawNews(), WholeScreen));
        EXPECT_EQ(Gadget->GetScrollOffset(), c.Offset) << "after " << c.Frames << " frames";
    }
}

TEST_F(NewsTickerTest, TheLineEntersAtTheRightEdgeAndLeavesAtTheLeftOfItsBox)
{
    const std::string line = "MMMM headline";
    Gadget->SetRssLine(line);
    // Offset 2: at most the first two columns of the line, at the box's right edge.
    auto screen = DrawNews();
    EXPECT_FALSE(AnyLit(screen, TRect{0, Box.Top, Box.Right - 2, Box.Bottom}));
    EXPECT_FALSE(AnyLit(screen, TRect{Box.Right, 690, 1024, 768}));
    EXPECT_EQ(Differences(screen, Expected("", line, 2), WholeScreen), 0);
    // The pass ends when the offset passes the box's width and the line's: offset 0, nothing shows.
    const int width = Width(line, 16);
    while (Gadget->GetScrollOffset() + 2 <= 545 + width)
        screen = DrawNews();
    EXPECT_FALSE(AnyLit(screen, TRect{0, 690, Box.Left, 768})) << "nothing is drawn left of the box";
    screen = DrawNews();
    EXPECT_EQ(Gadget->GetScrollOffset(), 0);
    EXPECT_FALSE(AnyLit(screen, WholeScreen));
}

TEST_F(NewsTickerTest, ANewLineContinuesFromTheCurrentOffset)
{
    for (int frame = 0; frame < 100; ++frame)
        DrawNews();
    Gadget->SetRssLine("BREAKING: tide turns");
    const auto screen = DrawNews();
    EXPECT_EQ(Gadget->GetScrollOffset(), 202);
    EXPECT_EQ(Differences(screen, Expected("", "BREAKING: tide turns", 202), WholeScreen), 0);
}

TEST_F(NewsTickerTest, WithoutADeviceContextNothingIsDrawnAndTheLineStays)
{
    DrawNews();
    Display.Fail("GetDC:Back", DDResult::Generic, 0, 2);
    EXPECT_FALSE(AnyLit(DrawNews(), WholeScreen));
    EXPECT_EQ(Gadget->GetScrollOffset(), 2);
    DrawNews();
    EXPECT_EQ(Gadget->GetScrollOffset(), 4);
}

TEST_F(NewsTickerTest, LinesOfAnyBytesAndLengthCreepThrough)
{
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte)
        everyByte.push_back(static_cast<char>(byte));
    for (const std::string &line : {everyByte, std::string(200000, 'W')}) {
        Gadget->SetRssLine(line);
        const auto screen = DrawNews();
        EXPECT_EQ(Differences(screen, Expected("", line, Gadget->GetScrollOffset()), WholeScreen), 0);
        EXPECT_FALSE(AnyLit(screen, TRect{0, Box.Top, Box.Left, Box.Bottom}));
    }
}

} // namespace
} // namespace Halcyra
