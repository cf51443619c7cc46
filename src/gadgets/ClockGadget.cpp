// The clock gadget: the locale's time text split at its colon and at the space before a day-half
// marker, each piece placed after the measured width of what precedes it, so the minutes keep their
// place whether the colon shows or not.
#include "gadgets/ClockGadget.h"

#include "gadgets/GadgetText.h"
#include "platform/Clock.h"
#include "platform/DeviceContext.h"

#include <algorithm>

namespace Halcyra {

using namespace Platform;

namespace {

// The box the time is centred in, and where it starts from the screen's bottom-right corner.
constexpr int TimeBoxWidth = 106;
constexpr int TimeBoxFromRight = 113;
constexpr int TimeBoxFromBottom = 42;
constexpr int ColonMilliseconds = 500;
// Texts longer than a time without a marker ("22:35") carry one ("9:35 PM").
constexpr std::size_t LongestTimeWithoutMarker = 5;

} // namespace

TQGC::TQGC(TQss *parent) : TQIM(parent) {}

void TQGC::DrawGadgetClock()
{
    TQss *engine = Parent();
    if (engine == nullptr)
        return;
    const int x0 = engine->GetWidthScreen() - TimeBoxFromRight;
    const int y0 = engine->GetHeightScreen() - TimeBoxFromBottom;
    IClock &clock = engine->Clock();
    const TTimeText timeText = clock.LocaleTimeText(clock.Now());
    std::string_view time = timeText.View();

    TSurfaceDC dc(engine->GetFDDBACK());
    if (!dc)
        return;
    TGadgetFont font(*dc, "Arial", 22, 700);
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(GadgetWhite);

    const int xoff = (TimeBoxWidth - TextWidth(*dc, time)) / 2;
    std::string_view hours;
    time = Parse1(time, "BEGIN", hours, ":");
    dc->TextOutA(x0 + xoff, y0, hours);
    int width = TextWidth(*dc, hours);

    ++FBlinkCounter;
    FCurrentSecond = clock.Now().Second;
    if (FCurrentSecond != FLastSecond)
        FBlinkCounter = 0;
    FLastSecond = FCurrentSecond;
    // A period above 500 ms never shows the colon; a period of 0 is taken as 1 ms.
    if (ColonMilliseconds / std::max(engine->GetInterval(), 1) > FBlinkCounter)
        dc->TextOutA(x0 + xoff + width, y0, ":");

    // The minutes start after hours and colon whether the colon was drawn or not.
    TFixedText<TTimeText::Capacity * 2> shown;
    shown.Append(hours).Append(":");
    width = TextWidth(*dc, shown.View());
    if (timeText.Length <= LongestTimeWithoutMarker) {
        dc->TextOutA(x0 + xoff + width, y0, time);
        return;
    }
    std::string_view minutes;
    const std::string_view marker = Parse1(time, "BEGIN", minutes, " ");
    dc->TextOutA(x0 + xoff + width, y0, minutes);
    dc->SetTextColor(GadgetGrey);
    width = TextWidth(*dc, shown.Append(minutes).View());
    TFixedText<TTimeText::Capacity + 1> spacedMarker;
    dc->TextOutA(x0 + xoff + width, y0, spacedMarker.Append(" ").Append(marker).View());
}

} // namespace Halcyra
