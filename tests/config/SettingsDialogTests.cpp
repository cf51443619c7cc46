// Tests of the configuration form's logic on the real settings hive: start-up on a first and a
// later run, OK and Cancel, the Weather tab's lists over the real location table, and the two ways
// the form is created.
#include "BuildHosts.h"
#include "config/Form2Fixture.h"

#include "platform/Resources.h"

namespace Halcyra::Testing {
namespace {

TSettings Custom()
{
    TSettings settings;
    settings.Brightness = 40;
    settings.SoundVolume = 90;
    settings.TDegree = "c";
    settings.WeatherCode = "ZIXX0007";
    settings.RSS_Url = "http://feeds.example/world.xml";
    settings.ShowTime = 1;
    settings.ShowWeather = 0;
    settings.ShowNews = 1;
    settings.ShowBlack = 1;
    settings.UseProxy = 1;
    settings.Proxy = "proxy.example";
    settings.Port = "3128";
    return settings;
}

TEST_F(Form2Test, AFirstRunStoresTheDefaultsBeforeAnyButtonAndShowsThem)
{
    ASSERT_EQ(Hive.Registry().OpenKey(Store.KeyPath()), nullptr);
    TForm2 &form = Open(LoadForm2Pictures(Platform::ModuleResources()));
    EXPECT_EQ(Stored(), TSettings::Defaults());
    EXPECT_EQ(form.FD_BRIGHT.GetValue(), 256);
    EXPECT_EQ(form.FD_SOUND.GetValue(), 200);
    EXPECT_TRUE(View->GetChecked(TId::CheckBox1transp));
    for (TId box : {TId::CheckBox2time, TId::CheckBox2weather, TId::CheckBox2news, TId::CheckBox1Proxy})
        EXPECT_FALSE(View->GetChecked(box));
    EXPECT_EQ(form.GetPendingWeatherCode(), "20001");
    EXPECT_EQ(form.GetPendingRSS_Url(), DefaultNewsFeedUrl());

    // The dialog's own pictures: the volume knob's left edge at x = 165 × 200 / 256 = 128, the
    // brightness knob at the right end (x = 165).
    const TForm2Pictures pictures = LoadForm2Pictures(Platform::ModuleResources());
    ASSERT_TRUE(pictures.FaderKnob);
    const Imaging::TBitmap32 &knob = *pictures.FaderKnob;
    for (auto [fader, x] : {std::pair{&form.FD_SOUND, 128}, {&form.FD_BRIGHT, 165}}) {
        const Imaging::TBitmap32 *painted = View->Events().OnPaint(fader == &form.FD_SOUND ? TId::FD_SOUND : TId::FD_BRIGHT);
        ASSERT_NE(painted, nullptr);
        EXPECT_EQ(painted->GetPixel(x + 17, 3 + 8), knob.GetPixel(17, 8));
    }
    EXPECT_EQ(View->ControlSize(TId::FD_SOUND), (std::pair{199, 24}));
}

TEST_F(Form2Test, TheRetiredFirstRunNewsAddressOpensAsTodaysDefault)
{
    TSettings stored = TSettings::Defaults();
    stored.RSS_Url = std::string("http://") + BuildHosts::NewsHost + "/news?ned=us&topic=w&output=rss";
    Store.WriteAll(stored);
    TForm2 &form = Open();
    EXPECT_EQ(form.GetPendingRSS_Url(), DefaultNewsFeedUrl());
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().RSS_Url, DefaultNewsFeedUrl());
}

TEST_F(Form2Test, CancelAfterChangesWritesNothing)
{
    Open();
    const std::optional<TSettings> before = Stored();
    ASSERT_TRUE(before);
    View->SetChecked(TId::CheckBox2news, true);
    Type(TId::Edit1ProxyServer, "elsewhere");
    ShowPage(TId::TabSheet2);
    PickEntry(TId::ComboBox1Country, "Austria");
    Form->FD_BRIGHT.SetValue(3);
    Click(TId::BTCancel);
    EXPECT_TRUE(View->Closed());
    EXPECT_EQ(Stored(), before);

    // Closing by the title bar is a Cancel too.
    Open();
    Type(TId::Edit2Port, "1");
    View->Events().OnCloseRequest();
    EXPECT_TRUE(View->Closed());
    EXPECT_EQ(Stored(), before);
}

TEST_F(Form2Test, OkWithoutVisitingTheTabsWritesTheStoredValuesBack)
{
    Store.WriteAll(Custom());
    TForm2 &form = Open();
    EXPECT_EQ(View->GetText(TId::Edit1ProxyServer), "proxy.example");
    EXPECT_EQ(View->GetText(TId::Edit2Port), "3128");
    EXPECT_TRUE(View->GetChecked(TId::CheckBox1Proxy));
    EXPECT_FALSE(View->GetChecked(TId::CheckBox1transp));
    EXPECT_EQ(form.FD_BRIGHT.GetValue(), 40);
    Click(TId::BTOK);
    EXPECT_TRUE(View->Closed());
    EXPECT_EQ(Stored(), Custom());
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Form2Test, OkWritesWhatTheControlsShow)
{
    Store.WriteAll(Custom());
    TForm2 &form = Open();
    form.FD_BRIGHT.SetValue(0);
    form.FD_SOUND.SetValue(256);
    View->SetChecked(TId::CheckBox2time, false);
    View->SetChecked(TId::CheckBox2weather, true);
    View->SetChecked(TId::CheckBox1transp, true);
    View->SetChecked(TId::CheckBox1Proxy, false);
    // A port typed as letters is stored as typed: nothing is validated.
    Type(TId::Edit1ProxyServer, "other.proxy");
    Type(TId::Edit2Port, "abc");
    Click(TId::BTOK);
    TSettings expected = Custom();
    expected.Brightness = 0;
    expected.SoundVolume = 256;
    expected.ShowTime = 0;
    expected.ShowWeather = 1;
    expected.ShowBlack = 0;
    expected.UseProxy = 0;
    expected.Proxy = "other.proxy";
    expected.Port = "abc";
    EXPECT_EQ(Stored(), expected);
}

TEST_F(Form2Test, ShowBlackTicksTransparencyForEveryValueButOneAndIsWrittenAsItsInverse)
{
    const std::tuple<int, bool, int> cases[] = {{0, true, 0}, {1, false, 1}, {2, true, 0}, {-1, true, 0}};
    for (auto [stored, ticked, written] : cases) {
        TSettings settings = Custom();
        settings.ShowBlack = stored;
        settings.ShowTime = stored;
        Store.WriteAll(settings);
        Open();
        EXPECT_EQ(View->GetChecked(TId::CheckBox1transp), ticked) << stored;
        EXPECT_EQ(View->GetChecked(TId::CheckBox2time), stored != 0) << "any non-zero value ticks a gadget";
        Click(TId::BTOK);
        EXPECT_EQ(Stored().value().ShowBlack, written) << stored;
        EXPECT_EQ(Stored().value().ShowTime, stored != 0 ? 1 : 0);
    }
}

TEST_F(Form2Test, TheUnitsShowFahrenheitUnlessTheUnitIsExactlyLowerCaseC)
{
    const std::tuple<const char *, int, const char *> cases[] = {{"c", 1, "c"}, {"f", 0, "f"}, {"C", 0, "C"}, {"", 0, ""}};
    for (auto [stored, entry, written] : cases) {
        TSettings settings = Custom();
        settings.TDegree = stored;
        Store.WriteAll(settings);
        Open();
        ShowPage(TId::TabSheet2);
        EXPECT_EQ(View->GetItemIndex(TId::ComboBox1Units), entry) << stored;
        Click(TId::BTOK);
        EXPECT_EQ(Stored().value().TDegree, written) << "showing the tab keeps the stored unit";
    }
    Open();
    ShowPage(TId::TabSheet2);
    Pick(TId::ComboBox1Units, 1);
    EXPECT_EQ(Form->GetPendingTDegree(), "c");
    Pick(TId::ComboBox1Units, 0);
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().TDegree, "f");
}

TEST_F(Form2Test, TheWeatherTabSelectsTheStoredLocation)
{
    struct TCase {
        const char *Code;
        const char *Country; // "" for none
        const char *City;
    };
    const TCase cases[] = {{"20001", "USA", "Washington, DC"},
                           {"60191", "USA", "Wood Dale, IL"},
                           {"AUXX0034", "Austria", "Aigen Im Ennstal"},
                           {"ZIXX0007", "Zimbabwe", "Victoria Falls"},
                           {"nowhere", "", ""},
                           {"20001 ", "", ""}};
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.Code);
        TSettings settings = Custom();
        settings.WeatherCode = test.Code;
        Store.WriteAll(settings);
        Open();
        ShowPage(TId::TabSheet2);
        EXPECT_EQ(View->Items(TId::ComboBox1Country).size(), 221u);
        EXPECT_EQ(Selected(TId::ComboBox1Country), test.Country);
        EXPECT_EQ(Selected(TId::ComboBox1City), test.City);
        EXPECT_EQ(Form->ListBox1Code.size(), View->Items(TId::ComboBox1City).size());
        // An unknown code is not an error: it is written back unchanged.
        Click(TId::BTOK);
        EXPECT_EQ(Stored().value().WeatherCode, test.Code);
    }
}

TEST_F(Form2Test, PickingACountryChoosesItsFirstCity)
{
    Open();
    ShowPage(TId::TabSheet2);
    PickEntry(TId::ComboBox1Country, "Austria");
    EXPECT_EQ(View->Items(TId::ComboBox1City).size(), 63u);
    EXPECT_EQ(Selected(TId::ComboBox1City), "Aigen Im Ennstal");
    EXPECT_EQ(Form->GetPendingWeatherCode(), "AUXX0034");

    // A country without cities leaves the list empty and the code as it was.
    PickEntry(TId::ComboBox1Country, "Zambia");
    EXPECT_TRUE(View->Items(TId::ComboBox1City).empty());
    EXPECT_EQ(View->GetItemIndex(TId::ComboBox1City), -1);
    EXPECT_EQ(Form->GetPendingWeatherCode(), "AUXX0034");

    PickEntry(TId::ComboBox1Country, "USA");
    PickEntry(TId::ComboBox1City, "Bensenville, IL");
    EXPECT_EQ(Form->GetPendingWeatherCode(), "60191");
    Click(TId::BTOK);
    EXPECT_EQ(Stored().value().WeatherCode, "60191");
}

TEST_F(Form2Test, ShowingTheWeatherTabAgainGivesTheSameLists)
{
    Open();
    ShowPage(TId::TabSheet2);
    const auto countries = View->Items(TId::ComboBox1Country);
    const auto cities = View->Items(TId::ComboBox1City);
    const auto codes = Form->ListBox1Code;
    ShowPage(TId::TabSheet2);
    EXPECT_EQ(View->Items(TId::ComboBox1Country), countries);
    EXPECT_EQ(View->Items(TId::ComboBox1City), cities);
    EXPECT_EQ(Form->ListBox1Code, codes);
    EXPECT_EQ(Selected(TId::ComboBox1City), "Washington, DC");
    EXPECT_EQ(cities.size(), 2414u);
}

TEST_F(Form2Test, TheLinkOpensTheMakersPageOfFurtherScreensavers)
{
    Open();
    View->Events().OnLinkClick(TId::Label5);
    EXPECT_EQ(Browser.Pages, (std::vector<std::string>{"http://127.0.0.1:1/screensavers.htm"}));
    EXPECT_FALSE(View->Closed());
}

TEST_F(Form2Test, AReadErrorAtStartUpIsShownAndTheFormStillOpens)
{
    // A Brightness that is no number, as a person might leave it.
    auto key = Hive.Registry().CreateKey(Store.KeyPath());
    key->WriteValue("Proxy", {Platform::TRegistryValueType::Text, std::string("p\0", 2)});
    key->WriteValue("Brightness", {Platform::TRegistryValueType::Text, std::string("high\0", 5)});
    // The window as it is shown: what its proxy edit holds then.
    struct TRecordingView final : TWindowlessDialogView {
        using TWindowlessDialogView::TWindowlessDialogView;
        void ShowModal() override { ShownProxies->push_back(GetText(TId::Edit1ProxyServer)); }
        std::vector<std::string> *ShownProxies = nullptr;
    };
    std::vector<std::string> shownProxies;
    Services.CreateWindow = [&](const Platform::TDialogDescription &description) {
        auto view = std::make_unique<TRecordingView>(description);
        view->ShownProxies = &shownProxies;
        return view;
    };
    RunConfigurationForm(Services);
    EXPECT_EQ(Errors, (std::vector<std::string>{"Invalid data type for 'Brightness'"}));
    // Shown once, with the proxy edit still empty: the start-up ended at the failing read.
    EXPECT_EQ(shownProxies, (std::vector<std::string>{""}));

    Services.CreateWindow = [](const Platform::TDialogDescription &) { return nullptr; };
    EXPECT_THROW(RunConfigurationForm(Services), std::runtime_error);
}

TEST_F(Form2Test, AKeyThatLacksValuesGetsTheDefaultsOfThoseAndKeepsTheRest)
{
    // A first run cut short after its first write, and a proxy a person added since.
    auto key = Hive.Registry().CreateKey(Store.KeyPath());
    key->WriteValue("Brightness", {Platform::TRegistryValueType::Integer, std::string("\x64\0\0\0", 4)});
    key->WriteValue("Proxy", {Platform::TRegistryValueType::Text, std::string("p\0", 2)});
    Open();
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    TSettings expected = TSettings::Defaults();
    expected.Brightness = 100;
    expected.Proxy = "p";
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(Form->FD_BRIGHT.GetValue(), 100);
    EXPECT_EQ(Form->FD_SOUND.GetValue(), 200);
    EXPECT_EQ(View->GetText(TId::Edit1ProxyServer), "p");
}

TEST_F(Form2Test, TheHiddenFormOfSaverModeWritesTheDefaultsOnAFirstRun)
{
    auto hidden = CreateHiddenForm2(Services);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(Stored(), TSettings::Defaults());
    EXPECT_EQ(hidden->Form().FD_SOUND.GetValue(), 200);
    EXPECT_TRUE(Errors.empty());

    Store.WriteAll(Custom());
    auto later = CreateHiddenForm2(Services);
    EXPECT_EQ(later->Form().GetPendingWeatherCode(), "ZIXX0007");
    EXPECT_EQ(Stored(), Custom()) << "a later run writes nothing";
}

} // namespace
} // namespace Halcyra::Testing
