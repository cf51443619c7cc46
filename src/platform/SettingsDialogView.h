// The settings dialog's window: a fixed layout of standard controls (tab pages, drop-down lists,
// check boxes, edits, texts) and picture-drawn controls, described by the core and shown by the
// platform's toolkit (Win32 common controls, GTK 3). The dialog's logic reaches its controls only
// through this interface, so that it runs, and is tested, without widgets.
#pragma once

#include "imaging/Bitmap32.h"
#include "platform/Application.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Platform {

// The controls of the dialog, by the names of its form. The numbers are the Win32 control ids, so
// that a program driving the window finds a control by its id.
enum class TDialogControlId : int {
    None = 0,
    Label5 = 1001, // the "More screensavers" link
    BTCancel,
    BTOK,
    PageControl1,
    TabSheet1, // "Configuration"
    TabSheet2, // "Weather"
    TabSheet3, // "RSS News"
    TabSheet4, // "Proxy"
    GroupBox1,
    FD_BRIGHT,
    FD_SOUND,
    CheckBox1transp,
    CheckBox2time,
    CheckBox2weather,
    CheckBox2news,
    CheckBox1Proxy,
    ComboBox1Country,
    ComboBox1City,
    ComboBox1Units,
    StaticText3,
    UrlNews,
    ComboBox1Category,
    ComboBox2TitleNews,
    Edit1ProxyServer,
    Edit2Port,
};

enum class TDialogControlKind {
    Label,        // one line of text, as wide as the text
    Link,         // a label that shows the hand cursor and reports clicks
    Note,         // text wrapped to its box's width, as tall as it needs; a run of blanks wide
                  // enough to fill a line starts a new one
    StaticText,   // text wrapped into its box (what does not fit is cut), set by the logic
    GroupBox,     // a frame with a caption; the controls that name it as parent sit inside it
    CheckBox,
    DropDownList, // a list to pick from, without free text
    Edit,         // one line of free text
    Painted,      // a control whose picture and mouse handling belong to the logic
    PageControl,  // tab pages; its pages name it as parent, in order
    Page,
};

enum class TDialogFontStyle { Regular, Bold, Underlined };

struct TDialogFont {
    int Height = 0; // pixels; 0: the dialog's default
    TDialogFontStyle Style = TDialogFontStyle::Regular;
    std::optional<std::uint32_t> Colour; // 0xRRGGBB; none: the dialog's default
};

struct TDialogControl {
    TDialogControlKind Kind = TDialogControlKind::Label;
    TDialogControlId Id = TDialogControlId::None; // None for texts the logic never touches
    TDialogControlId Parent = TDialogControlId::None; // None: the client area
    // In the parent's client pixels. A width or height of 0 lets the text (or the toolkit) choose it.
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::string Text;
    TDialogFont Font;
    // Entries of a drop-down list that never change.
    std::vector<std::string> Items;
};

struct TDialogDescription {
    std::string Caption;
    int ClientWidth = 0;
    int ClientHeight = 0;
    std::string FontFace;
    TDialogFont Font; // the default: height and colour
    std::uint32_t Background = 0xFFFFFF; // 0xRRGGBB of the client area
    // The client area as drawn under every control: the background colour and the pictures.
    std::optional<Imaging::TBitmap32> Backdrop;
    // In creation order; a parent comes before its children.
    std::vector<TDialogControl> Controls;
};

// A note's text as lines: its author filled lines with runs of blanks to start the next item on a
// new line, so such a run is that line's end whatever the face.
inline std::string NoteLines(const std::string &text)
{
    constexpr std::size_t LineFillingRun = 8;
    std::string result;
    std::size_t blanks = 0;
    for (char c : text) {
        if (c == ' ') {
            ++blanks;
            continue;
        }
        result.append(blanks >= LineFillingRun ? std::string("\n") : std::string(blanks, ' '));
        blanks = 0;
        result += c;
    }
    return result;
}

enum class TMouseButton { Left, Right, Middle };

// What the window reports, on the user-interface thread. Every member may be empty.
struct TSettingsDialogEvents {
    // The user brought a page to the front.
    std::function<void(TDialogControlId page)> OnPageShow;
    // The user picked an entry of a drop-down list (never when the logic selects one).
    std::function<void(TDialogControlId list)> OnSelect;
    // An edit's text changed, typed by the user or set by the logic.
    std::function<void(TDialogControlId edit)> OnTextChange;
    std::function<void(TDialogControlId link)> OnLinkClick;
    // The title bar's close button, or another request of the desktop to close the window.
    std::function<void()> OnCloseRequest;
    // A painted control needs its picture: the bitmap to copy to it at (0, 0), or null to leave it.
    std::function<const Imaging::TBitmap32 *(TDialogControlId control)> OnPaint;
    // Mouse over a painted control, in its pixels; after a press, moves and the release arrive even
    // outside it until the release.
    std::function<void(TDialogControlId control, TMouseButton button, int x, int y)> OnMouseDown;
    std::function<void(TDialogControlId control, int x, int y)> OnMouseMove;
    std::function<void(TDialogControlId control, TMouseButton button, int x, int y)> OnMouseUp;
};

class ISettingsDialogView {
public:
    virtual ~ISettingsDialogView() = default;

    // Where the window reports from now on.
    virtual void SetEvents(TSettingsDialogEvents events) = 0;
    // The window, as the owner of message boxes; 0 when there is none.
    virtual TWindowHandle Handle() const = 0;

    // Check boxes.
    virtual bool GetChecked(TDialogControlId box) const = 0;
    virtual void SetChecked(TDialogControlId box, bool checked) = 0;

    // Drop-down lists. Indexes count from 0; -1 means no selection.
    virtual void ClearItems(TDialogControlId list) = 0;
    virtual void AddItems(TDialogControlId list, const std::vector<std::string> &items) = 0;
    // The text of an entry; empty when there is no such entry.
    virtual std::string GetItem(TDialogControlId list, int index) const = 0;
    virtual int GetItemIndex(TDialogControlId list) const = 0;
    // Selects an entry (-1 or an index past the end: none) without reporting OnSelect.
    virtual void SetItemIndex(TDialogControlId list, int index) = 0;

    // Texts of edits and static texts. Setting an edit's text reports OnTextChange.
    virtual std::string GetText(TDialogControlId control) const = 0;
    virtual void SetText(TDialogControlId control, const std::string &text) = 0;

    // A disabled control shows it and takes no input.
    virtual void SetEnabled(TDialogControlId control, bool enabled) = 0;

    // Painted controls: their size, and a request to ask OnPaint for a new picture soon.
    virtual void SetControlSize(TDialogControlId control, int width, int height) = 0;
    virtual void Invalidate(TDialogControlId control) = 0;

    // Shows the window and handles its events until Close; returns at once when there is no window.
    virtual void ShowModal() = 0;
    // Hides the window; ShowModal returns once the handler running now has returned. The view stays
    // usable until it is destroyed.
    virtual void Close() = 0;
};

// The dialog's window on this platform's desktop, not shown yet; null when no window can be made.
// Throws ENoDisplay when there is no display to make it on.
std::unique_ptr<ISettingsDialogView> CreateSettingsDialogWindow(const TDialogDescription &description);

} // namespace Halcyra::Platform
