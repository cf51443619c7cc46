// The display device and its surfaces, modelled on DirectDraw: exclusive full-screen mode, display
// mode, a flipping primary surface with one back buffer, off-screen surfaces, BltFast with a source
// colour key, colour fill, lock, device contexts, surface loss and restore, the gamma ramp, and the
// enumeration of secondary devices. Every call returns DirectDraw's result code.
//
// Objects are released by destroying them, in the order DirectDraw releases them: surfaces before
// the device. Destroying the device returns the display to its previous mode.
#pragma once

#include "platform/Application.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Halcyra::Platform {

class IDeviceContext;

// A DirectDraw result: 0 success, negative failure.
using TDDResult = std::int32_t;

// DirectDraw's result codes, under their standard names without the DDERR_ prefix.
namespace DDResult {
constexpr TDDResult Make(std::uint32_t code) { return static_cast<TDDResult>(0x88760000u | code); }
inline constexpr TDDResult Ok = 0;
inline constexpr TDDResult Generic = static_cast<TDDResult>(0x80004005u);       // also E_FAIL
inline constexpr TDDResult Unsupported = static_cast<TDDResult>(0x80004001u);   // E_NOTIMPL
inline constexpr TDDResult InvalidParams = static_cast<TDDResult>(0x80070057u); // E_INVALIDARG
inline constexpr TDDResult OutOfMemory = static_cast<TDDResult>(0x8007000Eu);   // E_OUTOFMEMORY
inline constexpr TDDResult NoInterface = static_cast<TDDResult>(0x80004002u);   // E_NOINTERFACE
inline constexpr TDDResult Exception = Make(55);
inline constexpr TDDResult InvalidMode = Make(120);
inline constexpr TDDResult InvalidObject = Make(130);
inline constexpr TDDResult InvalidRect = Make(150);
inline constexpr TDDResult NoColorKey = Make(215);
inline constexpr TDDResult NoExclusiveMode = Make(225);
inline constexpr TDDResult NotFound = Make(255);
inline constexpr TDDResult SurfaceBusy = Make(430);
inline constexpr TDDResult SurfaceLost = Make(450);
inline constexpr TDDResult WasStillDrawing = Make(540);
inline constexpr TDDResult PrimarySurfaceAlreadyExists = Make(564);
inline constexpr TDDResult NoBltHw = Make(575);
inline constexpr TDDResult NotFlippable = Make(582);
inline constexpr TDDResult NotLocked = Make(584);
inline constexpr TDDResult CantCreateDc = Make(585);
inline constexpr TDDResult NoDc = Make(586);
inline constexpr TDDResult WrongMode = Make(587);
inline constexpr TDDResult UnsupportedMode = Make(590);
inline constexpr TDDResult DcAlreadyCreated = Make(620);
} // namespace DDResult

// The standard name of a result ("DDERR_SURFACELOST", "DD_OK"); "" for a code without one here.
inline const char *DDResultName(TDDResult result)
{
    switch (result) {
    case DDResult::Ok: return "DD_OK";
    case DDResult::Generic: return "DDERR_GENERIC";
    case DDResult::Unsupported: return "DDERR_UNSUPPORTED";
    case DDResult::InvalidParams: return "DDERR_INVALIDPARAMS";
    case DDResult::OutOfMemory: return "DDERR_OUTOFMEMORY";
    case DDResult::NoInterface: return "E_NOINTERFACE";
    case DDResult::Exception: return "DDERR_EXCEPTION";
    case DDResult::InvalidMode: return "DDERR_INVALIDMODE";
    case DDResult::InvalidObject: return "DDERR_INVALIDOBJECT";
    case DDResult::InvalidRect: return "DDERR_INVALIDRECT";
    case DDResult::NoColorKey: return "DDERR_NOCOLORKEY";
    case DDResult::NoExclusiveMode: return "DDERR_NOEXCLUSIVEMODE";
    case DDResult::NotFound: return "DDERR_NOTFOUND";
    case DDResult::SurfaceBusy: return "DDERR_SURFACEBUSY";
    case DDResult::SurfaceLost: return "DDERR_SURFACELOST";
    case DDResult::WasStillDrawing: return "DDERR_WASSTILLDRAWING";
    case DDResult::PrimarySurfaceAlreadyExists: return "DDERR_PRIMARYSURFACEALREADYEXISTS";
    case DDResult::NoBltHw: return "DDERR_NOBLTHW";
    case DDResult::NotFlippable: return "DDERR_NOTFLIPPABLE";
    case DDResult::NotLocked: return "DDERR_NOTLOCKED";
    case DDResult::CantCreateDc: return "DDERR_CANTCREATEDC";
    case DDResult::NoDc: return "DDERR_NODC";
    case DDResult::WrongMode: return "DDERR_WRONGMODE";
    case DDResult::UnsupportedMode: return "DDERR_UNSUPPORTEDMODE";
    case DDResult::DcAlreadyCreated: return "DDERR_DCALREADYCREATED";
    default: return "";
    }
}

// A DirectDraw call that reports that the hardware is still drawing is repeated at once; a device
// that kept answering so would hang the frame (and the exit waiting for it), so the repetition ends
// after this many tries and the frame is dropped.
inline constexpr int MaxStillDrawingRetries = 100000;

inline bool DDSucceeded(TDDResult result) { return result >= 0; }
inline bool DDFailed(TDDResult result) { return result < 0; }

// Flags, with DirectDraw's values.
namespace DDFlags {
// SetCooperativeLevel
inline constexpr std::uint32_t CooperativeFullScreen = 0x00000001; // DDSCL_FULLSCREEN
inline constexpr std::uint32_t CooperativeNormal = 0x00000008;     // DDSCL_NORMAL
inline constexpr std::uint32_t CooperativeExclusive = 0x00000010;  // DDSCL_EXCLUSIVE
// Surface description: which members are valid
inline constexpr std::uint32_t DescCaps = 0x00000001;            // DDSD_CAPS
inline constexpr std::uint32_t DescHeight = 0x00000002;          // DDSD_HEIGHT
inline constexpr std::uint32_t DescWidth = 0x00000004;           // DDSD_WIDTH
inline constexpr std::uint32_t DescBackBufferCount = 0x00000020; // DDSD_BACKBUFFERCOUNT
// Surface capabilities
inline constexpr std::uint32_t CapsBackBuffer = 0x00000004;     // DDSCAPS_BACKBUFFER
inline constexpr std::uint32_t CapsComplex = 0x00000008;        // DDSCAPS_COMPLEX
inline constexpr std::uint32_t CapsFlip = 0x00000010;           // DDSCAPS_FLIP
inline constexpr std::uint32_t CapsOffscreenPlain = 0x00000040; // DDSCAPS_OFFSCREENPLAIN
inline constexpr std::uint32_t CapsPrimarySurface = 0x00000200; // DDSCAPS_PRIMARYSURFACE
// BltFast
inline constexpr std::uint32_t BltFastNoColorKey = 0x00000000;  // DDBLTFAST_NOCOLORKEY
inline constexpr std::uint32_t BltFastSrcColorKey = 0x00000001; // DDBLTFAST_SRCCOLORKEY
inline constexpr std::uint32_t BltFastWait = 0x00000010;        // DDBLTFAST_WAIT
// Blt
inline constexpr std::uint32_t BltColorFill = 0x00000400; // DDBLT_COLORFILL
inline constexpr std::uint32_t BltWait = 0x01000000;      // DDBLT_WAIT
// Colour keys
inline constexpr std::uint32_t ColorKeySrcBlt = 0x00000008; // DDCKEY_SRCBLT
// Lock
inline constexpr std::uint32_t LockWait = 0x00000001; // DDLOCK_WAIT
// Driver capabilities (dwCaps2)
inline constexpr std::uint32_t Caps2PrimaryGamma = 0x00020000; // DDCAPS2_PRIMARYGAMMA
// DirectDrawEnumerateEx
inline constexpr std::uint32_t EnumAttachedSecondaryDevices = 0x00000001; // DDENUM_ATTACHEDSECONDARYDEVICES
} // namespace DDFlags

// A rectangle, right and bottom exclusive (RECT).
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect &) const = default;
};

// The members of DDSURFACEDESC the system uses.
struct TSurfaceDescription {
    std::uint32_t Flags = 0; // DDFlags::Desc*
    std::uint32_t Caps = 0;  // DDFlags::Caps*
    int Width = 0;
    int Height = 0;
    int BackBufferCount = 0;
};

// A locked surface: its memory, the bytes from one row to the next, and its pixel format.
struct TSurfaceLock {
    void *Bits = nullptr;
    int Pitch = 0;
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0;
};

// DDGAMMARAMP: red, green and blue, 256 entries each.
struct TGammaRamp {
    std::array<std::uint16_t, 256> Red{};
    std::array<std::uint16_t, 256> Green{};
    std::array<std::uint16_t, 256> Blue{};
    bool operator==(const TGammaRamp &) const = default;
};

// The members of the driver's DDCAPS the system uses.
struct TDisplayCaps {
    std::uint32_t Caps = 0;
    std::uint32_t Caps2 = 0;
};

// A DirectDraw device identifier (GUID), as its 16 bytes.
struct TDeviceGuid {
    std::array<std::uint8_t, 16> Bytes{};
    bool operator==(const TDeviceGuid &) const = default;
};

// IDirectDrawGammaControl.
class IGammaControl {
public:
    virtual ~IGammaControl() = default;
    // Reads the ramp in effect.
    virtual TDDResult GetGammaRamp(std::uint32_t flags, TGammaRamp &ramp) = 0;
    // Sets the ramp; it stays in effect until the device is released.
    virtual TDDResult SetGammaRamp(std::uint32_t flags, const TGammaRamp &ramp) = 0;
};

// IDirectDrawSurface.
class IDisplaySurface {
public:
    virtual ~IDisplaySurface() = default;

    // Pixel size of the surface.
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Copies the source rectangle of source to (x, y) without scaling. A rectangle that does not lie
    // wholly inside both surfaces fails with InvalidRect (BltFast does no clipping). With
    // BltFastSrcColorKey, source pixels equal to the source's colour key are skipped.
    virtual TDDResult BltFast(int x, int y, IDisplaySurface &source, const TRect &sourceRect, std::uint32_t flags) = 0;
    // Blt with BltColorFill: fills the rectangle (the whole surface when absent) with a raw pixel value.
    virtual TDDResult BltColorFill(const std::optional<TRect> &rect, std::uint32_t fillColor, std::uint32_t flags) = 0;
    // Shows the back buffer of a flipping chain; called on the primary surface.
    virtual TDDResult Flip(IDisplaySurface *targetOverride, std::uint32_t flags) = 0;
    // The attached surface of the given capabilities (the back buffer of a primary surface).
    virtual TDDResult GetAttachedSurface(std::uint32_t caps, std::unique_ptr<IDisplaySurface> &attached) = 0;

    // Ok, or SurfaceLost when the surface memory was freed by a mode change.
    virtual TDDResult IsLost() = 0;
    // Reallocates the memory of a lost surface (of the whole chain for a primary); the contents are
    // undefined afterwards.
    virtual TDDResult Restore() = 0;

    // Sets a colour key, for example ColorKeySrcBlt with low = high = the key's raw pixel value.
    virtual TDDResult SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high) = 0;

    // Locks the whole surface (no rectangle) for direct access; Unlock ends it.
    virtual TDDResult Lock(TSurfaceLock &lock, std::uint32_t flags) = 0;
    virtual TDDResult Unlock() = 0;

    // A device context drawing on the surface, valid until ReleaseDC; only one at a time.
    virtual TDDResult GetDC(IDeviceContext *&dc) = 0;
    virtual TDDResult ReleaseDC(IDeviceContext *dc) = 0;

    // QueryInterface for IDirectDrawGammaControl; NoInterface when the surface has none.
    virtual TDDResult QueryGammaControl(std::unique_ptr<IGammaControl> &control) = 0;
};

// IDirectDraw.
class IDisplayDevice {
public:
    // Releases the device and returns the display to its previous mode.
    virtual ~IDisplayDevice() = default;

    virtual TDDResult SetCooperativeLevel(TWindowHandle window, std::uint32_t flags) = 0;
    // The three-argument SetDisplayMode of the first DirectDraw interface.
    virtual TDDResult SetDisplayMode(int width, int height, int bitsPerPixel) = 0;
    // Creates a surface: the flipping primary chain (CapsPrimarySurface | CapsFlip | CapsComplex with
    // a back-buffer count) or an off-screen plain surface in the display's format.
    virtual TDDResult CreateSurface(const TSurfaceDescription &description, std::unique_ptr<IDisplaySurface> &surface) = 0;
    // The driver's capabilities; the emulation's are not requested.
    virtual TDDResult GetCaps(TDisplayCaps &driverCaps) = 0;
};

// What DirectDrawEnumerateExA reports for one device: its identifier (none for the primary display
// driver), description and driver name. Return true to go on.
using TDeviceEnumCallback = std::function<bool(const std::optional<TDeviceGuid> &guid, const std::string &description,
                                               const std::string &driverName)>;

// The DirectDraw library.
class IDisplayDriver {
public:
    virtual ~IDisplayDriver() = default;

    // DirectDrawCreate: the device of the given identifier, or of the primary display driver.
    virtual TDDResult DirectDrawCreate(const std::optional<TDeviceGuid> &guid, std::unique_ptr<IDisplayDevice> &device) = 0;
    // DirectDrawEnumerateExA from the library loaded at run time; E_FAIL (Generic) when the
    // library or the function cannot be found.
    virtual TDDResult EnumerateDevices(std::uint32_t flags, const TDeviceEnumCallback &callback) = 0;
    // The number of monitors of the desktop (SM_CMONITORS).
    virtual int MonitorCount() = 0;
};

// The display of this system: DirectDraw on Windows, soft surfaces in an SDL2 window on Linux.
IDisplayDriver &SystemDisplay();

} // namespace Halcyra::Platform
