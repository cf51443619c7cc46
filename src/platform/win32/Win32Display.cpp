// The display of Windows: DirectDraw itself. "ddraw.dll" is loaded at run time; DirectDrawCreate
// gives the first IDirectDraw interface, whose surfaces (IDirectDrawSurface) and gamma control
// (IDirectDrawGammaControl) are wrapped one to one. Every result is DirectDraw's own.
#include "platform/Display.h"
#include "platform/win32/Win32DeviceContext.h"

#include <windows.h>
#include <ddraw.h>

#include <cstring>
#include <memory>

namespace Halcyra::Platform {

namespace {

// The surface description is 108 bytes in a 32-bit program; in this 64-bit one its surface pointer
// is 8 bytes and aligned, which makes it 120. DirectDraw checks dwSize against its own layout.
static_assert(sizeof(DDSURFACEDESC) == (sizeof(void *) == 8 ? 120 : 108), "DDSURFACEDESC has DirectDraw's layout");
static_assert(sizeof(DDCAPS_DX7) == 380, "the capability record DirectDraw expects is 380 bytes");
static_assert(sizeof(DDGAMMARAMP) == sizeof(TGammaRamp), "a gamma ramp is three arrays of 256 16-bit entries");

// {69C11C3E-B46B-11D1-AD7A-00C04FC29B4E}
const GUID GammaControlInterface = {0x69C11C3E, 0xB46B, 0x11D1, {0xAD, 0x7A, 0x00, 0xC0, 0x4F, 0xC2, 0x9B, 0x4E}};

using TDirectDrawCreate = HRESULT(WINAPI *)(GUID *, LPDIRECTDRAW *, IUnknown *);

// A COM interface released with its owner.
template <typename T>
class TComRef {
public:
    TComRef() = default;
    explicit TComRef(T *pointer) : FPointer(pointer) {}
    ~TComRef() { Reset(); }
    TComRef(const TComRef &) = delete;
    TComRef &operator=(const TComRef &) = delete;
    T *operator->() const { return FPointer; }
    T *Get() const { return FPointer; }
    void Reset()
    {
        if (FPointer != nullptr)
            FPointer->Release();
        FPointer = nullptr;
    }

private:
    T *FPointer = nullptr;
};

// The library, loaded once and kept for the life of the program: surfaces and devices made from it
// must not outlive its code.
class TDirectDrawLibrary {
public:
    TDirectDrawLibrary() : FModule(LoadLibraryA("ddraw.dll")) {}
    TDirectDrawLibrary(const TDirectDrawLibrary &) = delete;
    TDirectDrawLibrary &operator=(const TDirectDrawLibrary &) = delete;

    TDirectDrawCreate Create() const
    {
        return FModule != nullptr ? reinterpret_cast<TDirectDrawCreate>(reinterpret_cast<void *>(GetProcAddress(FModule, "DirectDrawCreate")))
                                  : nullptr;
    }

private:
    HMODULE FModule;
};

class TWin32GammaControl final : public IGammaControl {
public:
    explicit TWin32GammaControl(IDirectDrawGammaControl *control) : FControl(control) {}

    TDDResult GetGammaRamp(std::uint32_t flags, TGammaRamp &ramp) override
    {
        DDGAMMARAMP native{};
        const HRESULT result = FControl->GetGammaRamp(flags, &native);
        if (SUCCEEDED(result)) {
            for (int i = 0; i < 256; ++i) {
                ramp.Red[i] = native.red[i];
                ramp.Green[i] = native.green[i];
                ramp.Blue[i] = native.blue[i];
            }
        }
        return result;
    }

    TDDResult SetGammaRamp(std::uint32_t flags, const TGammaRamp &ramp) override
    {
        DDGAMMARAMP native{};
        for (int i = 0; i < 256; ++i) {
            native.red[i] = ramp.Red[i];
            native.green[i] = ramp.Green[i];
            native.blue[i] = ramp.Blue[i];
        }
        return FControl->SetGammaRamp(flags, &native);
    }

private:
    TComRef<IDirectDrawGammaControl> FControl;
};

class TWin32Surface final : public IDisplaySurface {
public:
    explicit TWin32Surface(IDirectDrawSurface *surface) : FSurface(surface)
    {
        DDSURFACEDESC description{};
        description.dwSize = sizeof description;
        if (SUCCEEDED(FSurface->GetSurfaceDesc(&description))) {
            FWidth = static_cast<int>(description.dwWidth);
            FHeight = static_cast<int>(description.dwHeight);
        }
    }

    IDirectDrawSurface *Native() const { return FSurface.Get(); }

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }

    TDDResult BltFast(int x, int y, IDisplaySurface &source, const TRect &rect, std::uint32_t flags) override
    {
        auto *native = dynamic_cast<TWin32Surface *>(&source);
        if (native == nullptr)
            return DDERR_INVALIDPARAMS;
        RECT area{rect.Left, rect.Top, rect.Right, rect.Bottom};
        return FSurface->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), native->Native(), &area, flags);
    }

    TDDResult BltColorFill(const std::optional<TRect> &rect, std::uint32_t fillColor, std::uint32_t flags) override
    {
        DDBLTFX effects{};
        effects.dwSize = sizeof effects;
        effects.dwFillColor = fillColor;
        RECT area{};
        if (rect)
            area = RECT{rect->Left, rect->Top, rect->Right, rect->Bottom};
        return FSurface->Blt(rect ? &area : nullptr, nullptr, nullptr, flags, &effects);
    }

    TDDResult Flip(IDisplaySurface *targetOverride, std::uint32_t flags) override
    {
        auto *native = dynamic_cast<TWin32Surface *>(targetOverride);
        return FSurface->Flip(native != nullptr ? native->Native() : nullptr, flags);
    }

    TDDResult GetAttachedSurface(std::uint32_t caps, std::unique_ptr<IDisplaySurface> &attached) override
    {
        DDSCAPS wanted{};
        wanted.dwCaps = caps;
        IDirectDrawSurface *surface = nullptr;
        const HRESULT result = FSurface->GetAttachedSurface(&wanted, &surface);
        if (SUCCEEDED(result) && surface != nullptr)
            attached = std::make_unique<TWin32Surface>(surface);
        return result;
    }

    TDDResult IsLost() override { return FSurface->IsLost(); }
    TDDResult Restore() override { return FSurface->Restore(); }

    TDDResult SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high) override
    {
        DDCOLORKEY key{low, high};
        return FSurface->SetColorKey(flags, &key);
    }

    TDDResult Lock(TSurfaceLock &lock, std::uint32_t flags) override
    {
        DDSURFACEDESC description{};
        description.dwSize = sizeof description;
        const HRESULT result = FSurface->Lock(nullptr, &description, flags, nullptr);
        if (SUCCEEDED(result)) {
            lock.Bits = description.lpSurface;
            lock.Pitch = static_cast<int>(description.lPitch);
            lock.Width = static_cast<int>(description.dwWidth);
            lock.Height = static_cast<int>(description.dwHeight);
            lock.BitsPerPixel = static_cast<int>(description.ddpfPixelFormat.dwRGBBitCount);
        }
        return result;
    }

    TDDResult Unlock() override { return FSurface->Unlock(nullptr); }

    TDDResult GetDC(IDeviceContext *&dc) override
    {
        HDC handle = nullptr;
        const HRESULT result = FSurface->GetDC(&handle);
        if (SUCCEEDED(result)) {
            FDc.SetHandle(handle);
            dc = &FDc;
        }
        return result;
    }

    TDDResult ReleaseDC(IDeviceContext *dc) override
    {
        if (dc != &FDc)
            return DDERR_INVALIDPARAMS;
        const HRESULT result = FSurface->ReleaseDC(FDc.Handle());
        FDc.SetHandle(nullptr);
        return result;
    }

    TDDResult QueryGammaControl(std::unique_ptr<IGammaControl> &control) override
    {
        void *interfacePointer = nullptr;
        const HRESULT result = FSurface->QueryInterface(GammaControlInterface, &interfacePointer);
        if (SUCCEEDED(result) && interfacePointer != nullptr)
            control = std::make_unique<TWin32GammaControl>(static_cast<IDirectDrawGammaControl *>(interfacePointer));
        return result;
    }

private:
    TComRef<IDirectDrawSurface> FSurface;
    TWin32DeviceContext FDc;
    int FWidth = 0;
    int FHeight = 0;
};

class TWin32Device final : public IDisplayDevice {
public:
    explicit TWin32Device(IDirectDraw *directDraw) : FDirectDraw(directDraw) {}

    TDDResult SetCooperativeLevel(TWindowHandle window, std::uint32_t flags) override
    {
        return FDirectDraw->SetCooperativeLevel(reinterpret_cast<HWND>(window), flags);
    }

    TDDResult SetDisplayMode(int width, int height, int bitsPerPixel) override
    {
        return FDirectDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), static_cast<DWORD>(bitsPerPixel));
    }

    TDDResult CreateSurface(const TSurfaceDescription &description, std::unique_ptr<IDisplaySurface> &surface) override
    {
        DDSURFACEDESC native{};
        native.dwSize = sizeof native;
        native.dwFlags = description.Flags;
        native.ddsCaps.dwCaps = description.Caps;
        native.dwWidth = static_cast<DWORD>(description.Width);
        native.dwHeight = static_cast<DWORD>(description.Height);
        native.dwBackBufferCount = static_cast<DWORD>(description.BackBufferCount);
        IDirectDrawSurface *created = nullptr;
        const HRESULT result = FDirectDraw->CreateSurface(&native, &created, nullptr);
        if (SUCCEEDED(result) && created != nullptr)
            surface = std::make_unique<TWin32Surface>(created);
        else if (created != nullptr)
            created->Release();
        return result;
    }

    TDDResult GetCaps(TDisplayCaps &driverCaps) override
    {
        DDCAPS_DX7 caps{};
        caps.dwSize = sizeof caps;
        const HRESULT result = FDirectDraw->GetCaps(reinterpret_cast<LPDDCAPS>(&caps), nullptr);
        if (SUCCEEDED(result)) {
            driverCaps.Caps = caps.dwCaps;
            driverCaps.Caps2 = caps.dwCaps2;
        }
        return result;
    }

private:
    TComRef<IDirectDraw> FDirectDraw;
};

struct TEnumerationContext {
    const TDeviceEnumCallback *Callback;
};

BOOL WINAPI EnumerationCallback(GUID *guid, LPSTR description, LPSTR driverName, LPVOID context, HMONITOR)
{
    const auto *enumeration = static_cast<TEnumerationContext *>(context);
    std::optional<TDeviceGuid> identifier;
    if (guid != nullptr) {
        TDeviceGuid copy;
        std::memcpy(copy.Bytes.data(), guid, sizeof(GUID));
        identifier = copy;
    }
    return (*enumeration->Callback)(identifier, description != nullptr ? description : "", driverName != nullptr ? driverName : "")
               ? DDENUMRET_OK
               : DDENUMRET_CANCEL;
}

class TWin32DisplayDriver final : public IDisplayDriver {
public:
    TDDResult DirectDrawCreate(const std::optional<TDeviceGuid> &guid, std::unique_ptr<IDisplayDevice> &device) override
    {
        const TDirectDrawCreate create = FLibrary.Create();
        if (create == nullptr)
            return DDERR_GENERIC;
        GUID identifier{};
        if (guid)
            std::memcpy(&identifier, guid->Bytes.data(), sizeof identifier);
        IDirectDraw *directDraw = nullptr;
        const HRESULT result = create(guid ? &identifier : nullptr, &directDraw, nullptr);
        if (SUCCEEDED(result) && directDraw != nullptr)
            device = std::make_unique<TWin32Device>(directDraw);
        return result;
    }

    TDDResult EnumerateDevices(std::uint32_t flags, const TDeviceEnumCallback &callback) override
    {
        // Loaded for the enumeration alone and unloaded after it.
        HMODULE library = LoadLibraryA("ddraw.dll");
        if (library == nullptr)
            return E_FAIL;
        const auto enumerate = reinterpret_cast<LPDIRECTDRAWENUMERATEEXA>(
            reinterpret_cast<void *>(GetProcAddress(library, "DirectDrawEnumerateExA")));
        if (enumerate == nullptr) {
            FreeLibrary(library);
            return E_FAIL;
        }
        TEnumerationContext context{&callback};
        const HRESULT result = enumerate(EnumerationCallback, &context, flags);
        FreeLibrary(library);
        return result;
    }

    int MonitorCount() override { return GetSystemMetrics(SM_CMONITORS); }

private:
    TDirectDrawLibrary FLibrary;
};

} // namespace

IDisplayDriver &SystemDisplay()
{
    static TWin32DisplayDriver driver;
    return driver;
}

} // namespace Halcyra::Platform
