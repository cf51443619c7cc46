// TQosbutton, the dialog's OK and Cancel buttons: one picture while pressed, another while released;
// the captions are part of the pictures. Every release of a mouse button fires OnClick.
#pragma once

#include "config/PaintedControl.h"

namespace Halcyra {

class TQosbutton final : public TPaintedControl {
public:
    TQosbutton() = default;

    // The pictures while pressed and while released; each resizes the control to itself (the last
    // one set wins). A null picture is ignored.
    void SetGround_on(const Imaging::TBitmap32 *picture);
    void SetGround_off(const Imaging::TBitmap32 *picture);

    // Called on every release of a mouse button that reaches the button, wherever the pointer is then
    // (after a press the button captures the mouse, so a release off the button counts too).
    std::function<void(TQosbutton &sender)> OnClick;

    // The picture of the current state; null until both pictures are set.
    const Imaging::TBitmap32 *Paint() override;
    void MouseDown(Platform::TMouseButton button, int x, int y) override;
    void MouseMove(int, int) override {}
    void MouseUp(Platform::TMouseButton button, int x, int y) override;

private:
    std::optional<Imaging::TBitmap32> FGroundOn;
    std::optional<Imaging::TBitmap32> FGroundOff;
    bool FPressed = false;
};

} // namespace Halcyra
