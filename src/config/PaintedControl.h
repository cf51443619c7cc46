// What the dialog's picture-drawn controls share: a size that their pictures set, a picture
// composed in memory for each paint, and the two requests they make of the window showing them
// (paint me again, I changed size).
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/SettingsDialogView.h"

#include <functional>
#include <optional>

namespace Halcyra {

class TPaintedControl {
public:
    // A new control's width and height, until a picture sets them.
    static constexpr int DefaultSize = 100;

    virtual ~TPaintedControl() = default;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // The picture to copy to the control at (0, 0) in one operation; null when there is nothing to
    // draw yet. Valid until the next call of a member of the control.
    virtual const Imaging::TBitmap32 *Paint() = 0;
    // Mouse events in the control's pixels; after a press the control captures the mouse, so moves
    // and the release arrive with positions outside it too.
    virtual void MouseDown(Platform::TMouseButton button, int x, int y) = 0;
    virtual void MouseMove(int x, int y) = 0;
    virtual void MouseUp(Platform::TMouseButton button, int x, int y) = 0;

    // Called when the control must be painted again, and when its size has changed.
    std::function<void()> OnInvalidate;
    std::function<void(int width, int height)> OnResize;

protected:
    void Invalidate();
    void SetSize(int width, int height);
    // The setters of the pictures: a null picture is ignored; otherwise the control is invalidated
    // and keeps its own copy. True when the picture was taken.
    bool TakePicture(std::optional<Imaging::TBitmap32> &target, const Imaging::TBitmap32 *picture);

private:
    int FWidth = DefaultSize;
    int FHeight = DefaultSize;
};

} // namespace Halcyra
