// The form that owns the engine component: the window that becomes the full-screen display, and the
// form operations the engine performs on it.
#pragma once

#include "platform/Application.h"

#include <cstdint>

namespace Halcyra {

using Platform::TBorderStyle;

class IOwnerForm {
public:
    virtual ~IOwnerForm() = default;

    // The form's window; 0 when it has none.
    virtual Platform::TWindowHandle Handle() const = 0;
    virtual void SetBorderStyle(TBorderStyle style) = 0;
    // The form's background colour, 0x00RRGGBB.
    virtual void SetColor(std::uint32_t rgb) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetSize(int width, int height) = 0;
    // Closes the form; for the main form this ends the application.
    virtual void Close() = 0;
};

} // namespace Halcyra
