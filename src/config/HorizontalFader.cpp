// The slider's value arithmetic, painting and dragging.
#include "config/HorizontalFader.h"

#include <algorithm>

namespace Halcyra {
namespace {

// Positions far off the control are kept where drawing can still clip them without overflowing.
int ClampedPosition(std::int64_t position)
{
    constexpr std::int64_t Limit = std::int64_t{1} << 30;
    return static_cast<int>(std::clamp(position, -Limit, Limit));
}

} // namespace

void TQHFADER::SetGround(const Imaging::TBitmap32 *picture)
{
    if (TakePicture(FGround, picture))
        SetSize(picture->Width(), picture->Height());
}

void TQHFADER::SetKnob(const Imaging::TBitmap32 *picture)
{
    TakePicture(FKnob, picture);
}

void TQHFADER::SetValue(std::int32_t value)
{
    FValue = value;
    Invalidate();
}

const Imaging::TBitmap32 *TQHFADER::Paint()
{
    if (!FGround || !FKnob)
        return nullptr;
    if (!FOffscreen || FOffscreen->Width() != Width() || FOffscreen->Height() != Height())
        FOffscreen = Imaging::TBitmap32::Create(Width(), Height());
    if (!FOffscreen)
        return nullptr;
    FOffscreen->Fill(0);
    FOffscreen->Draw(0, 0, *FGround);
    const std::int64_t travel = Width() - FKnob->Width();
    const int x = ClampedPosition(travel * FValue / MaxValue);
    const int y = Height() / 2 - FKnob->Height() / 2 - 1;
    FOffscreen->DrawTransparent(x, y, *FKnob);
    return &*FOffscreen;
}

void TQHFADER::MouseDown(Platform::TMouseButton, int, int)
{
    FDragging = true;
}

void TQHFADER::MouseMove(int x, int)
{
    if (!FDragging || !FGround || !FKnob)
        return;
    // A track no wider than its knob leaves the knob nowhere to go: the value stays.
    const std::int64_t travel = FGround->Width() - FKnob->Width();
    if (travel <= 0)
        return;
    std::int64_t value = (std::int64_t{x} - FKnob->Width() / 2) * MaxValue / travel;
    value = std::clamp<std::int64_t>(value, 0, MaxValue);
    Invalidate();
    FValue = static_cast<std::int32_t>(value);
    if (OnValueChanged)
        OnValueChanged(*this);
}

void TQHFADER::MouseUp(Platform::TMouseButton, int, int)
{
    FDragging = false;
}

} // namespace Halcyra
