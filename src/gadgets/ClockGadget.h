// The clock gadget TQGC: the clock panel with the local time written over it in the locale's form,
// hours and minutes in bold white around a colon that blinks with the seconds, and a grey day-half
// marker ("PM") after them when the locale writes one.
#pragma once

#include "sprites/ImageSprite.h"

namespace Halcyra {

class TQGC final : public TQIM {
public:
    explicit TQGC(TQss *parent = nullptr);

    std::string_view ClassName() const override { return "TQGC"; }

    // Writes the time of this frame over the panel, centred in a 106-pixel box that starts 113 pixels
    // left of the screen's right edge and 42 above its bottom. Nothing happens, and the frame does not
    // count towards the blink, when the back surface has no device context.
    void DrawGadgetClock();

private:
    // Frames drawn since the local time's second last changed: the colon shows on the frames of the
    // first 500 ms of each second, counted in frames (500 / Interval) rather than milliseconds.
    int FBlinkCounter = 0;
    int FCurrentSecond = 0;
    int FLastSecond = 0;
};

} // namespace Halcyra
