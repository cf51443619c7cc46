// The shared part of the picture-drawn controls.
#include "config/PaintedControl.h"

namespace Halcyra {

void TPaintedControl::Invalidate()
{
    if (OnInvalidate)
        OnInvalidate();
}

void TPaintedControl::SetSize(int width, int height)
{
    if (width == FWidth && height == FHeight)
        return;
    FWidth = width;
    FHeight = height;
    if (OnResize)
        OnResize(width, height);
}

bool TPaintedControl::TakePicture(std::optional<Imaging::TBitmap32> &target, const Imaging::TBitmap32 *picture)
{
    if (picture == nullptr)
        return false;
    Invalidate();
    target = *picture;
    return true;
}

} // namespace Halcyra
