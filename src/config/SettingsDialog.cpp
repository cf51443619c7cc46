// The configuration form's handlers, in the order a user meets them: start-up, the buttons, the
// Weather tab, the RSS News tab; then the two ways the form is created.
#include "config/SettingsDialog.h"

#include "net/DocumentEncoding.h"
#include "net/SockErrors.h"
#include "net/TextRoutines.h"

#include <stdexcept>

namespace Halcyra {
namespace {

using TId = Platform::TDialogControlId;

// The time budget of each directory request, in milliseconds.
constexpr int DirectoryTimeOut = 5000;
constexpr const char *ScreensaversPagePath = "/screensavers.htm";

const Imaging::TBitmap32 *PictureOf(const std::optional<Imaging::TBitmap32> &picture)
{
    return picture ? &*picture : nullptr;
}

} // namespace

// While a request of the RSS News tab waits, the user can still pick in the two directory lists
// (the client keeps the window's messages flowing); a second request on the same client cannot
// start, so both lists are disabled until the answer is in.
class TForm2::TRequestScope {
public:
    explicit TRequestScope(TForm2 &form) : FForm(form)
    {
        FForm.FRequestRunning = true;
        FForm.FView.SetEnabled(TId::ComboBox1Category, false);
        FForm.FView.SetEnabled(TId::ComboBox2TitleNews, false);
    }
    ~TRequestScope()
    {
        FForm.FView.SetEnabled(TId::ComboBox1Category, true);
        FForm.FView.SetEnabled(TId::ComboBox2TitleNews, true);
        FForm.FRequestRunning = false;
    }
    TRequestScope(const TRequestScope &) = delete;
    TRequestScope &operator=(const TRequestScope &) = delete;

private:
    TForm2 &FForm;
};

TForm2::TForm2(const TForm2Services &services, Platform::ISettingsDialogView &view, const TForm2Pictures &pictures)
    : HttpClient1(services.Sockets, services.Application), FServices(services), FView(view), FStore(services.Registry),
      FLocations(EmbeddedLocationTable(services.Resources))
{
    const std::pair<TPaintedControl *, TId> painted[] = {
        {&FD_BRIGHT, TId::FD_BRIGHT}, {&FD_SOUND, TId::FD_SOUND}, {&BTCancel, TId::BTCancel}, {&BTOK, TId::BTOK}};
    for (auto [control, id] : painted) {
        control->OnInvalidate = [this, id] { FView.Invalidate(id); };
        control->OnResize = [this, id](int width, int height) { FView.SetControlSize(id, width, height); };
    }
    for (TQHFADER *fader : {&FD_BRIGHT, &FD_SOUND}) {
        fader->SetGround(PictureOf(pictures.FaderGround));
        fader->SetKnob(PictureOf(pictures.FaderKnob));
    }
    BTOK.SetGround_on(PictureOf(pictures.BTOKGroundOn));
    BTOK.SetGround_off(PictureOf(pictures.BTOKGroundOff));
    BTCancel.SetGround_on(PictureOf(pictures.BTCancelGroundOn));
    BTCancel.SetGround_off(PictureOf(pictures.BTCancelGroundOff));
    BTOK.OnClick = [this](TQosbutton &) { Guarded(&TForm2::BTOKClick); };
    BTCancel.OnClick = [this](TQosbutton &) { Guarded(&TForm2::BTCancelClick); };
    BindEvents();
}

TForm2::~TForm2()
{
    FView.SetEvents({});
}

void TForm2::BindEvents()
{
    Platform::TSettingsDialogEvents events;
    events.OnPageShow = [this](TId page) {
        if (page == TId::TabSheet2)
            Guarded(&TForm2::TabSheet2Show);
        else if (page == TId::TabSheet3)
            Guarded(&TForm2::TabSheet3Show);
    };
    events.OnSelect = [this](TId list) {
        switch (list) {
        case TId::ComboBox1Units: Guarded(&TForm2::ComboBox1UnitsChange); break;
        case TId::ComboBox1Country: Guarded(&TForm2::ComboBox1CountryChange); break;
        case TId::ComboBox1City: Guarded(&TForm2::ComboBox1CityChange); break;
        case TId::ComboBox1Category: Guarded(&TForm2::ComboBox1CategoryChange); break;
        case TId::ComboBox2TitleNews: Guarded(&TForm2::ComboBox2TitleNewsChange); break;
        default: break;
        }
    };
    events.OnTextChange = [this](TId edit) {
        if (edit == TId::UrlNews)
            Guarded(&TForm2::UrlNewsChange);
    };
    events.OnLinkClick = [this](TId link) {
        if (link == TId::Label5)
            Guarded(&TForm2::Label5Click);
    };
    events.OnCloseRequest = [this] { Guarded(&TForm2::BTCancelClick); };
    events.OnPaint = [this](TId id) -> const Imaging::TBitmap32 * {
        TPaintedControl *control = PaintedControl(id);
        return control != nullptr ? control->Paint() : nullptr;
    };
    events.OnMouseDown = [this](TId id, Platform::TMouseButton button, int x, int y) {
        if (TPaintedControl *control = PaintedControl(id))
            control->MouseDown(button, x, y);
    };
    events.OnMouseMove = [this](TId id, int x, int y) {
        if (TPaintedControl *control = PaintedControl(id))
            control->MouseMove(x, y);
    };
    events.OnMouseUp = [this](TId id, Platform::TMouseButton button, int x, int y) {
        if (TPaintedControl *control = PaintedControl(id))
            control->MouseUp(button, x, y);
    };
    FView.SetEvents(std::move(events));
}

void TForm2::Guarded(void (TForm2::*handler)())
{
    try {
        (this->*handler)();
    } catch (const std::exception &error) {
        if (FServices.ShowException)
            FServices.ShowException(FView.Handle(), error);
    }
}

TPaintedControl *TForm2::PaintedControl(TId id)
{
    switch (id) {
    case TId::FD_BRIGHT: return &FD_BRIGHT;
    case TId::FD_SOUND: return &FD_SOUND;
    case TId::BTCancel: return &BTCancel;
    case TId::BTOK: return &BTOK;
    default: return nullptr;
    }
}

void TForm2::FormCreate()
{
    FStore.SetBrandName(FServices.BrandName);
    FStore.SetSSName(ProductName);
    std::int32_t brightness = 0;
    // A first run stores the defaults at once, whether or not the user confirms later; a key that
    // lacks some values (a run cut short, a value removed by hand) gets the defaults of those.
    FStore.WriteMissingDefaults();
    if (FStore.ReadRKey("Brightness", brightness)) {
        std::int32_t value = 0;
        FStore.ReadRKey("SoundVolume", value);
        FD_BRIGHT.SetValue(brightness);
        FD_SOUND.SetValue(value);
        FStore.ReadRKey("ShowBlack", value);
        FView.SetChecked(TId::CheckBox1transp, value != 1);
        FStore.ReadRKey("ShowTime", value);
        FView.SetChecked(TId::CheckBox2time, value != 0);
        FStore.ReadRKey("ShowWeather", value);
        FView.SetChecked(TId::CheckBox2weather, value != 0);
        FStore.ReadRKey("ShowNews", value);
        FView.SetChecked(TId::CheckBox2news, value != 0);
        FStore.ReadAKey("WeatherCode", FWeatherCode);
        FStore.ReadAKey("TDegree", FTDegree);
        FStore.ReadAKey("RSS_Url", FRSS_Url);
        FRSS_Url = CurrentNewsFeedUrl(FRSS_Url);
        FStore.ReadRKey("UseProxy", value);
        FView.SetChecked(TId::CheckBox1Proxy, value != 0);
        FStore.ReadAKey("Proxy", FStoredProxy);
        FStore.ReadAKey("Port", FStoredPort);
    } else {
        // No key can be had at all: the form shows the defaults, and OK will try to store them.
        const TSettings defaults = TSettings::Defaults();
        FD_BRIGHT.SetValue(defaults.Brightness);
        FD_SOUND.SetValue(defaults.SoundVolume);
        FWeatherCode = defaults.WeatherCode;
        FTDegree = defaults.TDegree;
        FRSS_Url = defaults.RSS_Url;
        FView.SetChecked(TId::CheckBox2time, false);
        FView.SetChecked(TId::CheckBox2weather, false);
        FView.SetChecked(TId::CheckBox2news, false);
        FView.SetChecked(TId::CheckBox1transp, defaults.ShowBlack != 1);
        FStoredProxy = defaults.Proxy;
        FStoredPort = defaults.Port;
    }
    FView.SetText(TId::Edit1ProxyServer, FStoredProxy);
    FView.SetText(TId::Edit2Port, FStoredPort);
}

void TForm2::BTOKClick()
{
    // Written in the form's order as one write of the key, so that no run ever starts from a key
    // that holds only some of the new values.
    FStore.WriteTogether([&] {
        FStore.WriteRKey("Brightness", FD_BRIGHT.GetValue());
        FStore.WriteRKey("SoundVolume", FD_SOUND.GetValue());
        FStore.WriteRKey("ShowTime", Flag(TId::CheckBox2time));
        FStore.WriteRKey("ShowWeather", Flag(TId::CheckBox2weather));
        FStore.WriteRKey("ShowNews", Flag(TId::CheckBox2news));
        FStore.WriteRKey("ShowBlack", 1 - Flag(TId::CheckBox1transp));
        FStore.WriteAKey("WeatherCode", FWeatherCode);
        FStore.WriteAKey("TDegree", FTDegree);
        FStore.WriteAKey("RSS_Url", FRSS_Url);
        FStore.WriteRKey("UseProxy", Flag(TId::CheckBox1Proxy));
        FStore.WriteAKey("Proxy", FView.GetText(TId::Edit1ProxyServer));
        FStore.WriteAKey("Port", FView.GetText(TId::Edit2Port));
    });
    Close();
}

void TForm2::BTCancelClick()
{
    Close();
}

void TForm2::Close()
{
    // A request still waiting ends at once; its handler returns before the window's loop does.
    FClosing = true;
    if (FRequestRunning)
        HttpClient1.Abort();
    FView.Close();
}

void TForm2::Label5Click()
{
    FServices.Browser.OpenPage("http://" + FServices.WebHost + ScreensaversPagePath);
}

void TForm2::ComboBox1UnitsChange()
{
    FTDegree = FView.GetItemIndex(TId::ComboBox1Units) == 1 ? "c" : "f";
}

void TForm2::TabSheet2Show()
{
    std::vector<std::string> countries;
    countries.reserve(FLocations.CountryCount());
    for (std::size_t index = 0; index < FLocations.CountryCount(); ++index)
        countries.emplace_back(FLocations.CountryName(index));
    FView.ClearItems(TId::ComboBox1Country);
    FView.AddItems(TId::ComboBox1Country, countries);
    const auto country = FLocations.CountryOfCode(FWeatherCode);
    FView.SetItemIndex(TId::ComboBox1Country, country ? static_cast<int>(*country) : -1);
    FillCities(country ? static_cast<int>(*country) : -1);
    const auto position = country ? FLocations.PositionOfCode(*country, FWeatherCode) : std::nullopt;
    FView.SetItemIndex(TId::ComboBox1City, position ? static_cast<int>(*position) : -1);
    FView.SetItemIndex(TId::ComboBox1Units, FTDegree == "c" ? 1 : 0);
}

void TForm2::FillCities(int country)
{
    FView.ClearItems(TId::ComboBox1City);
    ListBox1Code.clear();
    if (country < 0)
        return;
    std::vector<std::string> names;
    for (const TLocationCityEntry &city : FLocations.CitiesOf(static_cast<std::size_t>(country))) {
        names.emplace_back(city.Name);
        ListBox1Code.emplace_back(city.Code);
    }
    FView.AddItems(TId::ComboBox1City, names);
}

void TForm2::ComboBox1CountryChange()
{
    FillCities(FView.GetItemIndex(TId::ComboBox1Country));
    // A country without cities ("Zambia") leaves the pending code as it was.
    if (ListBox1Code.empty())
        return;
    FView.SetItemIndex(TId::ComboBox1City, 0);
    FWeatherCode = ListBox1Code.front();
}

void TForm2::ComboBox1CityChange()
{
    const int index = FView.GetItemIndex(TId::ComboBox1City);
    if (index >= 0 && static_cast<std::size_t>(index) < ListBox1Code.size())
        FWeatherCode = ListBox1Code[static_cast<std::size_t>(index)];
}

void TForm2::TabSheet3Show()
{
    FView.SetText(TId::UrlNews, FRSS_Url);
    // Showing the tab again while its first load waits (the user switched tabs meanwhile) must not
    // start a second load on the same client.
    if (FDirectoryLoaded || FRequestRunning)
        return;
    LoadDirectory();
    FDirectoryLoaded = true;
}

void TForm2::UseProxySetting()
{
    // The proxy is the one read at start-up: the Proxy tab's edits count only once saved. Whether it
    // is used follows the box at each request, so unticking it sends the next one directly.
    if (FView.GetChecked(TId::CheckBox1Proxy)) {
        HttpClient1.SetProxyPort(Net::StrToInt(FStoredPort));
        HttpClient1.SetProxy(FStoredProxy);
    } else {
        HttpClient1.SetProxyPort(0);
        HttpClient1.SetProxy("");
    }
}

bool TForm2::Fetch(const std::string &url)
{
    if (FClosing)
        return false;
    UseProxySetting();
    try {
        HttpClient1.Get(url);
        return true;
    } catch (const Net::ESockError &) {
        HttpClient1.Disconnect();
        HttpClient1.Abort();
        return false;
    }
}

void TForm2::LoadDirectory()
{
    TRequestScope request(*this);
    FView.SetText(TId::StaticText3, PleaseWait);
    FView.ClearItems(TId::ComboBox1Category);
    FView.AddItems(TId::ComboBox1Category, {PleaseWait});
    FView.SetItemIndex(TId::ComboBox1Category, 0);

    HttpClient1.SetTimeOut(DirectoryTimeOut);

    const std::string title = Fetch(FRSS_Url) ? FeedTitle(HttpClient1.GetBody(), LastAnswer()) : std::string(NotAvailable);
    FView.SetText(TId::StaticText3, title);
    ListBox1IdCategory.assign(1, "0");
    // The texts set so far are painted before the next request waits.
    FServices.Application.ProcessMessages();

    std::vector<TDirectoryEntry> categories;
    if (Fetch(DirectoryCategoriesURL(FServices.WebHost)))
        categories = DirectoryEntries(HttpClient1.GetBody(), DirectoryCategoriesRoot, "category", "id", LastAnswer());
    if (FClosing)
        return;
    // The online directory cannot serve: the built-in one does, through the same lists.
    FBuiltInDirectory.clear();
    if (categories.empty()) {
        FBuiltInDirectory = EmbeddedNewsDirectory(FServices.Resources, FServices.TextEncodings);
        for (const TBuiltInCategory &category : FBuiltInDirectory)
            categories.push_back(category.Category);
    }
    FView.ClearItems(TId::ComboBox1Category);
    std::vector<std::string> names{UserDefinedCategory};
    for (TDirectoryEntry &entry : categories) {
        names.push_back(std::move(entry.Name));
        ListBox1IdCategory.push_back(std::move(entry.Value));
    }
    FView.AddItems(TId::ComboBox1Category, names);
    FView.SetItemIndex(TId::ComboBox1Category, 0);
}

Net::TAnswerReading TForm2::LastAnswer() const
{
    Net::TAnswerReading reading;
    reading.Encodings = &FServices.TextEncodings;
    reading.Charset = Net::ContentTypeCharset(HttpClient1.GetHeader());
    reading.Address = HttpClient1.GetURL();
    return reading;
}

void TForm2::ShowFeeds(const std::vector<TDirectoryEntry> &feeds)
{
    std::vector<std::string> titles;
    for (const TDirectoryEntry &feed : feeds) {
        titles.push_back(feed.Name);
        ListBox1NewsUrl.push_back(feed.Value);
    }
    FView.AddItems(TId::ComboBox2TitleNews, titles);
}

void TForm2::ComboBox1CategoryChange()
{
    if (FRequestRunning)
        return;
    FView.ClearItems(TId::ComboBox2TitleNews);
    ListBox1NewsUrl.clear();
    const int index = FView.GetItemIndex(TId::ComboBox1Category);
    const bool known = index >= 0 && static_cast<std::size_t>(index) < ListBox1IdCategory.size();
    // "User Defined", and "Please wait..." after a failed load, have the id "0": nothing to fetch.
    const std::string id = known ? ListBox1IdCategory[static_cast<std::size_t>(index)] : std::string("0");
    if (id != "0") {
        if (!FBuiltInDirectory.empty()) {
            ShowFeeds(FBuiltInDirectory[static_cast<std::size_t>(index) - 1].Feeds);
        } else {
            TRequestScope request(*this);
            FView.AddItems(TId::ComboBox2TitleNews, {PleaseWait});
            FView.SetItemIndex(TId::ComboBox2TitleNews, 0);
            if (Fetch(DirectoryFeedListURL(FServices.WebHost, id))) {
                FView.ClearItems(TId::ComboBox2TitleNews);
                ShowFeeds(DirectoryEntries(HttpClient1.GetBody(), DirectoryFeedListRoot, "title", "url", LastAnswer()));
            }
        }
        // The first title is shown; its address replaces the feed's only when the list has one, so
        // a failed or empty list keeps the address the user had.
        FView.SetItemIndex(TId::ComboBox2TitleNews, 0);
        const std::string first = FView.GetItem(TId::ComboBox2TitleNews, 0);
        if (!first.empty())
            FView.SetText(TId::StaticText3, first);
        if (!ListBox1NewsUrl.empty())
            FView.SetText(TId::UrlNews, ListBox1NewsUrl.front());
    }
    FRSS_Url = FView.GetText(TId::UrlNews);
}

void TForm2::ComboBox2TitleNewsChange()
{
    const int index = FView.GetItemIndex(TId::ComboBox2TitleNews);
    FView.SetText(TId::StaticText3, FView.GetItem(TId::ComboBox2TitleNews, index));
    if (index >= 0 && static_cast<std::size_t>(index) < ListBox1NewsUrl.size())
        FView.SetText(TId::UrlNews, ListBox1NewsUrl[static_cast<std::size_t>(index)]);
    FRSS_Url = FView.GetText(TId::UrlNews);
}

void TForm2::UrlNewsChange()
{
    FRSS_Url = FView.GetText(TId::UrlNews);
}

void RunConfigurationForm(const TForm2Services &services)
{
    const TForm2Pictures pictures = LoadForm2Pictures(services.Resources);
    std::unique_ptr<Platform::ISettingsDialogView> window;
    if (services.CreateWindow)
        window = services.CreateWindow(Form2Description(pictures));
    if (!window)
        throw std::runtime_error("The screensaver window could not be created");
    TForm2 form(services, *window, pictures);
    try {
        form.FormCreate();
    } catch (const std::exception &error) {
        if (services.ShowException)
            services.ShowException(window->Handle(), error);
    }
    window->ShowModal();
}

THiddenForm2::THiddenForm2(const TForm2Services &services)
    : FView(Form2Description(TForm2Pictures{})), FForm(services, FView, TForm2Pictures{})
{
}

std::unique_ptr<THiddenForm2> CreateHiddenForm2(const TForm2Services &services)
{
    auto hidden = std::make_unique<THiddenForm2>(services);
    try {
        hidden->Form().FormCreate();
    } catch (const std::exception &error) {
        if (services.ShowException)
            services.ShowException(0, error);
    }
    return hidden;
}

} // namespace Halcyra
