// The settings store against the platform's real hive (the registry under Windows, key files on
// Linux), and against a failing hive for the write errors only a broken system produces.
#include "BuildHosts.h"
#include "engine/SettingsStore.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace Halcyra {
namespace {

using Platform::TRegistryValue;
using Platform::TRegistryValueType;

const std::vector<std::string> TwelveNames = {"Brightness", "SoundVolume", "TDegree", "WeatherCode", "RSS_Url", "ShowTime",
                                              "ShowWeather", "ShowNews", "ShowBlack", "UseProxy", "Proxy", "Port"};

// The value names of a key, sorted: the registry enumerates in an order of its own.
std::vector<std::string> SortedNames(Platform::IRegistryKey &key)
{
    auto names = key.ValueNames();
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SortedTwelve()
{
    auto names = TwelveNames;
    std::sort(names.begin(), names.end());
    return names;
}

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const ERegistryException &error) {
        return error.what();
    }
    return "(no error)";
}

class SettingsStore : public testing::Test {
protected:
    SettingsStore() : Store(Hive.Registry())
    {
        Store.SetBrandName(Hive.BrandName());
        Store.SetSSName("Halcyra Screensaver");
        Hive.ForgetKeyOf("Halcyra Screensaver");
    }

    std::unique_ptr<Platform::IRegistryKey> Key() { return Hive.Registry().OpenKey(Store.KeyPath()); }

    Testing::TTestRegistry Hive;
    TSettingsStore Store;
};

TEST_F(SettingsStore, KeyPathJoinsMakerAndProduct)
{
    Store.SetBrandName("Tessaly Software");
    EXPECT_EQ(Store.KeyPath(), "SOFTWARE\\Tessaly Software\\Halcyra Screensaver");
}

TEST_F(SettingsStore, FirstRunCreatesExactlyTheTwelveValuesWithTheirDefaults)
{
    ASSERT_EQ(Key(), nullptr);
    Store.SetRegistry();

    EXPECT_EQ(Store.GetBrightness(), 256);
    EXPECT_EQ(Store.GetSoundVolume(), 200);
    EXPECT_EQ(Store.GetTDegree(), "f");
    EXPECT_EQ(Store.GetWeatherCode(), "20001");
    EXPECT_EQ(Store.GetRSS_Url(), DefaultNewsFeedUrl());
    EXPECT_TRUE(Store.GetRSS_Url().starts_with("https://"));
    EXPECT_TRUE(Store.GetRSS_Url().ends_with("/rss/headlines/section/topic/WORLD?hl=en-US&gl=US&ceid=US:en"));
    EXPECT_EQ(Store.GetShowTime(), 0);
    EXPECT_EQ(Store.GetShowWeather(), 0);
    EXPECT_EQ(Store.GetShowNews(), 0);
    EXPECT_EQ(Store.GetShowBlack(), 0);
    EXPECT_EQ(Store.GetUseProxy(), 0);
    EXPECT_EQ(Store.GetProxy(), "");
    EXPECT_EQ(Store.GetPort(), "");

    auto key = Key();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SortedNames(*key), SortedTwelve());
    auto brightness = key->ReadValue("Brightness");
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->Type, TRegistryValueType::Integer);
    EXPECT_EQ(brightness->Data, std::string("\x00\x01\x00\x00", 4));
    auto degree = key->ReadValue("TDegree");
    ASSERT_TRUE(degree);
    EXPECT_EQ(degree->Type, TRegistryValueType::Text);
    EXPECT_EQ(degree->Data, std::string("f\0", 2)) << "texts are stored with their terminating zero";
    auto proxy = key->ReadValue("Proxy");
    ASSERT_TRUE(proxy);
    EXPECT_EQ(proxy->Data, std::string(1, '\0'));
}

TEST_F(SettingsStore, ALaterRunLoadsWhatIsStored)
{
    TSettings stored = TSettings::Defaults();
    stored.Brightness = 180;
    stored.SoundVolume = 0;
    stored.TDegree = "c";
    stored.WeatherCode = "GMXX0007";
    stored.RSS_Url = "http://feeds.example/rss?a=1&b=\"2\"";
    stored.ShowTime = 1;
    stored.ShowBlack = 0;
    stored.UseProxy = 1;
    stored.Proxy = "proxy.local";
    stored.Port = "3128";
    Store.WriteAll(stored);

    TSettingsStore second(Hive.Registry());
    second.SetBrandName(Hive.BrandName());
    second.SetSSName("Halcyra Screensaver");
    second.SetRegistry();
    EXPECT_EQ(second.Loaded(), stored);
    EXPECT_EQ(SortedNames(*Key()), SortedTwelve()) << "loading writes nothing";
}

TEST_F(SettingsStore, TheRetiredFirstRunNewsAddressIsReadAsTodaysDefault)
{
    TSettings stored = TSettings::Defaults();
    // What earlier versions wrote at their first run, on the build's news host.
    const std::string retired = std::string("http://") + BuildHosts::NewsHost + "/news?ned=us&topic=w&output=rss";
    stored.RSS_Url = retired;
    Store.WriteAll(stored);
    Store.SetRegistry();
    EXPECT_EQ(Store.GetRSS_Url(), DefaultNewsFeedUrl());
    EXPECT_EQ(CurrentNewsFeedUrl(retired + "&hl=de"), retired + "&hl=de") << "an address the user chose stays";
    std::string kept;
    Store.ReadAKey("RSS_Url", kept);
    EXPECT_EQ(kept, retired) << "reading writes nothing";
}

TEST_F(SettingsStore, AnExistingKeyWithoutValuesGetsTheDefaultsAsAFirstRunWould)
{
    ASSERT_NE(Hive.Registry().CreateKey(Store.KeyPath()), nullptr);
    Store.SetRegistry();
    EXPECT_EQ(Store.Loaded(), TSettings::Defaults());
    EXPECT_EQ(SortedNames(*Key()), SortedTwelve());
}

TEST_F(SettingsStore, AKeyCutShortAfterItsFirstValueGetsTheRestAndKeepsWhatItHolds)
{
    // What a first run that wrote its values one by one left when it was killed after the first.
    const TRegistryValue brightness{TRegistryValueType::Integer, std::string("\x80\0\0\0", 4)};
    ASSERT_TRUE(Hive.Registry().CreateKey(Store.KeyPath())->WriteValue("Brightness", brightness));
    Store.SetRegistry();
    TSettings expected = TSettings::Defaults();
    expected.Brightness = 128;
    EXPECT_EQ(Store.Loaded(), expected);
    EXPECT_EQ(SortedNames(*Key()), SortedTwelve());
}

TEST_F(SettingsStore, AValueOfTheWrongTypeFailsWithItsName)
{
    Store.SetRegistry();
    Store.WriteAKey("SoundVolume", "200");
    EXPECT_EQ(ErrorOf([&] { Store.SetRegistry(); }), "Invalid data type for 'SoundVolume'");

    Store.WriteRKey("SoundVolume", 200);
    Store.WriteRKey("TDegree", 1);
    EXPECT_EQ(ErrorOf([&] { Store.SetRegistry(); }), "Invalid data type for 'TDegree'");

    Store.WriteAKey("TDegree", "c");
    ASSERT_TRUE(Key()->WriteValue("ShowNews", TRegistryValue{TRegistryValueType::Binary, "\x01"}));
    EXPECT_EQ(ErrorOf([&] { Store.SetRegistry(); }), "Invalid data type for 'ShowNews'");
}

TEST_F(SettingsStore, AValueRemovedByHandGetsItsDefaultWhileThePrimitiveStillFailsOnIt)
{
    Store.WriteAll(TSettings::Defaults());
    Store.WriteRKey("UseProxy", 1);
    Store.WriteAKey("Proxy", "proxy.example");
    ASSERT_TRUE(Key()->DeleteValue("Proxy"));
    ASSERT_TRUE(Key()->DeleteValue("ShowNews"));
    std::int32_t number = 0;
    EXPECT_EQ(ErrorOf([&] { Store.ReadRKey("ShowNews", number); }), "Failed to get data for 'ShowNews'");
    std::string text = "kept";
    EXPECT_TRUE(Store.ReadAKey("Proxy", text));
    EXPECT_EQ(text, "") << "an absent text reads as empty";

    Store.SetRegistry();
    EXPECT_EQ(Store.GetProxy(), "");
    EXPECT_EQ(Store.GetShowNews(), 0);
    EXPECT_EQ(Store.GetUseProxy(), 1) << "the values it holds stay";
    EXPECT_EQ(SortedNames(*Key()), SortedTwelve());
}

TEST_F(SettingsStore, TextsAreCutAtTheFirstZeroAndExpandableTextsRead)
{
    Store.SetRegistry();
    ASSERT_TRUE(Key()->WriteValue("Proxy", TRegistryValue{TRegistryValueType::Text, std::string("host\0junk\0", 10)}));
    ASSERT_TRUE(Key()->WriteValue("Port", TRegistryValue{TRegistryValueType::ExpandedText, std::string("8080\0", 5)}));
    Store.SetRegistry();
    EXPECT_EQ(Store.GetProxy(), "host");
    EXPECT_EQ(Store.GetPort(), "8080");
}

TEST_F(SettingsStore, PrimitivesOnAMissingKeyReportFalseAndLeaveTheValue)
{
    std::int32_t number = 17;
    std::string text = "kept";
    EXPECT_FALSE(Store.ReadRKey("Brightness", number));
    EXPECT_FALSE(Store.ReadAKey("Proxy", text));
    EXPECT_EQ(number, 17);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(Key(), nullptr) << "reading never creates the key";
}

TEST_F(SettingsStore, AnotherProductNameUsesAnotherKey)
{
    Store.SetRegistry();
    Store.WriteRKey("ShowTime", 1);

    Store.SetSSName("Halcyra Screensaver Two");
    Hive.ForgetKeyOf("Halcyra Screensaver Two");
    ASSERT_EQ(Key(), nullptr);
    Store.SetRegistry();
    EXPECT_EQ(Store.GetShowTime(), 0) << "the defaults are created in the new key";
    EXPECT_EQ(SortedNames(*Key()), SortedTwelve());

    Store.SetSSName("Halcyra Screensaver");
    Store.SetRegistry();
    EXPECT_EQ(Store.GetShowTime(), 1);
}

TEST_F(SettingsStore, NegativeAndLargeIntegersSurviveTheRoundTrip)
{
    Store.SetRegistry();
    Store.WriteRKey("Brightness", -1);
    Store.WriteRKey("SoundVolume", 2147483647);
    Store.SetRegistry();
    EXPECT_EQ(Store.GetBrightness(), -1);
    EXPECT_EQ(Store.GetSoundVolume(), 2147483647);
}

// A hive whose keys can be opened but refuse every write, or that cannot create keys at all; it
// records the names it was asked to write.
class TFailingRegistry final : public Platform::IRegistry {
public:
    class TKey final : public Platform::IRegistryKey {
    public:
        explicit TKey(TFailingRegistry &registry) : FRegistry(registry) {}
        std::optional<TRegistryValue> ReadValue(const std::string &) override { return std::nullopt; }
        bool WriteValue(const std::string &name, const TRegistryValue &) override
        {
            FRegistry.Written.push_back(name);
            return FRegistry.CanWrite;
        }
        bool DeleteValue(const std::string &) override { return false; }
        std::vector<std::string> ValueNames() override { return {}; }

    private:
        TFailingRegistry &FRegistry;
    };
    std::unique_ptr<Platform::IRegistryKey> OpenKey(const std::string &) override { return nullptr; }
    std::unique_ptr<Platform::IRegistryKey> CreateKey(const std::string &) override
    {
        return CanCreate ? std::make_unique<TKey>(*this) : nullptr;
    }
    bool DeleteKey(const std::string &) override { return false; }
    bool CanCreate = true;
    bool CanWrite = false;
    std::vector<std::string> Written;
};

TEST(SettingsStoreFailures, AFirstRunWritesTheTwelveValuesInItsOrder)
{
    TFailingRegistry registry;
    registry.CanWrite = true;
    TSettingsStore store(registry);
    store.SetRegistry();
    EXPECT_EQ(registry.Written, TwelveNames);
}

TEST(SettingsStoreFailures, AWriteThatFailsNamesTheValue)
{
    TFailingRegistry registry;
    TSettingsStore store(registry);
    store.SetBrandName("Tessaly Software");
    store.SetSSName("Halcyra Screensaver");
    EXPECT_EQ(ErrorOf([&] { store.WriteAKey("Proxy", "x"); }), "Failed to set data for 'Proxy'");
    EXPECT_EQ(ErrorOf([&] { store.SetRegistry(); }), "Failed to set data for 'Brightness'");
}

TEST(SettingsStoreFailures, AKeyThatCannotBeCreatedLeavesTheDefaultsInMemory)
{
    TFailingRegistry registry;
    registry.CanCreate = false;
    TSettingsStore store(registry);
    EXPECT_FALSE(store.WriteRKey("Brightness", 1));
    store.SetRegistry();
    EXPECT_EQ(store.Loaded(), TSettings::Defaults());
}

TEST(SettingsStoreFailures, WritesMadeTogetherKeepTheirOrderAndAFailureNamesItsValue)
{
    TFailingRegistry registry;
    registry.CanWrite = true;
    TSettingsStore store(registry);
    auto writeThree = [&] {
        store.WriteRKey("ShowTime", 1);
        store.WriteAKey("Proxy", "p");
        store.WriteRKey("ShowNews", 0);
    };
    EXPECT_TRUE(store.WriteTogether(writeThree));
    EXPECT_EQ(registry.Written, (std::vector<std::string>{"ShowTime", "Proxy", "ShowNews"}));

    registry.CanWrite = false;
    EXPECT_EQ(ErrorOf([&] { store.WriteTogether(writeThree); }), "Failed to set data for 'ShowTime'");
    registry.CanCreate = false;
    EXPECT_FALSE(store.WriteTogether(writeThree));
    // Outside WriteTogether each write goes straight to the key again.
    registry.CanCreate = true;
    registry.CanWrite = true;
    registry.Written.clear();
    store.WriteRKey("UseProxy", 1);
    EXPECT_EQ(registry.Written, (std::vector<std::string>{"UseProxy"}));
}

} // namespace
} // namespace Halcyra
