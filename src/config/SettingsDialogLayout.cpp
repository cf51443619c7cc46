// The configuration form's layout, as its form description gives it: positions are left, top,
// width and height in the parent's client pixels.
#include "config/SettingsDialogLayout.h"

#include "imaging/Picture.h"

namespace Halcyra {
namespace {

using Platform::TDialogControl;
using Platform::TDialogControlId;
using Platform::TDialogControlKind;
using Platform::TDialogFont;
using Platform::TDialogFontStyle;

constexpr std::uint32_t FontColour = 0x595E72;
constexpr TDialogFont Bold{0, TDialogFontStyle::Bold, std::nullopt};
constexpr TDialogFont SmallBlack{9, TDialogFontStyle::Regular, 0x000000};

constexpr const char *ConfigurationNote = "NOTES:  While screensaver is running, you can press:                                 - F2 - for obtaining the detailed information of news                        - F3 - for obtaining the detailed information of weather";
constexpr const char *WeatherNote = "NOTE: For viewing Weather Information  you must have direct Internet  access. If you have firewall in your computer, you must allow access to Internet for this screensaver. Don't be alarmed: this screensaver does not contain any adware or spyware.";
constexpr const char *NewsNote = "NOTE: If you already have the URL of a RSS feed, you can  type it in the \"URL News\" field. Or you can choose  any Title News from Category. Direct Internet access is required.";

// The height of one line of the default font above a control: labels sit this far above the
// list or edit they name, where the layout gives no place of their own.
constexpr int LabelAbove = 18;

std::optional<Imaging::TBitmap32> LoadPicture(const Platform::IModuleResources &resources, std::string_view name)
{
    auto stored = resources.Find(Platform::ResourceTypeData, name);
    if (!stored)
        return std::nullopt;
    auto load = Imaging::TPicture::FromStored(*stored);
    if (!load.Picture || load.Picture->Bitmap() == nullptr)
        return std::nullopt;
    return *load.Picture->Bitmap();
}

TDialogControl Control(TDialogControlKind kind, TDialogControlId id, TDialogControlId parent, int left, int top,
                       int width = 0, int height = 0, std::string text = {}, TDialogFont font = {})
{
    TDialogControl control;
    control.Kind = kind;
    control.Id = id;
    control.Parent = parent;
    control.Left = left;
    control.Top = top;
    control.Width = width;
    control.Height = height;
    control.Text = std::move(text);
    control.Font = font;
    return control;
}

TDialogControl Label(TDialogControlId parent, int left, int top, std::string text, TDialogFont font = {})
{
    return Control(TDialogControlKind::Label, TDialogControlId::None, parent, left, top, 0, 0, std::move(text), font);
}

// The notes are long; in the default 13-pixel face they would not fit their boxes.
constexpr TDialogFont NoteFont{11, TDialogFontStyle::Regular, std::nullopt};

TDialogControl Note(TDialogControlId parent, int left, int top, int width, int height, std::string text)
{
    return Control(TDialogControlKind::Note, TDialogControlId::None, parent, left, top, width, height, std::move(text),
                   NoteFont);
}

void AddConfigurationPage(std::vector<TDialogControl> &controls)
{
    constexpr auto Page = TDialogControlId::TabSheet1;
    constexpr auto Group = TDialogControlId::GroupBox1;
    controls.push_back(Label(Page, 82, 16, "Video Brightness:"));
    controls.push_back(Control(TDialogControlKind::Painted, TDialogControlId::FD_BRIGHT, Page, 200, 13, 199, 24));
    controls.push_back(Label(Page, 377, 36, "Max", SmallBlack));
    controls.push_back(Label(Page, 98, 66, "Sound Volume:"));
    controls.push_back(Control(TDialogControlKind::Painted, TDialogControlId::FD_SOUND, Page, 201, 61, 199, 24));
    controls.push_back(Label(Page, 377, 84, "Max", SmallBlack));
    controls.push_back(Control(TDialogControlKind::GroupBox, Group, Page, 87, 103, 323, 223, " Gadgets "));
    const std::pair<TDialogControlId, std::pair<int, int>> boxes[] = {
        {TDialogControlId::CheckBox1transp, {15, 18}}, {TDialogControlId::CheckBox2time, {86, 49}},
        {TDialogControlId::CheckBox2weather, {86, 76}}, {TDialogControlId::CheckBox2news, {86, 103}},
        {TDialogControlId::CheckBox1Proxy, {86, 129}}};
    const char *captions[] = {"Transparency of background", "Show Time", "Show Weather Information", "Show News Channel",
                              "Use HTTP Proxy"};
    for (std::size_t i = 0; i < std::size(boxes); ++i) {
        const auto &[id, at] = boxes[i];
        controls.push_back(Control(TDialogControlKind::CheckBox, id, Group, at.first, at.second, 0, 0, captions[i]));
    }
    controls.push_back(Note(Group, 7, 169, 306, 44, ConfigurationNote));
}

void AddList(std::vector<TDialogControl> &controls, TDialogControlId page, TDialogControlId id, int top, const char *label,
             int labelTop = -1)
{
    controls.push_back(Label(page, 71, labelTop >= 0 ? labelTop : top - LabelAbove, label));
    controls.push_back(Control(TDialogControlKind::DropDownList, id, page, 71, top, 345));
}

void AddWeatherPage(std::vector<TDialogControl> &controls)
{
    constexpr auto Page = TDialogControlId::TabSheet2;
    controls.push_back(Label(Page, 150, 30, "Setup weather information:", Bold));
    AddList(controls, Page, TDialogControlId::ComboBox1Country, 85, "Select a Country:");
    AddList(controls, Page, TDialogControlId::ComboBox1City, 140, "Select a City:");
    AddList(controls, Page, TDialogControlId::ComboBox1Units, 196, "Units:");
    controls.back().Items = {"Fahrenheit degrees", "Celsius degrees"};
    controls.push_back(Note(Page, 73, 245, 347, 51, WeatherNote));
}

void AddNewsPage(std::vector<TDialogControl> &controls)
{
    constexpr auto Page = TDialogControlId::TabSheet3;
    controls.push_back(Label(Page, 158, 30, "Setup RSS news channel:", Bold));
    controls.push_back(Label(Page, 71, 57, "Current Title of News:"));
    controls.push_back(Control(TDialogControlKind::StaticText, TDialogControlId::StaticText3, Page, 71, 72, 345, 30,
                               Form2Text::NotAvailableTitle, {0, TDialogFontStyle::Bold, Form2Background}));
    controls.push_back(Label(Page, 71, 104, "URL News:"));
    controls.push_back(Control(TDialogControlKind::Edit, TDialogControlId::UrlNews, Page, 71, 123, 345));
    AddList(controls, Page, TDialogControlId::ComboBox1Category, 174, "Category:");
    AddList(controls, Page, TDialogControlId::ComboBox2TitleNews, 225, "Title News:", 208);
    controls.push_back(Note(Page, 70, 260, 347, 51, NewsNote));
}

void AddProxyPage(std::vector<TDialogControl> &controls)
{
    constexpr auto Page = TDialogControlId::TabSheet4;
    controls.push_back(Label(Page, 183, 107, "Setup HTTP Proxy:", Bold));
    // The captions stand left of their edits, on the line of the edit's text.
    controls.push_back(Label(Page, 80, 156, "Proxy Server:"));
    controls.push_back(Control(TDialogControlKind::Edit, TDialogControlId::Edit1ProxyServer, Page, 176, 153, 239));
    controls.push_back(Label(Page, 132, 198, "Port:"));
    controls.push_back(Control(TDialogControlKind::Edit, TDialogControlId::Edit2Port, Page, 176, 195, 46));
}

Imaging::TBitmap32 ComposeBackdrop(const TForm2Pictures &pictures)
{
    auto backdrop = Imaging::TBitmap32::Create(Form2ClientWidth, Form2ClientHeight);
    backdrop->Fill(Form2Background);
    // The banner is one pixel wider than the client area and starts one pixel outside it.
    if (pictures.Image1)
        backdrop->Draw(-1, -1, *pictures.Image1);
    if (pictures.Image2)
        backdrop->DrawTransparent(336, 12, *pictures.Image2);
    return *backdrop;
}

} // namespace

TForm2Pictures LoadForm2Pictures(const Platform::IModuleResources &resources)
{
    TForm2Pictures pictures;
    pictures.Image1 = LoadPicture(resources, "Image1");
    pictures.Image2 = LoadPicture(resources, "Image2");
    pictures.FaderGround = LoadPicture(resources, "FaderGround");
    pictures.FaderKnob = LoadPicture(resources, "FaderKnob");
    pictures.BTOKGroundOn = LoadPicture(resources, "BTOKGroundOn");
    pictures.BTOKGroundOff = LoadPicture(resources, "BTOKGroundOff");
    pictures.BTCancelGroundOn = LoadPicture(resources, "BTCancelGroundOn");
    pictures.BTCancelGroundOff = LoadPicture(resources, "BTCancelGroundOff");
    return pictures;
}

Platform::TDialogDescription Form2Description(const TForm2Pictures &pictures)
{
    Platform::TDialogDescription description;
    description.Caption = Form2Text::Caption;
    description.ClientWidth = Form2ClientWidth;
    description.ClientHeight = Form2ClientHeight;
    description.FontFace = "Verdana";
    description.Font = {13, TDialogFontStyle::Regular, FontColour};
    description.Background = Form2Background;
    description.Backdrop = ComposeBackdrop(pictures);

    auto &controls = description.Controls;
    constexpr auto Form = TDialogControlId::None;
    controls.push_back(Label(Form, 16, 100, "Halcyra Screensaver", {16, TDialogFontStyle::Bold, 0xC8CAD2}));
    controls.push_back(Control(TDialogControlKind::Link, TDialogControlId::Label5, Form, 48, 122, 0, 0, "More screensavers",
                               {11, TDialogFontStyle::Underlined, std::nullopt}));
    controls.push_back(Control(TDialogControlKind::PageControl, TDialogControlId::PageControl1, Form, 20, 155, 500, 373));
    const std::pair<TDialogControlId, const char *> pages[] = {{TDialogControlId::TabSheet1, "Configuration"},
                                                               {TDialogControlId::TabSheet2, "Weather"},
                                                               {TDialogControlId::TabSheet3, "RSS News"},
                                                               {TDialogControlId::TabSheet4, "Proxy"}};
    for (const auto &[id, caption] : pages)
        controls.push_back(Control(TDialogControlKind::Page, id, TDialogControlId::PageControl1, 0, 0, 0, 0, caption));
    AddConfigurationPage(controls);
    AddWeatherPage(controls);
    AddNewsPage(controls);
    AddProxyPage(controls);
    controls.push_back(Control(TDialogControlKind::Painted, TDialogControlId::BTCancel, Form, 20, 539, 76, 26));
    controls.push_back(Control(TDialogControlKind::Painted, TDialogControlId::BTOK, Form, 442, 539, 76, 26));
    return description;
}

} // namespace Halcyra
