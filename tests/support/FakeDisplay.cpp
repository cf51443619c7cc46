// The fake display: thin wrappers around the soft display's objects that consult the failure rules
// and log each call before handing it on.
#include "support/FakeDisplay.h"

namespace Halcyra::Testing {

using namespace Platform;

struct TFailureRule {
    TDDResult Result = DDResult::Generic;
    int After = 0;
    int Times = -1;
};

class TFakeDisplayState {
public:
    mutable std::mutex Mutex;
    std::map<std::string, TFailureRule> Rules;
    std::map<std::string, int> Counts;
    std::vector<std::string> Log;
    std::vector<TFakeBltFast> Blts;
    bool PrimaryLost = false;

    // Called with each call's qualified name before the call is made, outside the lock.
    std::function<void(const std::string &)> OnCall;

    // Logs a call under its plain and qualified names and tells OnCall; the failure to return, or Ok.
    TDDResult Enter(const std::string &method, const std::string &role = {})
    {
        const std::string qualified = role.empty() ? method : method + ":" + role;
        std::function<void(const std::string &)> onCall;
        {
            std::lock_guard lock(Mutex);
            onCall = OnCall;
        }
        if (onCall)
            onCall(qualified);
        return Logged(method, qualified, role);
    }

    TDDResult Logged(const std::string &method, const std::string &qualified, const std::string &role)
    {
        std::lock_guard lock(Mutex);
        Log.push_back(qualified);
        ++Counts[method];
        if (!role.empty())
            ++Counts[qualified];
        for (const std::string &name : {qualified, method}) {
            auto rule = Rules.find(name);
            if (rule == Rules.end())
                continue;
            if (rule->second.After > 0) {
                --rule->second.After;
                continue;
            }
            if (rule->second.Times == 0)
                continue;
            if (rule->second.Times > 0)
                --rule->second.Times;
            return rule->second.Result;
        }
        return DDResult::Ok;
    }

    // Logs an event that cannot fail, such as a release, under its name alone.
    void Note(const std::string &name)
    {
        std::lock_guard lock(Mutex);
        Log.push_back(name);
        ++Counts[name];
    }

    bool IsPrimaryLost()
    {
        std::lock_guard lock(Mutex);
        return PrimaryLost;
    }
};

namespace {

class TFakeGammaControl final : public IGammaControl {
public:
    TFakeGammaControl(std::shared_ptr<TFakeDisplayState> state, std::unique_ptr<IGammaControl> inner)
        : FState(std::move(state)), FInner(std::move(inner))
    {
    }
    TDDResult GetGammaRamp(std::uint32_t flags, TGammaRamp &ramp) override
    {
        if (auto failure = FState->Enter("GetGammaRamp"); failure != DDResult::Ok)
            return failure;
        return FInner->GetGammaRamp(flags, ramp);
    }
    TDDResult SetGammaRamp(std::uint32_t flags, const TGammaRamp &ramp) override
    {
        if (auto failure = FState->Enter("SetGammaRamp"); failure != DDResult::Ok)
            return failure;
        return FInner->SetGammaRamp(flags, ramp);
    }

private:
    std::shared_ptr<TFakeDisplayState> FState;
    std::unique_ptr<IGammaControl> FInner;
};

class TFakeSurface final : public IDisplaySurface {
public:
    TFakeSurface(std::shared_ptr<TFakeDisplayState> state, std::unique_ptr<IDisplaySurface> inner, std::string role)
        : FState(std::move(state)), FInner(std::move(inner)), FRole(std::move(role))
    {
    }
    ~TFakeSurface() override { FState->Note("Release:" + FRole); }

    IDisplaySurface &Inner() { return *FInner; }
    bool InChain() const { return FRole == "Primary" || FRole == "Back"; }

    int Width() const override { return FInner->Width(); }
    int Height() const override { return FInner->Height(); }

    TDDResult BltFast(int x, int y, IDisplaySurface &source, const TRect &rect, std::uint32_t flags) override
    {
        auto *fakeSource = dynamic_cast<TFakeSurface *>(&source);
        {
            std::lock_guard lock(FState->Mutex);
            FState->Blts.push_back(TFakeBltFast{FRole, x, y, rect, flags, source.Width(), source.Height()});
        }
        if (auto failure = FState->Enter("BltFast", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere() || (fakeSource != nullptr && fakeSource->LostHere()))
            return DDResult::SurfaceLost;
        return FInner->BltFast(x, y, fakeSource != nullptr ? fakeSource->Inner() : source, rect, flags);
    }

    TDDResult BltColorFill(const std::optional<TRect> &rect, std::uint32_t color, std::uint32_t flags) override
    {
        if (auto failure = FState->Enter("BltColorFill", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere())
            return DDResult::SurfaceLost;
        return FInner->BltColorFill(rect, color, flags);
    }

    TDDResult Flip(IDisplaySurface *target, std::uint32_t flags) override
    {
        if (auto failure = FState->Enter("Flip", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere())
            return DDResult::SurfaceLost;
        return FInner->Flip(target, flags);
    }

    TDDResult GetAttachedSurface(std::uint32_t caps, std::unique_ptr<IDisplaySurface> &attached) override
    {
        if (auto failure = FState->Enter("GetAttachedSurface", FRole); failure != DDResult::Ok)
            return failure;
        std::unique_ptr<IDisplaySurface> inner;
        const TDDResult result = FInner->GetAttachedSurface(caps, inner);
        if (DDSucceeded(result))
            attached = std::make_unique<TFakeSurface>(FState, std::move(inner), "Back");
        return result;
    }

    TDDResult IsLost() override
    {
        if (auto failure = FState->Enter("IsLost", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere())
            return DDResult::SurfaceLost;
        return FInner->IsLost();
    }

    TDDResult Restore() override
    {
        if (auto failure = FState->Enter("Restore", FRole); failure != DDResult::Ok)
            return failure;
        if (InChain()) {
            std::lock_guard lock(FState->Mutex);
            FState->PrimaryLost = false;
        }
        return FInner->Restore();
    }

    TDDResult SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high) override
    {
        if (auto failure = FState->Enter("SetColorKey", FRole); failure != DDResult::Ok)
            return failure;
        return FInner->SetColorKey(flags, low, high);
    }

    TDDResult Lock(TSurfaceLock &lock, std::uint32_t flags) override
    {
        if (auto failure = FState->Enter("Lock", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere())
            return DDResult::SurfaceLost;
        return FInner->Lock(lock, flags);
    }

    TDDResult Unlock() override
    {
        if (auto failure = FState->Enter("Unlock", FRole); failure != DDResult::Ok)
            return failure;
        return FInner->Unlock();
    }

    TDDResult GetDC(IDeviceContext *&dc) override
    {
        if (auto failure = FState->Enter("GetDC", FRole); failure != DDResult::Ok)
            return failure;
        if (LostHere())
            return DDResult::SurfaceLost;
        return FInner->GetDC(dc);
    }

    TDDResult ReleaseDC(IDeviceContext *dc) override
    {
        if (auto failure = FState->Enter("ReleaseDC", FRole); failure != DDResult::Ok)
            return failure;
        return FInner->ReleaseDC(dc);
    }

    TDDResult QueryGammaControl(std::unique_ptr<IGammaControl> &control) override
    {
        if (auto failure = FState->Enter("QueryGammaControl", FRole); failure != DDResult::Ok)
            return failure;
        std::unique_ptr<IGammaControl> inner;
        const TDDResult result = FInner->QueryGammaControl(inner);
        if (DDSucceeded(result))
            control = std::make_unique<TFakeGammaControl>(FState, std::move(inner));
        return result;
    }

private:
    bool LostHere() { return InChain() && FState->IsPrimaryLost(); }

    std::shared_ptr<TFakeDisplayState> FState;
    std::unique_ptr<IDisplaySurface> FInner;
    std::string FRole;
};

class TFakeDevice final : public IDisplayDevice {
public:
    TFakeDevice(std::shared_ptr<TFakeDisplayState> state, std::unique_ptr<IDisplayDevice> inner)
        : FState(std::move(state)), FInner(std::move(inner))
    {
    }
    ~TFakeDevice() override { FState->Note("Release"); }

    TDDResult SetCooperativeLevel(TWindowHandle window, std::uint32_t flags) override
    {
        if (auto failure = FState->Enter("SetCooperativeLevel"); failure != DDResult::Ok)
            return failure;
        return FInner->SetCooperativeLevel(window, flags);
    }
    TDDResult SetDisplayMode(int width, int height, int bitsPerPixel) override
    {
        if (auto failure = FState->Enter("SetDisplayMode"); failure != DDResult::Ok)
            return failure;
        return FInner->SetDisplayMode(width, height, bitsPerPixel);
    }
    TDDResult CreateSurface(const TSurfaceDescription &description, std::unique_ptr<IDisplaySurface> &surface) override
    {
        const std::string role = (description.Caps & DDFlags::CapsPrimarySurface) ? "Primary" : "Offscreen";
        if (auto failure = FState->Enter("CreateSurface", role); failure != DDResult::Ok)
            return failure;
        std::unique_ptr<IDisplaySurface> inner;
        const TDDResult result = FInner->CreateSurface(description, inner);
        if (DDSucceeded(result))
            surface = std::make_unique<TFakeSurface>(FState, std::move(inner), role);
        return result;
    }
    TDDResult GetCaps(TDisplayCaps &caps) override
    {
        if (auto failure = FState->Enter("GetCaps"); failure != DDResult::Ok)
            return failure;
        return FInner->GetCaps(caps);
    }

private:
    std::shared_ptr<TFakeDisplayState> FState;
    std::unique_ptr<IDisplayDevice> FInner;
};

} // namespace

TFakeDisplay::TFakeDisplay(TSoftDisplayConfig config)
    : FScreen(std::make_shared<TSoftMemoryPresenter>()),
      FSoft(std::make_unique<TSoftDisplayDriver>(std::move(config), FScreen, SystemSoftFonts())),
      FState(std::make_shared<TFakeDisplayState>())
{
}

TFakeDisplay::~TFakeDisplay() = default;

TDDResult TFakeDisplay::DirectDrawCreate(const std::optional<TDeviceGuid> &guid, std::unique_ptr<IDisplayDevice> &device)
{
    if (auto failure = FState->Enter("DirectDrawCreate"); failure != DDResult::Ok)
        return failure;
    std::unique_ptr<IDisplayDevice> inner;
    const TDDResult result = FSoft->DirectDrawCreate(guid, inner);
    if (DDSucceeded(result))
        device = std::make_unique<TFakeDevice>(FState, std::move(inner));
    return result;
}

TDDResult TFakeDisplay::EnumerateDevices(std::uint32_t flags, const TDeviceEnumCallback &callback)
{
    if (auto failure = FState->Enter("EnumerateDevices"); failure != DDResult::Ok)
        return failure;
    return FSoft->EnumerateDevices(flags, callback);
}

int TFakeDisplay::MonitorCount()
{
    FState->Enter("MonitorCount");
    return FSoft->MonitorCount();
}

void TFakeDisplay::Fail(const std::string &call, TDDResult result, int after, int times)
{
    std::lock_guard lock(FState->Mutex);
    FState->Rules[call] = TFailureRule{result, after, times};
}

void TFakeDisplay::ClearFailures()
{
    std::lock_guard lock(FState->Mutex);
    FState->Rules.clear();
}

void TFakeDisplay::SetPrimaryLost(bool lost)
{
    std::lock_guard lock(FState->Mutex);
    FState->PrimaryLost = lost;
}

void TFakeDisplay::LoseAllSurfaces()
{
    FSoft->LoseAllSurfaces();
}

int TFakeDisplay::Calls(const std::string &call) const
{
    std::lock_guard lock(FState->Mutex);
    auto found = FState->Counts.find(call);
    return found == FState->Counts.end() ? 0 : found->second;
}

std::vector<std::string> TFakeDisplay::CallLog() const
{
    std::lock_guard lock(FState->Mutex);
    return FState->Log;
}

void TFakeDisplay::SetOnCall(std::function<void(const std::string &)> onCall)
{
    std::lock_guard lock(FState->Mutex);
    FState->OnCall = std::move(onCall);
}

void TFakeDisplay::ClearCallLog()
{
    std::lock_guard lock(FState->Mutex);
    FState->Log.clear();
    FState->Counts.clear();
    FState->Blts.clear();
}

std::vector<TFakeBltFast> TFakeDisplay::BltFasts() const
{
    std::lock_guard lock(FState->Mutex);
    return FState->Blts;
}

} // namespace Halcyra::Testing
