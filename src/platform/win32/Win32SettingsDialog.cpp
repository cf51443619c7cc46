// Windows backend of the settings dialog's window: a top-level window of the dialog's client size
// whose backdrop and texts are painted by the window itself, a tab control whose pages are child
// windows painting their own texts, common controls for the lists, boxes and edits, and a window
// class for the painted controls.
#include "platform/SettingsDialogView.h"

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <map>
#include <vector>

namespace Halcyra::Platform {
namespace {

constexpr const char *DialogClass = "HalcyraSettingsDialog";
constexpr const char *PageClass = "HalcyraSettingsPage";
constexpr const char *PaintedClass = "HalcyraPaintedControl";
// One line of an edit or a closed drop-down list, and the height a drop-down list opens to.
constexpr int EditHeight = 21;
constexpr int DropDownHeight = 300;
// The box and gap a check box draws before its caption.
constexpr int CheckBoxMark = 20;

struct TWindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using TWindow = std::unique_ptr<std::remove_pointer_t<HWND>, TWindowDestroyer>;
struct TGdiDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using TFont = std::unique_ptr<std::remove_pointer_t<HFONT>, TGdiDeleter>;
using TBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, TGdiDeleter>;

COLORREF NativeColour(std::uint32_t rgb)
{
    return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
}

void DrawBitmap(HDC dc, int x, int y, const Imaging::TBitmap32 &bitmap)
{
    // The bitmap's rows are 32-bit 0x00RRGGBB, top-down and back to back: a top-down BI_RGB DIB.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(bitmap.Width()), static_cast<DWORD>(bitmap.Height()), 0, 0, 0,
                      static_cast<UINT>(bitmap.Height()), bitmap.Row(0), &info, DIB_RGB_COLORS);
}

TMouseButton ButtonOf(UINT message)
{
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return TMouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return TMouseButton::Middle;
    default: return TMouseButton::Left;
    }
}

class TWin32SettingsDialog final : public ISettingsDialogView {
public:
    explicit TWin32SettingsDialog(const TDialogDescription &description) : FDescription(description)
    {
        RegisterClasses();
        FBackground.reset(CreateSolidBrush(NativeColour(description.Background)));
        // The pages look like the tab control's body: the window colour under visual styles, the
        // face colour without them.
        FPageColour = GetSysColor(IsAppThemed() ? COLOR_WINDOW : COLOR_BTNFACE);
        FPageBrush.reset(CreateSolidBrush(FPageColour));

        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
        RECT frame{0, 0, description.ClientWidth, description.ClientHeight};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        FWindow.reset(CreateWindowExA(exStyle, DialogClass, description.Caption.c_str(), style,
                                      work.left + (work.right - work.left - width) / 2,
                                      work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), this));
        if (!FWindow)
            return;
        FPlaces[TDialogControlId::None] = {FWindow.get(), 0, 0};
        for (const TDialogControl &control : description.Controls)
            Add(control);
    }

    bool Created() const { return static_cast<bool>(FWindow); }

    void SetEvents(TSettingsDialogEvents events) override { FEvents = std::move(events); }
    TWindowHandle Handle() const override { return reinterpret_cast<TWindowHandle>(FWindow.get()); }

    bool GetChecked(TDialogControlId box) const override
    {
        return SendMessageA(Control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    void SetChecked(TDialogControlId box, bool checked) override
    {
        SendMessageA(Control(box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    void ClearItems(TDialogControlId list) override { SendMessageA(Control(list), CB_RESETCONTENT, 0, 0); }

    void AddItems(TDialogControlId list, const std::vector<std::string> &items) override
    {
        HWND combo = Control(list);
        if (combo == nullptr)
            return;
        // Thousands of cities: one allocation, and no redrawing for each of them.
        std::size_t bytes = 0;
        for (const auto &item : items)
            bytes += item.size() + 1;
        SendMessageA(combo, CB_INITSTORAGE, items.size(), bytes);
        SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
        for (const auto &item : items)
            SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(combo, nullptr, TRUE);
    }

    std::string GetItem(TDialogControlId list, int index) const override
    {
        HWND combo = Control(list);
        const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (combo == nullptr || index < 0 || length == CB_ERR)
            return {};
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        return text;
    }

    int GetItemIndex(TDialogControlId list) const override
    {
        HWND combo = Control(list);
        return combo != nullptr ? static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)) : -1;
    }

    void SetItemIndex(TDialogControlId list, int index) override
    {
        // CB_SETCURSEL reports nothing to the parent, and -1 or an index past the end clears.
        SendMessageA(Control(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }

    std::string GetText(TDialogControlId control) const override
    {
        if (auto text = FTextOf.find(control); text != FTextOf.end())
            return FTexts[text->second].Text;
        HWND edit = Control(control);
        if (edit == nullptr)
            return {};
        std::string text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
        text.resize(static_cast<std::size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    void SetText(TDialogControlId control, const std::string &text) override
    {
        if (auto found = FTextOf.find(control); found != FTextOf.end()) {
            TText &painted = FTexts[found->second];
            painted.Text = text;
            InvalidateRect(painted.Window, &painted.Box, TRUE);
            return;
        }
        // The edit reports EN_CHANGE, and so OnTextChange, as typing would.
        SetWindowTextA(Control(control), text.c_str());
    }

    void SetEnabled(TDialogControlId control, bool enabled) override { EnableWindow(Control(control), enabled); }

    void SetControlSize(TDialogControlId control, int width, int height) override
    {
        SetWindowPos(Control(control), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Invalidate(TDialogControlId control) override { InvalidateRect(Control(control), nullptr, FALSE); }

    void ShowModal() override
    {
        ShowWindow(FWindow.get(), SW_SHOWNORMAL);
        UpdateWindow(FWindow.get());
        SetForegroundWindow(FWindow.get());
        FShown = true;
        MSG message;
        while (!FClosed) {
            const BOOL result = GetMessageA(&message, nullptr, 0, 0);
            if (result <= 0) {
                // A quit request belongs to the loop outside: hand it on.
                if (result == 0)
                    PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            if (!IsDialogMessageA(FWindow.get(), &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }

    void Close() override
    {
        if (FClosed)
            return;
        FClosed = true;
        ShowWindow(FWindow.get(), SW_HIDE);
        // Wakes GetMessage so that the loop sees the end.
        PostMessageA(FWindow.get(), WM_NULL, 0, 0);
    }

private:
    // A text the window paints itself: labels, the link, notes and static texts.
    struct TText {
        HWND Window = nullptr;
        RECT Box{};
        std::string Text;
        HFONT Font = nullptr;
        COLORREF Colour = 0;
        UINT Format = 0;
        bool Link = false;
        TDialogControlId Id = TDialogControlId::None;
    };

    struct TPlace {
        HWND Window = nullptr;
        int X = 0;
        int Y = 0;
    };

    static void RegisterClasses()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        const std::pair<const char *, WNDPROC> classes[] = {
            {DialogClass, DialogProcedure}, {PageClass, PageProcedure}, {PaintedClass, PaintedProcedure}};
        for (auto [name, procedure] : classes) {
            // Registering a class twice fails harmlessly: a second dialog of the process reuses it.
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = procedure;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
            windowClass.lpszClassName = name;
            RegisterClassA(&windowClass);
        }
    }

    HWND Control(TDialogControlId id) const
    {
        auto found = FControls.find(id);
        return found == FControls.end() ? nullptr : found->second;
    }

    HFONT FontOf(const TDialogFont &font)
    {
        const int height = font.Height > 0 ? font.Height : FDescription.Font.Height;
        const int key = height * 4 + static_cast<int>(font.Style);
        auto found = FFonts.find(key);
        if (found != FFonts.end())
            return found->second.get();
        HFONT made = CreateFontA(-height, 0, 0, 0, font.Style == TDialogFontStyle::Bold ? FW_BOLD : FW_NORMAL, FALSE,
                                 font.Style == TDialogFontStyle::Underlined, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, FDescription.FontFace.c_str());
        FFonts[key].reset(made);
        return made;
    }

    COLORREF ColourOf(const TDialogFont &font) const
    {
        return NativeColour(font.Colour.value_or(FDescription.Font.Colour.value_or(0)));
    }

    // The size a text takes in a font: one line, or wrapped to width.
    SIZE Measure(const std::string &text, HFONT font, UINT format, int width) const
    {
        HDC dc = GetDC(FWindow.get());
        HGDIOBJ previous = SelectObject(dc, font);
        RECT box{0, 0, width > 0 ? width : 10000, 0};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
        SelectObject(dc, previous);
        ReleaseDC(FWindow.get(), dc);
        return {box.right - box.left, box.bottom - box.top};
    }

    HWND Child(const char *className, const std::string &text, DWORD style, DWORD exStyle, const TPlace &place,
               const TDialogControl &control, int width, int height)
    {
        HWND window = CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.X + control.Left,
                                      place.Y + control.Top, width, height, place.Window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Id)), GetModuleHandleA(nullptr),
                                      this);
        SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(control.Font)), FALSE);
        FColours[window] = ColourOf(control.Font);
        return window;
    }

    void AddText(const TDialogControl &control, const TPlace &place)
    {
        TText text;
        text.Window = place.Window;
        text.Text = control.Kind == TDialogControlKind::Note ? NoteLines(control.Text) : control.Text;
        text.Font = FontOf(control.Font);
        text.Colour = ColourOf(control.Font);
        text.Link = control.Kind == TDialogControlKind::Link;
        text.Id = control.Id;
        const bool wrapped = control.Kind == TDialogControlKind::Note || control.Kind == TDialogControlKind::StaticText;
        text.Format = DT_NOPREFIX | DT_LEFT | DT_TOP | (wrapped ? DT_WORDBREAK : DT_SINGLELINE);
        SIZE size = Measure(text.Text, text.Font, text.Format, wrapped ? control.Width : 0);
        if (wrapped)
            size = {control.Width, control.Kind == TDialogControlKind::Note ? std::max<LONG>(size.cy, control.Height) : control.Height};
        text.Box = {place.X + control.Left, place.Y + control.Top, place.X + control.Left + size.cx, place.Y + control.Top + size.cy};
        if (control.Id != TDialogControlId::None)
            FTextOf[control.Id] = FTexts.size();
        FTexts.push_back(std::move(text));
    }

    void Add(const TDialogControl &control)
    {
        if (control.Kind == TDialogControlKind::Page) {
            AddPage(control);
            return;
        }
        auto found = FPlaces.find(control.Parent);
        if (found == FPlaces.end())
            return;
        const TPlace place = found->second;
        HWND window = nullptr;
        switch (control.Kind) {
        case TDialogControlKind::Label:
        case TDialogControlKind::Link:
        case TDialogControlKind::Note:
        case TDialogControlKind::StaticText: AddText(control, place); return;
        case TDialogControlKind::GroupBox:
            window = Child(WC_BUTTONA, control.Text, BS_GROUPBOX | WS_CLIPSIBLINGS, 0, place, control, control.Width, control.Height);
            // Its children sit on the same page, moved by its position.
            FPlaces[control.Id] = {place.Window, place.X + control.Left, place.Y + control.Top};
            break;
        case TDialogControlKind::CheckBox: {
            const SIZE caption = Measure(control.Text, FontOf(control.Font), DT_SINGLELINE | DT_NOPREFIX, 0);
            window = Child(WC_BUTTONA, control.Text, BS_AUTOCHECKBOX | WS_TABSTOP, 0, place, control, caption.cx + CheckBoxMark,
                           std::max<LONG>(caption.cy, 17));
            break;
        }
        case TDialogControlKind::DropDownList:
            window = Child(WC_COMBOBOXA, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, place, control, control.Width, DropDownHeight);
            for (const std::string &item : control.Items)
                SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            break;
        case TDialogControlKind::Edit:
            window = Child(WC_EDITA, "", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, place, control, control.Width, EditHeight);
            break;
        case TDialogControlKind::Painted:
            window = Child(PaintedClass, "", 0, 0, place, control, control.Width, control.Height);
            break;
        case TDialogControlKind::PageControl:
            window = Child(WC_TABCONTROLA, "", WS_CLIPSIBLINGS | WS_TABSTOP, 0, place, control, control.Width, control.Height);
            break;
        case TDialogControlKind::Page: break;
        }
        if (window != nullptr && control.Id != TDialogControlId::None)
            FControls[control.Id] = window;
    }

    // A page is a window over the tab control's display area, shown while its tab is selected.
    void AddPage(const TDialogControl &control)
    {
        HWND tabs = Control(control.Parent);
        if (tabs == nullptr)
            return;
        const int index = static_cast<int>(FPages.size());
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        std::string caption = control.Text;
        item.pszText = caption.data();
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        RECT area{};
        GetClientRect(tabs, &area);
        SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        MapWindowPoints(tabs, FWindow.get(), reinterpret_cast<POINT *>(&area), 2);
        HWND page = CreateWindowExA(WS_EX_CONTROLPARENT, PageClass, "", WS_CHILD | WS_CLIPSIBLINGS | (index == 0 ? WS_VISIBLE : 0),
                                    area.left, area.top, area.right - area.left, area.bottom - area.top, FWindow.get(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Id)), GetModuleHandleA(nullptr), this);
        // Above the tab control, so that the tab control never paints over it.
        SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        FPages.push_back({control.Id, page});
        FControls[control.Id] = page;
        FPlaces[control.Id] = {page, 0, 0};
    }

    void ShowPage(int index)
    {
        for (std::size_t i = 0; i < FPages.size(); ++i)
            ShowWindow(FPages[i].second, static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
        if (index >= 0 && static_cast<std::size_t>(index) < FPages.size() && FShown && FEvents.OnPageShow)
            FEvents.OnPageShow(FPages[static_cast<std::size_t>(index)].first);
    }

    void PaintTexts(HWND window, HDC dc)
    {
        SetBkMode(dc, TRANSPARENT);
        for (const TText &text : FTexts) {
            if (text.Window != window)
                continue;
            HGDIOBJ previous = SelectObject(dc, text.Font);
            SetTextColor(dc, text.Colour);
            RECT box = text.Box;
            DrawTextA(dc, text.Text.c_str(), static_cast<int>(text.Text.size()), &box, text.Format);
            SelectObject(dc, previous);
        }
    }

    const TText *LinkAt(HWND window, LPARAM position) const
    {
        const POINT point{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
        for (const TText &text : FTexts) {
            if (text.Link && text.Window == window && PtInRect(&text.Box, point))
                return &text;
        }
        return nullptr;
    }

    // What the dialog and its pages share: their texts, the link, the controls' notifications and colours.
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool isPage)
    {
        switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (isPage) {
                FillRect(dc, &paint.rcPaint, FPageBrush.get());
            } else if (FDescription.Backdrop) {
                DrawBitmap(dc, 0, 0, *FDescription.Backdrop);
            } else {
                FillRect(dc, &paint.rcPaint, FBackground.get());
            }
            PaintTexts(window, dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                POINT point;
                GetCursorPos(&point);
                ScreenToClient(window, &point);
                if (LinkAt(window, MAKELPARAM(point.x, point.y)) != nullptr) {
                    SetCursor(LoadCursor(nullptr, IDC_HAND));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONUP:
            if (const TText *link = LinkAt(window, lParam); link != nullptr && FEvents.OnLinkClick)
                FEvents.OnLinkClick(link->Id);
            return 0;
        case WM_COMMAND: {
            const auto id = static_cast<TDialogControlId>(LOWORD(wParam));
            if (HIWORD(wParam) == CBN_SELCHANGE && FEvents.OnSelect)
                FEvents.OnSelect(id);
            if (HIWORD(wParam) == EN_CHANGE && FEvents.OnTextChange)
                FEvents.OnTextChange(id);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            auto colour = FColours.find(reinterpret_cast<HWND>(lParam));
            SetTextColor(dc, colour != FColours.end() ? colour->second : 0);
            SetBkColor(dc, isPage ? FPageColour : NativeColour(FDescription.Background));
            return reinterpret_cast<LRESULT>(isPage ? FPageBrush.get() : FBackground.get());
        }
        default: break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static TWin32SettingsDialog *DialogOf(HWND window, UINT message, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto *self = static_cast<TWin32SettingsDialog *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            return self;
        }
        return reinterpret_cast<TWin32SettingsDialog *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }

    static LRESULT CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        TWin32SettingsDialog *self = DialogOf(window, message, lParam);
        if (self == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        switch (message) {
        case WM_CLOSE:
            if (self->FEvents.OnCloseRequest)
                self->FEvents.OnCloseRequest();
            return 0;
        case WM_NOTIFY: {
            const auto *header = reinterpret_cast<const NMHDR *>(lParam);
            if (header->code == TCN_SELCHANGE)
                self->ShowPage(static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
            return 0;
        }
        default: return self->Handle(window, message, wParam, lParam, false);
        }
    }

    static LRESULT CALLBACK PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        TWin32SettingsDialog *self = DialogOf(window, message, lParam);
        return self != nullptr ? self->Handle(window, message, wParam, lParam, true) : DefWindowProcA(window, message, wParam, lParam);
    }

    static LRESULT CALLBACK PaintedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        TWin32SettingsDialog *self = DialogOf(window, message, lParam);
        if (self == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        const auto id = static_cast<TDialogControlId>(GetDlgCtrlID(window));
        const TSettingsDialogEvents &events = self->FEvents;
        const int x = static_cast<short>(LOWORD(lParam));
        const int y = static_cast<short>(HIWORD(lParam));
        switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (const Imaging::TBitmap32 *picture = events.OnPaint ? events.OnPaint(id) : nullptr)
                DrawBitmap(dc, 0, 0, *picture);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            // Captured, so that moves and the release arrive off the control too.
            SetCapture(window);
            if (events.OnMouseDown)
                events.OnMouseDown(id, ButtonOf(message), x, y);
            return 0;
        case WM_MOUSEMOVE:
            if (events.OnMouseMove)
                events.OnMouseMove(id, x, y);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (GetCapture() == window)
                ReleaseCapture();
            if (events.OnMouseUp)
                events.OnMouseUp(id, ButtonOf(message), x, y);
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    TDialogDescription FDescription;
    TSettingsDialogEvents FEvents;
    // Fonts and brushes outlive the windows that use them: they are declared first.
    std::map<int, TFont> FFonts;
    TBrush FBackground;
    TBrush FPageBrush;
    COLORREF FPageColour = 0;
    std::map<TDialogControlId, HWND> FControls;
    std::map<TDialogControlId, TPlace> FPlaces;
    std::map<HWND, COLORREF> FColours;
    std::vector<std::pair<TDialogControlId, HWND>> FPages;
    std::vector<TText> FTexts;
    std::map<TDialogControlId, std::size_t> FTextOf;
    bool FShown = false;
    bool FClosed = false;
    TWindow FWindow;
};

} // namespace

std::unique_ptr<ISettingsDialogView> CreateSettingsDialogWindow(const TDialogDescription &description)
{
    auto dialog = std::make_unique<TWin32SettingsDialog>(description);
    if (!dialog->Created())
        return nullptr;
    return dialog;
}

} // namespace Halcyra::Platform
