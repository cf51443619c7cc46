// The configuration dialog's form description against its layout as written for the product: the
// form's caption, size, colours and font, and every control of the four tabs with its place, text,
// font and entries. The texts and numbers are written out here, not taken from the code.
#include "config/SettingsDialogLayout.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace Halcyra {
namespace {

using Platform::TDialogControl;
using Platform::TDialogControlId;
using Platform::TDialogControlKind;
using Platform::TDialogFontStyle;
using Id = TDialogControlId;
using Kind = TDialogControlKind;

// One control as the layout gives it; a width or height of -1 is not given there, and a text
// control is found by its parent and text.
struct TExpected {
    Kind ControlKind;
    Id ControlId;
    Id Parent;
    int Left, Top, Width, Height;
    std::string Text;
    TDialogFontStyle Style = TDialogFontStyle::Regular;
    std::optional<std::uint32_t> Colour = std::nullopt;
};

const TDialogControl *Find(const Platform::TDialogDescription &description, const TExpected &expected)
{
    for (const TDialogControl &control : description.Controls) {
        const bool same = expected.ControlId != Id::None ? control.Id == expected.ControlId
                                                         : control.Parent == expected.Parent && control.Text == expected.Text;
        if (same)
            return &control;
    }
    return nullptr;
}

TEST(SettingsDialogLayout, TheFormHasItsCaptionSizeColoursAndFont)
{
    const Platform::TDialogDescription form = Form2Description({});
    EXPECT_EQ(form.Caption, "Screensaver Configuration");
    EXPECT_EQ(form.ClientWidth, 539);
    EXPECT_EQ(form.ClientHeight, 576);
    EXPECT_EQ(form.Background, 0x6B7085u) << "RGB 107, 112, 133";
    EXPECT_EQ(form.FontFace, "Verdana");
    EXPECT_EQ(form.Font.Height, 13);
    EXPECT_EQ(form.Font.Colour, std::optional<std::uint32_t>(0x595E72u)) << "RGB 89, 94, 114";
    ASSERT_TRUE(form.Backdrop);
    EXPECT_EQ(form.Backdrop->Width(), 539);
    EXPECT_EQ(form.Backdrop->Height(), 576);
}

TEST(SettingsDialogLayout, EveryControlStandsWhereTheLayoutPutsIt)
{
    const Id Form = Id::None, Tab1 = Id::TabSheet1, Tab2 = Id::TabSheet2, Tab3 = Id::TabSheet3, Tab4 = Id::TabSheet4;
    const Id Group = Id::GroupBox1;
    const auto Bold = TDialogFontStyle::Bold;
    const TExpected expected[] = {
        // The form.
        {Kind::Label, Id::None, Form, 16, 100, -1, -1, "Halcyra Screensaver", Bold, 0xC8CAD2},
        {Kind::Link, Id::Label5, Form, 48, 122, -1, -1, "More screensavers", TDialogFontStyle::Underlined},
        {Kind::PageControl, Id::PageControl1, Form, 20, 155, 500, 373, ""},
        {Kind::Painted, Id::BTCancel, Form, 20, 539, 76, 26, ""},
        {Kind::Painted, Id::BTOK, Form, 442, 539, 76, 26, ""},
        // "Configuration".
        {Kind::Label, Id::None, Tab1, 82, 16, -1, -1, "Video Brightness:"},
        {Kind::Painted, Id::FD_BRIGHT, Tab1, 200, 13, 199, 24, ""},
        {Kind::Label, Id::None, Tab1, 98, 66, -1, -1, "Sound Volume:"},
        {Kind::Painted, Id::FD_SOUND, Tab1, 201, 61, 199, 24, ""},
        {Kind::GroupBox, Group, Tab1, 87, 103, 323, 223, " Gadgets "},
        {Kind::CheckBox, Id::CheckBox1transp, Group, 15, 18, -1, -1, "Transparency of background"},
        {Kind::CheckBox, Id::CheckBox2time, Group, 86, 49, -1, -1, "Show Time"},
        {Kind::CheckBox, Id::CheckBox2weather, Group, 86, 76, -1, -1, "Show Weather Information"},
        {Kind::CheckBox, Id::CheckBox2news, Group, 86, 103, -1, -1, "Show News Channel"},
        {Kind::CheckBox, Id::CheckBox1Proxy, Group, 86, 129, -1, -1, "Use HTTP Proxy"},
        {Kind::Note, Id::None, Group, 7, 169, 306, 44,
         "NOTES:  While screensaver is running, you can press:                                 - F2 - for obtaining the detailed information of news                        - F3 - for obtaining the detailed information of weather"},
        // "Weather".
        {Kind::Label, Id::None, Tab2, -1, -1, -1, -1, "Setup weather information:", Bold},
        {Kind::DropDownList, Id::ComboBox1Country, Tab2, 71, 85, 345, -1, ""},
        {Kind::DropDownList, Id::ComboBox1City, Tab2, 71, 140, -1, -1, ""},
        {Kind::DropDownList, Id::ComboBox1Units, Tab2, 71, 196, -1, -1, ""},
        {Kind::Note, Id::None, Tab2, 73, 245, 347, 51,
         "NOTE: For viewing Weather Information  you must have direct Internet  access. If you have firewall in your computer, you must allow access to Internet for this screensaver. Don't be alarmed: this screensaver does not contain any adware or spyware."},
        // "RSS News".
        {Kind::Label, Id::None, Tab3, 158, 30, -1, -1, "Setup RSS news channel:", Bold},
        {Kind::Label, Id::None, Tab3, 71, 57, -1, -1, "Current Title of News:"},
        {Kind::StaticText, Id::StaticText3, Tab3, 71, 72, 345, 30, "Not Available  ", Bold, 0x6B7085},
        {Kind::Label, Id::None, Tab3, 71, 104, -1, -1, "URL News:"},
        {Kind::Edit, Id::UrlNews, Tab3, 71, 123, 345, -1, ""},
        {Kind::Label, Id::None, Tab3, 71, 156, -1, -1, "Category:"},
        {Kind::DropDownList, Id::ComboBox1Category, Tab3, 71, 174, 345, -1, ""},
        {Kind::Label, Id::None, Tab3, 71, 208, -1, -1, "Title News:"},
        {Kind::DropDownList, Id::ComboBox2TitleNews, Tab3, 71, 225, 345, -1, ""},
        {Kind::Note, Id::None, Tab3, 70, 260, 347, 51,
         "NOTE: If you already have the URL of a RSS feed, you can  type it in the \"URL News\" field. Or you can choose  any Title News from Category. Direct Internet access is required."},
        // "Proxy".
        {Kind::Label, Id::None, Tab4, 183, 107, -1, -1, "Setup HTTP Proxy:", Bold},
        {Kind::Label, Id::None, Tab4, -1, -1, -1, -1, "Proxy Server:"},
        {Kind::Edit, Id::Edit1ProxyServer, Tab4, 176, 153, 239, -1, ""},
        {Kind::Label, Id::None, Tab4, -1, -1, -1, -1, "Port:"},
        {Kind::Edit, Id::Edit2Port, Tab4, 176, 195, 46, -1, ""},
    };
    const Platform::TDialogDescription form = Form2Description({});
    for (const TExpected &want : expected) {
        SCOPED_TRACE(want.Text.empty() ? std::to_string(static_cast<int>(want.ControlId)) : want.Text);
        const TDialogControl *control = Find(form, want);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Kind, want.ControlKind);
        EXPECT_EQ(control->Parent, want.Parent);
        EXPECT_EQ(control->Text, want.Text);
        for (auto [got, wanted] : {std::pair{control->Left, want.Left}, {control->Top, want.Top}, {control->Width, want.Width},
                                   {control->Height, want.Height}}) {
            if (wanted >= 0) {
                EXPECT_EQ(got, wanted);
            }
        }
        EXPECT_EQ(control->Font.Style, want.Style);
        if (want.Colour) {
            EXPECT_EQ(control->Font.Colour, want.Colour);
        }
    }
}

TEST(SettingsDialogLayout, TheTabsComeInOrderAndTheirListsAndSmallTextsAreAsGiven)
{
    const Platform::TDialogDescription form = Form2Description({});
    std::vector<std::string> pages;
    for (const TDialogControl &control : form.Controls)
        if (control.Kind == Kind::Page && control.Parent == Id::PageControl1)
            pages.push_back(control.Text);
    EXPECT_EQ(pages, (std::vector<std::string>{"Configuration", "Weather", "RSS News", "Proxy"}));

    const TExpected units{Kind::DropDownList, Id::ComboBox1Units, Id::TabSheet2, 71, 196, -1, -1, ""};
    ASSERT_NE(Find(form, units), nullptr);
    EXPECT_EQ(Find(form, units)->Items, (std::vector<std::string>{"Fahrenheit degrees", "Celsius degrees"}));

    // "Max" at the right end of each slider, small and black; the product's name 16 pixels high
    // and the link 11, against the 13 pixels of the form's Verdana.
    int maxLabels = 0;
    for (const TDialogControl &control : form.Controls) {
        if (control.Text != "Max")
            continue;
        ++maxLabels;
        EXPECT_EQ(control.Parent, Id::TabSheet1);
        EXPECT_EQ(control.Left, 377);
        EXPECT_TRUE(control.Top == 36 || control.Top == 84) << control.Top;
        EXPECT_GT(control.Font.Height, 0);
        EXPECT_LT(control.Font.Height, 13);
        EXPECT_EQ(control.Font.Colour, std::optional<std::uint32_t>(0x000000u));
    }
    EXPECT_EQ(maxLabels, 2);
    EXPECT_EQ(Find(form, {Kind::Label, Id::None, Id::None, 0, 0, 0, 0, "Halcyra Screensaver"})->Font.Height, 16);
    EXPECT_EQ(Find(form, {Kind::Link, Id::Label5, Id::None, 0, 0, 0, 0, ""})->Font.Height, 11);
    // Each list of the Weather tab has its label above it, at the list's left.
    for (auto [list, label] : {std::pair{Id::ComboBox1Country, "Select a Country:"}, {Id::ComboBox1City, "Select a City:"},
                               {Id::ComboBox1Units, "Units:"}}) {
        const TDialogControl *box = Find(form, {Kind::DropDownList, list, Id::TabSheet2, 0, 0, 0, 0, ""});
        const TDialogControl *text = Find(form, {Kind::Label, Id::None, Id::TabSheet2, 0, 0, 0, 0, label});
        ASSERT_TRUE(box != nullptr && text != nullptr) << label;
        EXPECT_EQ(text->Left, box->Left) << label;
        EXPECT_LT(text->Top, box->Top) << label;
        EXPECT_GT(text->Top, box->Top - 30) << label;
    }
}

} // namespace
} // namespace Halcyra
