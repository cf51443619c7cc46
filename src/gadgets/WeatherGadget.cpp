// The weather gadget: two icons from the strip, then "<now>°" and "<low>...<high>°" in bold white.
#include "gadgets/WeatherGadget.h"

#include "gadgets/GadgetText.h"
#include "platform/DeviceContext.h"

namespace Halcyra {

using namespace Platform;

namespace {

// The degree sign of the Windows Latin-1 code page.
constexpr char DegreeSign = '\xB0';
// Room the texts are given at once, more than any temperature needs.
constexpr std::size_t TextRoom = 64;

} // namespace

TQGW::TQGW(TQss *parent, Net::TFeedValues &values) : TQIM(parent), FValues(values)
{
    for (std::string *text : {&FShown.TodayNow, &FShown.TomorrowLow, &FShown.TomorrowHi, &FTodayText, &FTomorrowText})
        text->reserve(TextRoom);
}

void TQGW::DrawIcon(int x, int y, int code)
{
    FWeatherPicVCL->SetShowX(x);
    FWeatherPicVCL->SetShowY(y);
    FWeatherPicVCL->SetNumberFrame(code);
    FWeatherPicVCL->DrawMovie();
}

void TQGW::DrawGadgetWeather()
{
    const int x = GetShowX();
    const int y = GetShowY();
    if (FWeatherPicVCL == nullptr)
        return;
    FValues.CopyWeatherForDrawing(FShown);
    DrawIcon(x + 94, y + 8, FShown.TodayCode);
    DrawIcon(x + 206, y + 8, FShown.TomorrowCode);

    TQss *engine = Parent();
    TSurfaceDC dc(engine != nullptr ? engine->GetFDDBACK() : nullptr);
    if (!dc)
        return;
    TGadgetFont font(*dc, "Arial", 20, 700);
    dc->SetBkMode(TBackgroundMode::Transparent);
    dc->SetTextColor(GadgetWhite);
    FTodayText.assign(FShown.TodayNow).push_back(DegreeSign);
    dc->TextOutA(x + 153, y + 29, FTodayText);
    FTomorrowText.assign(FShown.TomorrowLow).append("...").append(FShown.TomorrowHi).push_back(DegreeSign);
    dc->TextOutA(x + 265, y + 29, FTomorrowText);
}

} // namespace Halcyra
