// Stand-ins for what the engine works with besides the display: the owner form, a periodic timer the
// test fires by hand, a sound output that records the master volume, and a clock the test sets.
#pragma once

#include "engine/OwnerForm.h"
#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"
#include "platform/Sound.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace Halcyra::Testing {

class TFakeOwnerForm final : public IOwnerForm {
public:
    Platform::TWindowHandle Handle() const override { return WindowHandle; }
    void SetBorderStyle(TBorderStyle style) override
    {
        BorderStyle = style;
        Log.push_back(style == TBorderStyle::None ? "BorderNone" : "BorderSizeable");
    }
    void SetColor(std::uint32_t rgb) override
    {
        Color = rgb;
        Log.push_back("Color");
    }
    void SetVisible(bool visible) override
    {
        Visible = visible;
        Log.push_back(visible ? "Show" : "Hide");
    }
    void SetSize(int width, int height) override
    {
        Width = width;
        Height = height;
        Log.push_back("Size " + std::to_string(width) + "x" + std::to_string(height));
    }
    void Close() override
    {
        ++CloseCount;
        Log.push_back("Close");
    }

    Platform::TWindowHandle WindowHandle = 0x4711;
    TBorderStyle BorderStyle = TBorderStyle::Sizeable;
    std::uint32_t Color = 0x00F0F0F0u;
    bool Visible = true;
    int Width = 0;
    int Height = 0;
    int CloseCount = 0;
    std::vector<std::string> Log;
};

// A timer whose ticks the test fires with Fire(); records starts and stops.
class TManualTimer final : public Platform::IPeriodicTimer {
public:
    bool Start(unsigned periodMs, std::function<void()> tick) override
    {
        if (Refuse)
            return false;
        Tick = std::move(tick);
        Period = periodMs;
        ++StartCount;
        FRunning = true;
        return true;
    }
    void Stop() override
    {
        ++StopCount;
        FRunning = false;
        if (OnStop)
            OnStop();
    }
    bool Running() const override { return FRunning; }
    // One tick, as the timer's thread would run it; nothing when stopped.
    void Fire()
    {
        if (FRunning && Tick)
            Tick();
    }

    bool Refuse = false;
    unsigned Period = 0;
    int StartCount = 0;
    int StopCount = 0;
    std::function<void()> Tick;
    // Called at each stop, for tests that follow an order of calls.
    std::function<void()> OnStop;

private:
    bool FRunning = false;
};

class TRecordingSound final : public Platform::ISound {
public:
    bool PlayLooped(const std::string &name) override
    {
        Played.push_back(name);
        return true;
    }
    void StopAll() override
    {
        ++StopCount;
        if (OnStopAll)
            OnStopAll();
    }
    bool SetMasterVolume(unsigned volume) override
    {
        Volumes.push_back(volume);
        return HasMixer;
    }

    bool HasMixer = true;
    std::vector<std::string> Played;
    int StopCount = 0;
    std::function<void()> OnStopAll;
    std::vector<unsigned> Volumes;
};

class TSteppedClock final : public Platform::IClock {
public:
    Platform::TLocalTime Now() override { return Time; }
    Platform::TTimeText LocaleTimeText(const Platform::TLocalTime &) override { return Platform::TTimeText::From(TimeText); }
    unsigned Milliseconds() override { return Ms.load(); }

    Platform::TLocalTime Time{2014, 3, 1, 22, 35, 0, 0};
    std::string TimeText = "22:35";
    std::atomic<unsigned> Ms = 3'600'000; // an hour of up-time
};

} // namespace Halcyra::Testing
