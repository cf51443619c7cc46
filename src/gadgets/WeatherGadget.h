// The weather gadget TQGW: the weather panel with today's and tomorrow's condition icons, cut from
// the icon strip it is linked to, and today's temperature and tomorrow's low and high beside them.
// Its values live in the feed values it is given, which the feed step fills on the user-interface
// thread while frames draw them on the timer thread.
#pragma once

#include "net/FeedTargets.h"
#include "sprites/FrameStripSprite.h"
#include "sprites/ImageSprite.h"

#include <string>

namespace Halcyra {

class TQGW final : public TQIM {
public:
    // values must outlive the gadget.
    TQGW(TQss *parent, Net::TFeedValues &values);

    std::string_view ClassName() const override { return "TQGW"; }

    // Condition codes (0..47; 48 not available) and temperatures as the feed writes them.
    int GetTodayCode() const { return FValues.GetTodayCode(); }
    void SetTodayCode(int code) { FValues.SetTodayCode(code); }
    int GetTomorrowCode() const { return FValues.GetTomorrowCode(); }
    void SetTomorrowCode(int code) { FValues.SetTomorrowCode(code); }
    std::string GetTodayNow() const { return FValues.GetTodayNow(); }
    void SetTodayNow(const std::string &text) { FValues.SetTodayNow(text); }
    std::string GetTomorrowHi() const { return FValues.GetTomorrowHi(); }
    void SetTomorrowHi(const std::string &text) { FValues.SetTomorrowHi(text); }
    std::string GetTomorrowLow() const { return FValues.GetTomorrowLow(); }
    void SetTomorrowLow(const std::string &text) { FValues.SetTomorrowLow(text); }

    // The icon strip: one 52 by 52 frame per condition code, frame 48 the not-available icon.
    TQMV *GetWeatherPicVCL() const { return FWeatherPicVCL; }
    void SetWeatherPicVCL(TQMV *strip) { FWeatherPicVCL = strip; }

    // Draws both icons and both texts over the panel. Without an icon strip nothing is drawn; without
    // a device context on the back surface the icons are drawn and the texts are not. A code that
    // names no condition shows the not-available icon and is stored back as 48.
    void DrawGadgetWeather();

private:
    // One strip, moved and re-framed, serves both icons.
    void DrawIcon(int x, int y, int code);

    Net::TFeedValues &FValues;
    TQMV *FWeatherPicVCL = nullptr;
    // This frame's values and texts; kept between frames so that their memory is reused.
    Net::TWeatherShown FShown;
    std::string FTodayText;
    std::string FTomorrowText;
};

} // namespace Halcyra
