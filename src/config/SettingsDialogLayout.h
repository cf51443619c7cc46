// The configuration form's description: its window, every control with its position and text,
// the pictures it shows, and the client area drawn under the controls. Both targets show the same
// description, each with its own toolkit.
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/Resources.h"
#include "platform/SettingsDialogView.h"

#include <optional>

namespace Halcyra {

// The pictures of the form, decoded from the module's resources; a picture that is missing or
// cannot be decoded stays empty and its control draws nothing.
struct TForm2Pictures {
    std::optional<Imaging::TBitmap32> Image1;  // banner, 546 by 90
    std::optional<Imaging::TBitmap32> Image2;  // product picture, drawn transparently
    std::optional<Imaging::TBitmap32> FaderGround;
    std::optional<Imaging::TBitmap32> FaderKnob;
    std::optional<Imaging::TBitmap32> BTOKGroundOn;
    std::optional<Imaging::TBitmap32> BTOKGroundOff;
    std::optional<Imaging::TBitmap32> BTCancelGroundOn;
    std::optional<Imaging::TBitmap32> BTCancelGroundOff;
};

TForm2Pictures LoadForm2Pictures(const Platform::IModuleResources &resources);

// Texts of the form that the logic and the tests name.
namespace Form2Text {
inline constexpr const char *Caption = "Screensaver Configuration";
inline constexpr const char *NotAvailableTitle = "Not Available  ";
} // namespace Form2Text

inline constexpr int Form2ClientWidth = 539;
inline constexpr int Form2ClientHeight = 576;
inline constexpr std::uint32_t Form2Background = 0x6B7085;

// The whole form: window, controls in creation order, and the client area with the background
// colour, the banner and the product picture.
Platform::TDialogDescription Form2Description(const TForm2Pictures &pictures);

} // namespace Halcyra
