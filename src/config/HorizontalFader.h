// TQHFADER, the dialog's horizontal slider: a knob picture drawn transparently over a track picture
// at a position from 0 (left) to 256 (right), dragged with the mouse.
#pragma once

#include "config/PaintedControl.h"

#include <cstdint>

namespace Halcyra {

class TQHFADER final : public TPaintedControl {
public:
    // The value at the right end of the track.
    static constexpr std::int32_t MaxValue = 256;

    TQHFADER() = default;

    // The track: the control takes its size. A null picture is ignored.
    void SetGround(const Imaging::TBitmap32 *picture);
    // The knob, drawn without its transparent colour (its bottom-left pixel's). A null picture is ignored.
    void SetKnob(const Imaging::TBitmap32 *picture);
    // Stores any value, unclamped (one outside 0 to 256 draws the knob off the track), without
    // calling OnValueChanged.
    void SetValue(std::int32_t value);
    std::int32_t GetValue() const { return FValue; }

    // Called after each drag step.
    std::function<void(TQHFADER &sender)> OnValueChanged;

    // The track with the knob at ((width − knob width) × Value) / 256, vertically centred one pixel
    // up; null while either picture is missing.
    const Imaging::TBitmap32 *Paint() override;
    // A press starts a drag and moves nothing; moves while dragging set the value under the
    // pointer's position, clamped to 0 to 256; a release ends the drag.
    void MouseDown(Platform::TMouseButton button, int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseUp(Platform::TMouseButton button, int x, int y) override;

private:
    std::optional<Imaging::TBitmap32> FGround;
    std::optional<Imaging::TBitmap32> FKnob;
    std::optional<Imaging::TBitmap32> FOffscreen;
    std::int32_t FValue = MaxValue;
    bool FDragging = false;
};

} // namespace Halcyra
