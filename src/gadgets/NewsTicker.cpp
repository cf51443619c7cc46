// The news ticker: the title, and the line drawn at the right edge of its box less the offset, clipped
// to the box, so that only the part inside it is painted however long the line is.
#include "gadgets/NewsTicker.h"

#include "gadgets/GadgetText.h"
#include "platform/DeviceContext.h"

namespace Halcyra {

using namespace Platform;

namespace {

constexpr int CreepStep = 2;
constexpr int ClipHalfHeight = 20;
constexpr int TitleHeight = 16;
constexpr int LineHeight = 16;
// Room the texts are given at once: a feed's line of headlines is commonly a few kilobytes.
constexpr std::size_t NameRoom = 256;
constexpr std::size_t LineRoom = 8192;

} // namespace

TQGR::TQGR(TQss *parent, Net::TFeedValues &values) : TQIM(parent), FValues(values)
{
    FNameNews.reserve(NameRoom);
    FRssLine.reserve(LineRoom);
}

void TQGR::DrawRssNews()
{
    const int x = GetShowX();
    const int y = GetShowY();
    ShowRssTitle(x + 90, y + 7);
    FValues.CopyRssLine(FRssLine);
    CreepingLine(FRssLine, x + 15, 545, y + 30);
}

void TQGR::ShowRssTitle(int x, int y)
{
    TQss *engine = Parent();
    TSurfaceDC dc(engine != nullptr ? engine->GetFDDBACK() : nullptr);
    if (!dc)
        return;
    TGadgetFont font(*dc, "Arial", TitleHeight, 700);
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(GadgetTitleGrey);
    FValues.CopyNameNews(FNameNews);
    dc->TextOutA(x, y, FNameNews);
}

void TQGR::CreepingLine(std::string_view text, int left, int width, int y)
{
    const TRect clip{left, y - ClipHalfHeight, left + width, y + ClipHalfHeight};
    TQss *engine = Parent();
    TSurfaceDC dc(engine != nullptr ? engine->GetFDDBACK() : nullptr);
    if (!dc)
        return;
    TGadgetFont font(*dc, "Arial", LineHeight, 700);
    const int textWidth = TextWidth(*dc, text);
    FScrollOffset += CreepStep;
    // Compared in 64 bits: a line of megabytes would overflow the sum.
    if (static_cast<long long>(FScrollOffset) > static_cast<long long>(width) + textWidth)
        FScrollOffset = 0;
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(GadgetWhite);
    dc->ExtTextOutA(left + width - FScrollOffset, y, TextOutOptions::Clipped, clip, text);
}

} // namespace Halcyra
