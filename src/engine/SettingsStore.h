// The settings store: twelve named values under one per-user registry key, the four primitives
// that read and write one value each, the one-shot load that creates the key with defaults on
// first use, and the loaded copy the scene, the gadgets and the feed thread read.
#pragma once

#include "platform/Registry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Halcyra {

// A registry access that failed; the text names the value ("Failed to get data for 'Brightness'") or
// the settings file that cannot be read.
using ERegistryException = Platform::ERegistryException;

// The values of the settings key, as loaded.
struct TSettings {
    std::int32_t Brightness = 0;
    std::int32_t SoundVolume = 0;
    std::string TDegree;
    std::string WeatherCode;
    std::string RSS_Url;
    std::int32_t ShowTime = 0;
    std::int32_t ShowWeather = 0;
    std::int32_t ShowNews = 0;
    std::int32_t ShowBlack = 0;
    std::int32_t UseProxy = 0;
    std::string Proxy;
    std::string Port;

    // What a first run writes.
    static TSettings Defaults();

    bool operator==(const TSettings &) const = default;
};

// The default news feed: world news of the news host.
std::string DefaultNewsFeedUrl();
// A stored feed address as the program uses it. The first-run default of earlier versions, a form
// of the news host's that was shut years ago, was never the user's choice: it is read as today's.
std::string CurrentNewsFeedUrl(const std::string &stored);

class TSettingsStore {
public:
    explicit TSettingsStore(Platform::IRegistry &registry);

    void SetBrandName(const std::string &brandName) { FBrandName = brandName; }
    void SetSSName(const std::string &ssName) { FSSName = ssName; }
    const std::string &GetBrandName() const { return FBrandName; }
    const std::string &GetSSName() const { return FSSName; }
    // "SOFTWARE\" + BrandName + "\" + SSName.
    std::string KeyPath() const;

    // Reads an integer of the key; false (value untouched) when the key does not exist.
    // Throws ERegistryException when the value is absent or not an integer.
    bool ReadRKey(const std::string &name, std::int32_t &value);
    // Writes an integer, creating the key when missing; false when the key cannot be opened or
    // created. Throws ERegistryException when the value cannot be written.
    bool WriteRKey(const std::string &name, std::int32_t value);
    // Reads a text of the key (an absent value reads as empty); false (value untouched) when the key
    // does not exist. Throws ERegistryException when the value is not a text.
    bool ReadAKey(const std::string &name, std::string &value);
    // Writes a text, creating the key when missing; like WriteRKey.
    bool WriteAKey(const std::string &name, const std::string &value);

    // Runs writes, whose WriteRKey and WriteAKey calls are collected instead of made (each returns
    // true), then stores the collected values in their order with one write of the key: where the
    // platform can, all of them or none (the Linux key file is replaced once). False when the key
    // cannot be opened or created; throws ERegistryException naming the first value that could not
    // be written.
    bool WriteTogether(const std::function<void()> &writes);

    // Gives the key the defaults of those of the twelve values it lacks, written together, as a
    // first run writes all of them: a run cut short or a value removed by hand never leaves a key
    // that fails every later start. The values it holds stay. False when the key cannot be opened or
    // created; throws ERegistryException naming the first value that could not be written.
    bool WriteMissingDefaults();
    // Loads all twelve values, after giving the key those it lacks (all of them on the first run);
    // when the key cannot be created, the defaults are loaded and nothing is written.
    void SetRegistry();
    // Reads all twelve values in their order and writes nothing; false (settings untouched) when the
    // key does not exist. Throws ERegistryException as the primitives do.
    bool ReadAll(TSettings &settings);
    // Writes all twelve values in the order a first run writes them.
    void WriteAll(const TSettings &settings);

    const TSettings &Loaded() const { return FLoaded; }
    std::int32_t GetBrightness() const { return FLoaded.Brightness; }
    std::int32_t GetSoundVolume() const { return FLoaded.SoundVolume; }
    std::string GetTDegree() const { return FLoaded.TDegree; }
    std::string GetWeatherCode() const { return FLoaded.WeatherCode; }
    std::string GetRSS_Url() const { return FLoaded.RSS_Url; }
    std::int32_t GetShowTime() const { return FLoaded.ShowTime; }
    std::int32_t GetShowWeather() const { return FLoaded.ShowWeather; }
    std::int32_t GetShowNews() const { return FLoaded.ShowNews; }
    std::int32_t GetShowBlack() const { return FLoaded.ShowBlack; }
    std::int32_t GetUseProxy() const { return FLoaded.UseProxy; }
    std::string GetProxy() const { return FLoaded.Proxy; }
    std::string GetPort() const { return FLoaded.Port; }

private:
    // Opens or creates the key and writes one value; false when the key cannot be had.
    bool WriteValue(const std::string &name, const Platform::TRegistryValue &value);

    Platform::IRegistry &FRegistry;
    // The writes collected by WriteTogether while it runs.
    std::optional<std::vector<Platform::TRegistryNamedValue>> FCollected;
    std::string FBrandName;
    std::string FSSName;
    TSettings FLoaded;
};

} // namespace Halcyra
