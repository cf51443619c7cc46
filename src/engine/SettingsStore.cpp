// The settings store: registry values in, typed values and exact error texts out.
#include "engine/SettingsStore.h"

#include "BuildHosts.h"

namespace Halcyra {
namespace {

using Platform::TRegistryValue;
using Platform::TRegistryValueType;

std::string Quoted(const char *format, const std::string &name)
{
    std::string text(format);
    text.replace(text.find("%s"), 2, name);
    return text;
}

[[noreturn]] void FailToGet(const std::string &name)
{
    throw ERegistryException(Quoted("Failed to get data for '%s'", name));
}

[[noreturn]] void FailType(const std::string &name)
{
    throw ERegistryException(Quoted("Invalid data type for '%s'", name));
}

[[noreturn]] void FailToSet(const std::string &name)
{
    throw ERegistryException(Quoted("Failed to set data for '%s'", name));
}

std::int32_t IntegerOf(const std::string &name, const std::optional<TRegistryValue> &value)
{
    if (!value)
        FailToGet(name);
    if (value->Type != TRegistryValueType::Integer)
        FailType(name);
    // A REG_DWORD of another size than four bytes cannot be read as one.
    if (value->Data.size() != 4)
        FailToGet(name);
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->Data[i])) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

std::string TextOf(const std::string &name, const std::optional<TRegistryValue> &value)
{
    // An absent or empty value is an empty text whatever its type.
    if (!value || value->Data.empty())
        return {};
    if (value->Type != TRegistryValueType::Text && value->Type != TRegistryValueType::ExpandedText)
        FailType(name);
    const std::string &data = value->Data;
    return data.substr(0, data.find('\0'));
}

} // namespace

std::string DefaultNewsFeedUrl()
{
    return std::string("https://") + BuildHosts::NewsHost + "/rss/headlines/section/topic/WORLD?hl=en-US&gl=US&ceid=US:en";
}

std::string CurrentNewsFeedUrl(const std::string &stored)
{
    const std::string retired = std::string("http://") + BuildHosts::NewsHost + "/news?ned=us&topic=w&output=rss";
    return stored == retired ? DefaultNewsFeedUrl() : stored;
}

TSettings TSettings::Defaults()
{
    TSettings settings;
    settings.Brightness = 256;
    settings.SoundVolume = 200;
    settings.TDegree = "f";
    settings.WeatherCode = "20001";
    settings.RSS_Url = DefaultNewsFeedUrl();
    return settings;
}

TSettingsStore::TSettingsStore(Platform::IRegistry &registry) : FRegistry(registry)
{
}

std::string TSettingsStore::KeyPath() const
{
    return "SOFTWARE\\" + FBrandName + "\\" + FSSName;
}

bool TSettingsStore::ReadRKey(const std::string &name, std::int32_t &value)
{
    auto key = FRegistry.OpenKey(KeyPath());
    if (!key)
        return false;
    value = IntegerOf(name, key->ReadValue(name));
    return true;
}

bool TSettingsStore::WriteValue(const std::string &name, const Platform::TRegistryValue &value)
{
    if (FCollected) {
        FCollected->push_back({name, value});
        return true;
    }
    auto key = FRegistry.CreateKey(KeyPath());
    if (!key)
        return false;
    if (!key->WriteValue(name, value))
        FailToSet(name);
    return true;
}

bool TSettingsStore::WriteRKey(const std::string &name, std::int32_t value)
{
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return WriteValue(name, TRegistryValue{TRegistryValueType::Integer, data});
}

bool TSettingsStore::ReadAKey(const std::string &name, std::string &value)
{
    auto key = FRegistry.OpenKey(KeyPath());
    if (!key)
        return false;
    value = TextOf(name, key->ReadValue(name));
    return true;
}

bool TSettingsStore::WriteAKey(const std::string &name, const std::string &value)
{
    // Stored with its terminating zero; a zero inside the text would end it anyway.
    std::string data = value.substr(0, value.find('\0'));
    data.push_back('\0');
    return WriteValue(name, TRegistryValue{TRegistryValueType::Text, data});
}

bool TSettingsStore::WriteTogether(const std::function<void()> &writes)
{
    FCollected.emplace();
    try {
        writes();
    } catch (...) {
        FCollected.reset();
        throw;
    }
    std::vector<Platform::TRegistryNamedValue> values = std::move(*FCollected);
    FCollected.reset();
    if (values.empty())
        return true;
    auto key = FRegistry.CreateKey(KeyPath());
    if (!key)
        return false;
    const std::size_t stored = key->WriteValues(values);
    if (stored < values.size())
        FailToSet(values[stored].Name);
    return true;
}

bool TSettingsStore::WriteMissingDefaults()
{
    FCollected.emplace();
    WriteAll(TSettings::Defaults());
    const std::vector<Platform::TRegistryNamedValue> defaults = std::move(*FCollected);
    FCollected.reset();
    auto key = FRegistry.CreateKey(KeyPath());
    if (!key)
        return false;
    const std::size_t stored = key->WriteMissingValues(defaults);
    if (stored < defaults.size())
        FailToSet(defaults[stored].Name);
    return true;
}

void TSettingsStore::SetRegistry()
{
    if (!WriteMissingDefaults() || !ReadAll(FLoaded))
        FLoaded = TSettings::Defaults();
    FLoaded.RSS_Url = CurrentNewsFeedUrl(FLoaded.RSS_Url);
}

bool TSettingsStore::ReadAll(TSettings &settings)
{
    std::int32_t brightness = 0;
    if (!ReadRKey("Brightness", brightness))
        return false;
    settings.Brightness = brightness;
    ReadRKey("SoundVolume", settings.SoundVolume);
    ReadAKey("TDegree", settings.TDegree);
    ReadAKey("WeatherCode", settings.WeatherCode);
    ReadAKey("RSS_Url", settings.RSS_Url);
    ReadRKey("ShowTime", settings.ShowTime);
    ReadRKey("ShowWeather", settings.ShowWeather);
    ReadRKey("ShowNews", settings.ShowNews);
    ReadRKey("ShowBlack", settings.ShowBlack);
    ReadRKey("UseProxy", settings.UseProxy);
    ReadAKey("Proxy", settings.Proxy);
    ReadAKey("Port", settings.Port);
    return true;
}

void TSettingsStore::WriteAll(const TSettings &settings)
{
    WriteRKey("Brightness", settings.Brightness);
    WriteRKey("SoundVolume", settings.SoundVolume);
    WriteAKey("TDegree", settings.TDegree);
    WriteAKey("WeatherCode", settings.WeatherCode);
    WriteAKey("RSS_Url", settings.RSS_Url);
    WriteRKey("ShowTime", settings.ShowTime);
    WriteRKey("ShowWeather", settings.ShowWeather);
    WriteRKey("ShowNews", settings.ShowNews);
    WriteRKey("ShowBlack", settings.ShowBlack);
    WriteRKey("UseProxy", settings.UseProxy);
    WriteAKey("Proxy", settings.Proxy);
    WriteAKey("Port", settings.Port);
}

} // namespace Halcyra
