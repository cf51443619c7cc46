// TForm2, the configuration form: the settings of the key shown on four tabs (Configuration,
// Weather, RSS News, Proxy), the weather location chosen from the location table, the news feed
// from the maker's online directory, and every value written back when OK is pressed. Its controls
// are reached through the dialog view, so the same logic runs in a window, hidden in saver mode,
// and in the tests.
#pragma once

#include "config/HorizontalFader.h"
#include "config/LocationTable.h"
#include "config/NewsDirectory.h"
#include "config/SettingsDialogLayout.h"
#include "config/TwoStateButton.h"
#include "config/WindowlessDialogView.h"
#include "engine/SettingsStore.h"
#include "net/HttpClient.h"
#include "platform/Application.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/SettingsDialogView.h"
#include "platform/Socket.h"
#include "platform/TextEncodings.h"
#include "platform/WebBrowser.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Halcyra {

// The names that form the settings key, as the engine uses them.
inline constexpr const char *MakerName = "Tessaly Software";
inline constexpr const char *ProductName = "Halcyra Screensaver";

// The text the directory's lists and the title show while a request runs.
inline constexpr const char *PleaseWait = "Please wait...";
inline constexpr const char *UserDefinedCategory = "User Defined";

// Everything the form uses of the system.
struct TForm2Services {
    Platform::IRegistry &Registry;
    Platform::IApplication &Application;
    Platform::ISocketLayer &Sockets;
    Platform::IWebBrowser &Browser;
    const Platform::IModuleResources &Resources;
    // The maker's web host: the news directory and the page of further screensavers.
    std::string WebHost;
    // Shows an error that a handler or the start-up raised, as the framework's default handler
    // does: a message box with the error's text, owned by the form's window (0: none).
    std::function<void(Platform::TWindowHandle owner, const std::exception &error)> ShowException;
    // Makes the form's window (Platform::CreateSettingsDialogWindow); null when none can be made.
    std::function<std::unique_ptr<Platform::ISettingsDialogView>(const Platform::TDialogDescription &)> CreateWindow;
    // The maker's part of the settings key; tests use names of their own.
    std::string BrandName = MakerName;
    // The code page of the dialog's texts.
    const Platform::ITextEncodings &TextEncodings = Platform::SystemTextEncodings();
};

class TForm2 {
public:
    using TId = Platform::TDialogControlId;

    // Binds the handlers to the view's events and sets the controls' pictures. The start-up step is
    // FormCreate's, which the owner runs.
    TForm2(const TForm2Services &services, Platform::ISettingsDialogView &view, const TForm2Pictures &pictures);
    ~TForm2();

    TForm2(const TForm2 &) = delete;
    TForm2 &operator=(const TForm2 &) = delete;

    // Start-up: loads the settings into the controls, or on a first run (no key) writes the defaults
    // at once and shows them. A read error ends the step where it happens and propagates.
    void FormCreate();

    // Writes every setting, in the form's order and in one write of the key, then closes the form.
    void BTOKClick();
    // Closes the form without writing; closing by the title bar does the same.
    void BTCancelClick();
    // Opens the maker's page of further screensavers in the browser.
    void Label5Click();
    void ComboBox1UnitsChange();

    // Weather tab: the lists of countries and cities and the pending code (see TLocationTable).
    void TabSheet2Show();
    void ComboBox1CountryChange();
    void ComboBox1CityChange();

    // RSS News tab: the feed address, its title, and the directory's categories and feeds; the
    // built-in directory when the online one cannot be reached or lists no category.
    void TabSheet3Show();
    void ComboBox1CategoryChange();
    void ComboBox2TitleNewsChange();
    void UrlNewsChange();

    // The values the form keeps besides its controls.
    const std::string &GetPendingWeatherCode() const { return FWeatherCode; }
    const std::string &GetPendingTDegree() const { return FTDegree; }
    const std::string &GetPendingRSS_Url() const { return FRSS_Url; }
    bool GetDirectoryLoaded() const { return FDirectoryLoaded; }
    // True when the categories shown are the built-in directory's.
    bool GetBuiltInDirectoryShown() const { return !FBuiltInDirectory.empty(); }
    // True while a request of the RSS News tab waits for its answer.
    bool GetRequestRunning() const { return FRequestRunning; }

    // The form's components.
    TQHFADER FD_BRIGHT;
    TQHFADER FD_SOUND;
    TQosbutton BTCancel;
    TQosbutton BTOK;
    Net::THttpClient HttpClient1;
    // The hidden lists beside the visible ones, entry for entry: the cities' codes, the categories'
    // ids and the feeds' addresses.
    std::vector<std::string> ListBox1Code;
    std::vector<std::string> ListBox1IdCategory;
    std::vector<std::string> ListBox1NewsUrl;

private:
    class TRequestScope;

    void BindEvents();
    // Runs a handler; an error it raises is shown and the form stays as the handler left it.
    void Guarded(void (TForm2::*handler)());
    TPaintedControl *PaintedControl(TId id);
    void Close();
    void FillCities(int country);
    void LoadDirectory();
    // Sets or clears the client's proxy as the proxy box stands now.
    void UseProxySetting();
    // One request on HttpClient1; false after a socket error (the client is then reset for the next
    // request) or once the form is closing. Other errors propagate.
    bool Fetch(const std::string &url);
    // How the feed reader takes the answer HttpClient1 holds.
    Net::TAnswerReading LastAnswer() const;
    void ShowFeeds(const std::vector<TDirectoryEntry> &feeds);
    int Flag(TId box) const { return FView.GetChecked(box) ? 1 : 0; }

    TForm2Services FServices;
    Platform::ISettingsDialogView &FView;
    TSettingsStore FStore;
    TLocationTable FLocations;
    std::string FWeatherCode;
    std::string FTDegree;
    std::string FRSS_Url;
    std::string FStoredProxy;
    std::string FStoredPort;
    bool FDirectoryLoaded = false;
    // The built-in directory while its categories are shown, entry for entry after "User Defined".
    std::vector<TBuiltInCategory> FBuiltInDirectory;
    bool FRequestRunning = false;
    bool FClosing = false;
};

// Configuration mode: the form in its window, shown until it closes. An error of the start-up is
// shown and the form opens anyway. Throws when no window can be made.
void RunConfigurationForm(const TForm2Services &services);

// Saver mode keeps the configuration form for the whole run, hidden and without a window.
class THiddenForm2 {
public:
    explicit THiddenForm2(const TForm2Services &services);

    TForm2 &Form() { return FForm; }

private:
    TWindowlessDialogView FView;
    TForm2 FForm;
};

// Creates the hidden form and runs its start-up against the settings the engine has just read or
// written (a first run writes the defaults); an error of the start-up is shown, as in configuration
// mode. Keep the result until the run ends.
std::unique_ptr<THiddenForm2> CreateHiddenForm2(const TForm2Services &services);

} // namespace Halcyra
