// The news ticker TQGR: the news panel with the feed's name in grey at its top and the joined
// headlines creeping from right to left through a clipped box below it, 2 pixels per frame, starting
// over once the whole line has passed. Its texts live in the feed values it is given, which the feed
// step fills on the user-interface thread while frames draw them on the timer thread.
#pragma once

#include "net/FeedTargets.h"
#include "sprites/ImageSprite.h"

#include <string>
#include <string_view>

namespace Halcyra {

class TQGR final : public TQIM {
public:
    // values must outlive the ticker.
    TQGR(TQss *parent, Net::TFeedValues &values);

    std::string_view ClassName() const override { return "TQGR"; }

    // The creeping line and the feed's name. A new line continues from the current offset.
    std::string GetRssLine() const { return FValues.GetRssLine(); }
    void SetRssLine(const std::string &text) { FValues.SetRssLine(text); }
    std::string GetNameNews() const { return FValues.GetNameNews(); }
    void SetNameNews(const std::string &text) { FValues.SetNameNews(text); }

    // Pixels the line has moved left from its start at the box's right edge.
    int GetScrollOffset() const { return FScrollOffset; }

    // The title at (ShowX + 90, ShowY + 7) and the line in the box from ShowX + 15, 545 pixels wide,
    // its text's top at ShowY + 30.
    void DrawRssNews();
    // Draws the feed's name with its top-left corner at (x, y).
    void ShowRssTitle(int x, int y);
    // One frame of text creeping through the box from left to left + width, 20 pixels above and below
    // y: the offset moves 2 pixels and the text is drawn clipped to the box. Without a device context
    // nothing is drawn and the offset stays.
    void CreepingLine(std::string_view text, int left, int width, int y);

private:
    Net::TFeedValues &FValues;
    int FScrollOffset = 0;
    // This frame's texts; kept between frames so that their memory is reused.
    std::string FNameNews;
    std::string FRssLine;
};

} // namespace Halcyra
