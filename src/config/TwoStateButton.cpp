// The two-state button's pictures and clicks.
#include "config/TwoStateButton.h"

namespace Halcyra {

void TQosbutton::SetGround_on(const Imaging::TBitmap32 *picture)
{
    if (TakePicture(FGroundOn, picture))
        SetSize(picture->Width(), picture->Height());
}

void TQosbutton::SetGround_off(const Imaging::TBitmap32 *picture)
{
    if (TakePicture(FGroundOff, picture))
        SetSize(picture->Width(), picture->Height());
}

const Imaging::TBitmap32 *TQosbutton::Paint()
{
    if (!FGroundOn || !FGroundOff)
        return nullptr;
    return FPressed ? &*FGroundOn : &*FGroundOff;
}

void TQosbutton::MouseDown(Platform::TMouseButton, int, int)
{
    Invalidate();
    FPressed = true;
}

void TQosbutton::MouseUp(Platform::TMouseButton, int, int)
{
    Invalidate();
    FPressed = false;
    if (OnClick)
        OnClick(*this);
}

} // namespace Halcyra
