// The soft display: DirectDraw's rules (exclusive mode before a mode change, one primary chain,
// strict BltFast rectangles, busy surfaces while locked or while a device context is out, loss on a
// mode change) kept over surfaces in memory.
#include "platform/soft/SoftDisplay.h"

#include <algorithm>
#include <cstring>

namespace Halcyra::Platform {

namespace {

constexpr int MaxSurfaceSide = 16384;
// What a restored surface holds until it is drawn again: a colour no picture of the system uses,
// so a surface that was not reloaded shows.
constexpr std::uint32_t RestoredGarbage = 0x00FF00FFu;

std::optional<Imaging::TBitmap32> MakePixels(int width, int height)
{
    return Imaging::TBitmap32::Create(width, height);
}

} // namespace

TGammaRamp IdentityGammaRamp()
{
    TGammaRamp ramp;
    for (int i = 0; i < 256; ++i)
        ramp.Red[i] = ramp.Green[i] = ramp.Blue[i] = static_cast<std::uint16_t>(i * 256);
    return ramp;
}

// ---------------------------------------------------------------------------------------------
// Memory presenter

bool TSoftMemoryPresenter::Open(TWindowHandle, int, int)
{
    std::lock_guard lock(FMutex);
    FOpen = true;
    return true;
}

void TSoftMemoryPresenter::Present(const Imaging::TBitmap32 &frame)
{
    std::lock_guard lock(FMutex);
    if (!FScreen || FScreen->Width() != frame.Width() || FScreen->Height() != frame.Height())
        FScreen = Imaging::TBitmap32::Create(frame.Width(), frame.Height());
    if (!FScreen)
        return;
    for (int y = 0; y < frame.Height(); ++y) {
        const std::uint32_t *source = frame.Row(y);
        std::uint32_t *target = FScreen->Row(y);
        if (!FRamp) {
            std::copy(source, source + frame.Width(), target);
            continue;
        }
        for (int x = 0; x < frame.Width(); ++x) {
            const std::uint32_t pixel = source[x];
            const std::uint32_t red = FRamp->Red[(pixel >> 16) & 0xFF] >> 8;
            const std::uint32_t green = FRamp->Green[(pixel >> 8) & 0xFF] >> 8;
            const std::uint32_t blue = FRamp->Blue[pixel & 0xFF] >> 8;
            target[x] = (red << 16) | (green << 8) | blue;
        }
    }
    ++FPresentCount;
}

bool TSoftMemoryPresenter::SetGammaRamp(const TGammaRamp &ramp)
{
    std::lock_guard lock(FMutex);
    if (!FSupportsGamma)
        return false;
    FRamp = ramp;
    return true;
}

void TSoftMemoryPresenter::Close()
{
    std::lock_guard lock(FMutex);
    FOpen = false;
    FRamp.reset();
}

std::optional<Imaging::TBitmap32> TSoftMemoryPresenter::Screen() const
{
    std::lock_guard lock(FMutex);
    return FScreen;
}

int TSoftMemoryPresenter::PresentCount() const
{
    std::lock_guard lock(FMutex);
    return FPresentCount;
}

bool TSoftMemoryPresenter::IsOpen() const
{
    std::lock_guard lock(FMutex);
    return FOpen;
}

TGammaRamp TSoftMemoryPresenter::Ramp() const
{
    std::lock_guard lock(FMutex);
    return FRamp.value_or(IdentityGammaRamp());
}

// ---------------------------------------------------------------------------------------------
// Device state shared by a device and its surfaces

class TSoftSurface;

class TSoftDeviceState {
public:
    TSoftDeviceState(std::shared_ptr<ISoftPresenter> presenter, ISoftFontEngine &fonts, int desktopWidth, int desktopHeight)
        : Presenter(std::move(presenter)), Fonts(fonts), ModeWidth(desktopWidth), ModeHeight(desktopHeight)
    {
    }

    mutable std::mutex Mutex;
    std::vector<TSoftSurface *> Surfaces;
    std::shared_ptr<ISoftPresenter> Presenter;
    TSoftFontTable Fonts;
    TWindowHandle Window = 0;
    std::uint32_t CooperativeFlags = 0;
    int ModeWidth;
    int ModeHeight;
    int ModeBitsPerPixel = 32;
    bool PresenterOpen = false;
    bool PrimaryExists = false;
    std::atomic<bool> Released = false;
    TGammaRamp Ramp = IdentityGammaRamp();

    void LoseAll();
};

struct TSoftChain {
    std::optional<Imaging::TBitmap32> Buffers[2];
    std::atomic<int> Front = 0;
    std::atomic<bool> Lost = false;
};

class TSoftGammaControl final : public IGammaControl {
public:
    explicit TSoftGammaControl(std::shared_ptr<TSoftDeviceState> state) : FState(std::move(state)) {}

    TDDResult GetGammaRamp(std::uint32_t, TGammaRamp &ramp) override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        std::lock_guard lock(FState->Mutex);
        ramp = FState->Ramp;
        return DDResult::Ok;
    }

    TDDResult SetGammaRamp(std::uint32_t, const TGammaRamp &ramp) override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if (!FState->Presenter || !FState->Presenter->SetGammaRamp(ramp))
            return DDResult::Generic;
        std::lock_guard lock(FState->Mutex);
        FState->Ramp = ramp;
        return DDResult::Ok;
    }

private:
    std::shared_ptr<TSoftDeviceState> FState;
};

// ---------------------------------------------------------------------------------------------
// Surfaces

class TSoftSurface final : public IDisplaySurface {
public:
    enum class TRole { Offscreen, Primary, Back };

    TSoftSurface(std::shared_ptr<TSoftDeviceState> state, TRole role, std::shared_ptr<TSoftChain> chain,
                 std::optional<Imaging::TBitmap32> own)
        : FState(std::move(state)), FRole(role), FChain(std::move(chain)), FOwn(std::move(own))
    {
        std::lock_guard lock(FState->Mutex);
        FState->Surfaces.push_back(this);
        if (FRole == TRole::Primary)
            FState->PrimaryExists = true;
    }

    ~TSoftSurface() override
    {
        std::lock_guard lock(FState->Mutex);
        std::erase(FState->Surfaces, this);
        if (FRole == TRole::Primary)
            FState->PrimaryExists = false;
    }

    int Width() const override { return Pixels().Width(); }
    int Height() const override { return Pixels().Height(); }

    void MarkLost()
    {
        if (FChain)
            FChain->Lost = true;
        else
            FLost = true;
    }

    bool Lost() const { return FChain ? FChain->Lost.load() : FLost.load(); }

    Imaging::TBitmap32 &Pixels()
    {
        if (FRole == TRole::Offscreen)
            return *FOwn;
        const int front = FChain->Front;
        return *FChain->Buffers[FRole == TRole::Primary ? front : (FChain->Buffers[1] ? 1 - front : 0)];
    }
    const Imaging::TBitmap32 &Pixels() const { return const_cast<TSoftSurface *>(this)->Pixels(); }

    bool Busy() const { return FLocked || FDcOut; }

    // The checks every drawing call starts with.
    TDDResult Usable() const
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if (Lost())
            return DDResult::SurfaceLost;
        return DDResult::Ok;
    }

    const std::optional<std::pair<std::uint32_t, std::uint32_t>> &SourceKey() const { return FSourceKey; }

    TDDResult BltFast(int x, int y, IDisplaySurface &sourceInterface, const TRect &rect, std::uint32_t flags) override
    {
        auto *source = dynamic_cast<TSoftSurface *>(&sourceInterface);
        if (source == nullptr)
            return DDResult::InvalidParams;
        if (auto result = Usable(); result != DDResult::Ok)
            return result;
        if (auto result = source->Usable(); result != DDResult::Ok)
            return result;
        if (Busy() || source->Busy())
            return DDResult::SurfaceBusy;
        const Imaging::TBitmap32 &from = source->Pixels();
        Imaging::TBitmap32 &to = Pixels();
        if (rect.Left < 0 || rect.Top < 0 || rect.Right > from.Width() || rect.Bottom > from.Height() ||
            rect.Right <= rect.Left || rect.Bottom <= rect.Top)
            return DDResult::InvalidRect;
        if (x < 0 || y < 0 || x > to.Width() - rect.Width() || y > to.Height() - rect.Height())
            return DDResult::InvalidRect;
        const bool keyed = (flags & DDFlags::BltFastSrcColorKey) != 0;
        if (keyed && !source->SourceKey())
            return DDResult::NoColorKey;
        const std::uint32_t low = keyed ? source->SourceKey()->first & 0x00FFFFFFu : 0;
        const std::uint32_t high = keyed ? source->SourceKey()->second & 0x00FFFFFFu : 0;
        const int width = rect.Width();
        // Rows go bottom-up when a surface copies onto itself downwards, so no source row is
        // overwritten before it is read.
        const bool upwards = source == this && y > rect.Top;
        for (int i = 0; i < rect.Height(); ++i) {
            const int row = upwards ? rect.Height() - 1 - i : i;
            const std::uint32_t *in = from.Row(rect.Top + row) + rect.Left;
            std::uint32_t *out = to.Row(y + row) + x;
            if (!keyed) {
                std::memmove(out, in, static_cast<std::size_t>(width) * sizeof(std::uint32_t));
                continue;
            }
            // Every target pixel is written, the keyed ones with their own value: a select the
            // compiler can do many pixels at a time, where a skipped store cannot be.
            for (int column = 0; column < width; ++column) {
                const std::uint32_t pixel = in[column] & 0x00FFFFFFu;
                out[column] = pixel < low || pixel > high ? pixel : out[column];
            }
        }
        return DDResult::Ok;
    }

    TDDResult BltColorFill(const std::optional<TRect> &rect, std::uint32_t fillColor, std::uint32_t flags) override
    {
        if ((flags & DDFlags::BltColorFill) == 0)
            return DDResult::InvalidParams;
        if (auto result = Usable(); result != DDResult::Ok)
            return result;
        if (Busy())
            return DDResult::SurfaceBusy;
        Imaging::TBitmap32 &pixels = Pixels();
        const TRect area = rect.value_or(TRect{0, 0, pixels.Width(), pixels.Height()});
        if (area.Left < 0 || area.Top < 0 || area.Right > pixels.Width() || area.Bottom > pixels.Height() ||
            area.Right < area.Left || area.Bottom < area.Top)
            return DDResult::InvalidRect;
        for (int y = area.Top; y < area.Bottom; ++y) {
            std::uint32_t *row = pixels.Row(y);
            std::fill(row + area.Left, row + area.Right, fillColor & 0x00FFFFFFu);
        }
        return DDResult::Ok;
    }

    TDDResult Flip(IDisplaySurface *, std::uint32_t) override
    {
        if (FRole != TRole::Primary || !FChain->Buffers[1])
            return DDResult::NotFlippable;
        if (auto result = Usable(); result != DDResult::Ok)
            return result;
        if (Busy() || FChainBusy())
            return DDResult::SurfaceBusy;
        FChain->Front = 1 - FChain->Front;
        if (FState->Presenter && FState->PresenterOpen)
            FState->Presenter->Present(Pixels());
        return DDResult::Ok;
    }

    TDDResult GetAttachedSurface(std::uint32_t caps, std::unique_ptr<IDisplaySurface> &attached) override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if (FRole != TRole::Primary || (caps & DDFlags::CapsBackBuffer) == 0 || !FChain->Buffers[1])
            return DDResult::NotFound;
        attached = std::make_unique<TSoftSurface>(FState, TRole::Back, FChain, std::nullopt);
        return DDResult::Ok;
    }

    TDDResult IsLost() override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        return Lost() ? DDResult::SurfaceLost : DDResult::Ok;
    }

    TDDResult Restore() override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if (!Lost())
            return DDResult::Ok;
        if (FChain) {
            for (auto &buffer : FChain->Buffers)
                if (buffer)
                    buffer->Fill(RestoredGarbage);
            FChain->Lost = false;
        } else {
            FOwn->Fill(RestoredGarbage);
            FLost = false;
        }
        return DDResult::Ok;
    }

    TDDResult SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high) override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if ((flags & DDFlags::ColorKeySrcBlt) == 0)
            return DDResult::Unsupported;
        FSourceKey = std::make_pair(low, std::max(low, high));
        return DDResult::Ok;
    }

    TDDResult Lock(TSurfaceLock &lock, std::uint32_t) override
    {
        if (auto result = Usable(); result != DDResult::Ok)
            return result;
        if (Busy())
            return DDResult::SurfaceBusy;
        Imaging::TBitmap32 &pixels = Pixels();
        lock = TSurfaceLock{pixels.Row(0), pixels.Width() * 4, pixels.Width(), pixels.Height(), 32};
        FLocked = true;
        return DDResult::Ok;
    }

    TDDResult Unlock() override
    {
        if (!FLocked)
            return DDResult::NotLocked;
        FLocked = false;
        return DDResult::Ok;
    }

    TDDResult GetDC(IDeviceContext *&dc) override
    {
        if (FDcOut)
            return DDResult::DcAlreadyCreated;
        if (auto result = Usable(); result != DDResult::Ok)
            return result;
        if (FLocked)
            return DDResult::SurfaceBusy;
        if (!FDc)
            FDc = std::make_unique<TSoftDeviceContext>(Pixels(), FState->Fonts);
        FDc->Reset(Pixels());
        FDcOut = true;
        dc = FDc.get();
        return DDResult::Ok;
    }

    TDDResult ReleaseDC(IDeviceContext *dc) override
    {
        if (!FDcOut || dc != FDc.get())
            return DDResult::InvalidParams;
        FDcOut = false;
        return DDResult::Ok;
    }

    TDDResult QueryGammaControl(std::unique_ptr<IGammaControl> &control) override
    {
        if (FState->Released)
            return DDResult::InvalidObject;
        if (FRole != TRole::Primary)
            return DDResult::NoInterface;
        control = std::make_unique<TSoftGammaControl>(FState);
        return DDResult::Ok;
    }

private:
    // Whether another surface of the chain (the back buffer) is locked or has a device context out.
    bool FChainBusy() const
    {
        std::lock_guard lock(FState->Mutex);
        for (const TSoftSurface *surface : FState->Surfaces)
            if (surface != this && surface->FChain == FChain && surface->Busy())
                return true;
        return false;
    }

    std::shared_ptr<TSoftDeviceState> FState;
    TRole FRole;
    std::shared_ptr<TSoftChain> FChain;
    std::optional<Imaging::TBitmap32> FOwn;
    std::atomic<bool> FLost = false;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> FSourceKey;
    bool FLocked = false;
    bool FDcOut = false;
    std::unique_ptr<TSoftDeviceContext> FDc;
};

void TSoftDeviceState::LoseAll()
{
    std::lock_guard lock(Mutex);
    for (TSoftSurface *surface : Surfaces)
        surface->MarkLost();
}

// ---------------------------------------------------------------------------------------------
// Device

class TSoftDisplayDevice final : public IDisplayDevice {
public:
    explicit TSoftDisplayDevice(std::shared_ptr<TSoftDeviceState> state) : FState(std::move(state)) {}

    ~TSoftDisplayDevice() override
    {
        FState->Released = true;
        if (FState->PresenterOpen && FState->Presenter)
            FState->Presenter->Close();
        FState->PresenterOpen = false;
    }

    TDDResult SetCooperativeLevel(TWindowHandle window, std::uint32_t flags) override
    {
        const bool exclusive = (flags & DDFlags::CooperativeExclusive) != 0;
        const bool fullScreen = (flags & DDFlags::CooperativeFullScreen) != 0;
        const bool normal = (flags & DDFlags::CooperativeNormal) != 0;
        if (exclusive != fullScreen || (exclusive && normal) || (!exclusive && !normal))
            return DDResult::InvalidParams;
        if (exclusive && window == 0)
            return DDResult::InvalidParams;
        std::lock_guard lock(FState->Mutex);
        FState->Window = window;
        FState->CooperativeFlags = flags;
        return DDResult::Ok;
    }

    TDDResult SetDisplayMode(int width, int height, int bitsPerPixel) override
    {
        {
            std::lock_guard lock(FState->Mutex);
            if ((FState->CooperativeFlags & DDFlags::CooperativeExclusive) == 0)
                return DDResult::NoExclusiveMode;
        }
        if (bitsPerPixel != 32 || width < 1 || height < 1 || width > MaxSurfaceSide || height > MaxSurfaceSide)
            return DDResult::UnsupportedMode;
        if (FState->Presenter && !FState->Presenter->Open(FState->Window, width, height))
            return DDResult::Generic;
        FState->PresenterOpen = FState->Presenter != nullptr;
        // A mode change frees the memory of every surface of the device.
        FState->LoseAll();
        std::lock_guard lock(FState->Mutex);
        FState->ModeWidth = width;
        FState->ModeHeight = height;
        FState->ModeBitsPerPixel = bitsPerPixel;
        return DDResult::Ok;
    }

    TDDResult CreateSurface(const TSurfaceDescription &description, std::unique_ptr<IDisplaySurface> &surface) override
    {
        if ((description.Flags & DDFlags::DescCaps) == 0)
            return DDResult::InvalidParams;
        if (description.Caps & DDFlags::CapsPrimarySurface)
            return CreatePrimary(description, surface);
        if ((description.Flags & DDFlags::DescWidth) == 0 || (description.Flags & DDFlags::DescHeight) == 0 ||
            description.Width < 1 || description.Height < 1)
            return DDResult::InvalidParams;
        if (description.Width > MaxSurfaceSide || description.Height > MaxSurfaceSide)
            return DDResult::OutOfMemory;
        auto pixels = MakePixels(description.Width, description.Height);
        if (!pixels)
            return DDResult::OutOfMemory;
        surface = std::make_unique<TSoftSurface>(FState, TSoftSurface::TRole::Offscreen, nullptr, std::move(pixels));
        return DDResult::Ok;
    }

    TDDResult GetCaps(TDisplayCaps &driverCaps) override
    {
        // DDCAPS_BLT, DDCAPS_COLORKEY and DDCAPS_BLTCOLORFILL.
        driverCaps.Caps = 0x00000040u | 0x00400000u | 0x04000000u;
        driverCaps.Caps2 = (FState->Presenter && FState->Presenter->SupportsGamma()) ? DDFlags::Caps2PrimaryGamma : 0;
        return DDResult::Ok;
    }

private:
    TDDResult CreatePrimary(const TSurfaceDescription &description, std::unique_ptr<IDisplaySurface> &surface)
    {
        int width = 0;
        int height = 0;
        {
            std::lock_guard lock(FState->Mutex);
            if (FState->PrimaryExists)
                return DDResult::PrimarySurfaceAlreadyExists;
            const bool flipping = (description.Caps & DDFlags::CapsFlip) != 0;
            if (flipping && (FState->CooperativeFlags & DDFlags::CooperativeExclusive) == 0)
                return DDResult::NoExclusiveMode;
            if (flipping && ((description.Flags & DDFlags::DescBackBufferCount) == 0 || description.BackBufferCount < 1 ||
                             (description.Caps & DDFlags::CapsComplex) == 0))
                return DDResult::InvalidParams;
            if (flipping && description.BackBufferCount > 1)
                return DDResult::Unsupported;
            width = FState->ModeWidth;
            height = FState->ModeHeight;
        }
        auto chain = std::make_shared<TSoftChain>();
        chain->Buffers[0] = MakePixels(width, height);
        if (!chain->Buffers[0])
            return DDResult::OutOfMemory;
        if (description.Caps & DDFlags::CapsFlip) {
            chain->Buffers[1] = MakePixels(width, height);
            if (!chain->Buffers[1])
                return DDResult::OutOfMemory;
        }
        surface = std::make_unique<TSoftSurface>(FState, TSoftSurface::TRole::Primary, std::move(chain), std::nullopt);
        return DDResult::Ok;
    }

    std::shared_ptr<TSoftDeviceState> FState;
};

// ---------------------------------------------------------------------------------------------
// Driver

TSoftDisplayDriver::TSoftDisplayDriver(TSoftDisplayConfig config, std::shared_ptr<ISoftPresenter> presenter, ISoftFontEngine &fonts)
    : FConfig(std::move(config)), FPresenter(std::move(presenter)), FFonts(fonts)
{
}

TSoftDisplayDriver::~TSoftDisplayDriver() = default;

TDDResult TSoftDisplayDriver::DirectDrawCreate(const std::optional<TDeviceGuid> &guid, std::unique_ptr<IDisplayDevice> &device)
{
    FLastGuid = guid;
    ++FCreateCount;
    if (guid) {
        const bool known = std::any_of(FConfig.Devices.begin(), FConfig.Devices.end(),
                                       [&](const TSoftDeviceInfo &info) { return info.Guid == guid; });
        if (!known)
            return DDResult::InvalidParams;
    }
    auto state = std::make_shared<TSoftDeviceState>(FPresenter, FFonts, FConfig.DesktopWidth, FConfig.DesktopHeight);
    FLive = state;
    device = std::make_unique<TSoftDisplayDevice>(std::move(state));
    return DDResult::Ok;
}

TDDResult TSoftDisplayDriver::EnumerateDevices(std::uint32_t, const TDeviceEnumCallback &callback)
{
    if (!FConfig.EnumerationAvailable)
        return DDResult::Generic;
    for (const auto &info : FConfig.Devices)
        if (!callback(info.Guid, info.Description, info.DriverName))
            break;
    return DDResult::Ok;
}

bool TSoftDisplayDriver::DeviceAlive() const
{
    auto state = FLive.lock();
    return state && !state->Released;
}

void TSoftDisplayDriver::LoseAllSurfaces()
{
    if (auto state = FLive.lock())
        state->LoseAll();
}

TWindowHandle TSoftDisplayDriver::CooperativeWindow() const
{
    auto state = FLive.lock();
    if (!state || state->Released)
        return 0;
    std::lock_guard lock(state->Mutex);
    return state->Window;
}

std::uint32_t TSoftDisplayDriver::CooperativeFlags() const
{
    auto state = FLive.lock();
    if (!state || state->Released)
        return 0;
    std::lock_guard lock(state->Mutex);
    return state->CooperativeFlags;
}

int TSoftDisplayDriver::ModeWidth() const
{
    auto state = FLive.lock();
    if (!state || state->Released)
        return 0;
    std::lock_guard lock(state->Mutex);
    return state->ModeWidth;
}

int TSoftDisplayDriver::ModeHeight() const
{
    auto state = FLive.lock();
    if (!state || state->Released)
        return 0;
    std::lock_guard lock(state->Mutex);
    return state->ModeHeight;
}

int TSoftDisplayDriver::ModeBitsPerPixel() const
{
    auto state = FLive.lock();
    if (!state || state->Released)
        return 0;
    std::lock_guard lock(state->Mutex);
    return state->ModeBitsPerPixel;
}

int TSoftDisplayDriver::LiveFontCount() const
{
    auto state = FLive.lock();
    return state ? state->Fonts.LiveCount() : 0;
}

int TSoftDisplayDriver::SurfaceCount() const
{
    auto state = FLive.lock();
    if (!state)
        return 0;
    std::lock_guard lock(state->Mutex);
    return static_cast<int>(state->Surfaces.size());
}

} // namespace Halcyra::Platform
