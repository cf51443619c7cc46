// Linux backend of the settings dialog's window: GTK 3 widgets at the description's pixel positions
// in GtkFixed containers, the client area's backdrop painted under them, and drawing areas for the
// painted controls.
#include "net/Windows1252.h"
#include "platform/SettingsDialogView.h"
#include "platform/linux/LinuxDesktop.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
// Xlib's macro would replace the control id of that name.
#undef None

#include <algorithm>
#include <cmath>
#include <map>

namespace Halcyra::Platform {
namespace {

struct TWidgetDestroyer {
    void operator()(GtkWidget *widget) const { gtk_widget_destroy(widget); }
};
struct TSurfaceDestroyer {
    void operator()(cairo_surface_t *surface) const { cairo_surface_destroy(surface); }
};
struct TObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using TSurface = std::unique_ptr<cairo_surface_t, TSurfaceDestroyer>;

// The system's texts are 8-bit. A text that is valid UTF-8 is shown as it is; any other is read as
// Windows-1252, the program's code page, so that no byte a server sends can make GTK refuse or cut
// the text and a feed's typographic quotes show as quotes.
std::string ToUtf8(const std::string &text)
{
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return text;
    std::string result;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char encoded[6];
        const gint length = g_unichar_to_utf8(byte == 0 ? U' ' : Net::Windows1252ToUnicode(byte), encoded);
        result.append(encoded, static_cast<std::size_t>(length));
    }
    return result;
}

// The edited UTF-8 text of a field that was shown as Windows-1252, in Windows-1252 again; as typed
// when it holds a character the code page has not.
std::string FromUtf8AsWindows1252(const std::string &text)
{
    std::string result;
    for (const char *at = text.c_str(); *at != '\0'; at = g_utf8_next_char(at)) {
        const gunichar character = g_utf8_get_char(at);
        // A C1 control stands for the free byte of its number, as it was read.
        std::optional<unsigned char> byte = Net::UnicodeToWindows1252(character);
        if (character >= 0x80 && character <= 0x9F && Net::Windows1252ToUnicode(static_cast<unsigned char>(character)) == character)
            byte = static_cast<unsigned char>(character);
        if (!byte)
            return text;
        result += static_cast<char>(*byte);
    }
    return result;
}

TSurface SurfaceOf(const Imaging::TBitmap32 &bitmap)
{
    // CAIRO_FORMAT_RGB24 keeps a pixel as a native 32-bit 0x00RRGGBB, as the bitmap does.
    TSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, bitmap.Width(), bitmap.Height()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_surface_flush(surface.get());
    unsigned char *data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto *row = reinterpret_cast<std::uint32_t *>(data + static_cast<std::ptrdiff_t>(y) * stride);
        std::copy(bitmap.Row(y), bitmap.Row(y) + bitmap.Width(), row);
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

TMouseButton ButtonOf(guint button)
{
    switch (button) {
    case 2: return TMouseButton::Middle;
    case 3: return TMouseButton::Right;
    default: return TMouseButton::Left;
    }
}

// The part of a drop-down list's width its button and padding take.
constexpr int ListButtonWidth = 40;

class TGtkSettingsDialog final : public ISettingsDialogView {
public:
    explicit TGtkSettingsDialog(const TDialogDescription &description) : FDescription(description)
    {
        FWindow.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL));
        GtkWindow *window = GTK_WINDOW(FWindow.get());
        gtk_window_set_title(window, description.Caption.c_str());
        gtk_window_set_resizable(window, FALSE);
        gtk_window_set_position(window, GTK_WIN_POS_CENTER);
        gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
        gtk_widget_set_name(FWindow.get(), "halcyra-settings");
        ApplyStyleSheet();
        g_signal_connect(FWindow.get(), "delete-event", G_CALLBACK(+[](GtkWidget *, GdkEvent *, gpointer self) -> gboolean {
                             auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                             if (dialog->FEvents.OnCloseRequest)
                                 dialog->FEvents.OnCloseRequest();
                             return TRUE;
                         }),
                         this);

        GtkWidget *client = gtk_fixed_new();
        gtk_widget_set_size_request(client, description.ClientWidth, description.ClientHeight);
        gtk_container_add(GTK_CONTAINER(FWindow.get()), client);
        if (description.Backdrop)
            FBackdrop = SurfaceOf(*description.Backdrop);
        g_signal_connect(client, "draw", G_CALLBACK(+[](GtkWidget *, cairo_t *cr, gpointer self) -> gboolean {
                             auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                             if (dialog->FBackdrop) {
                                 cairo_set_source_surface(cr, dialog->FBackdrop.get(), 0, 0);
                                 cairo_paint(cr);
                             }
                             return FALSE;
                         }),
                         this);
        FPlaces[TDialogControlId::None] = {client, 0, 0};
        for (const TDialogControl &control : description.Controls)
            Add(control);
    }

    void SetEvents(TSettingsDialogEvents events) override { FEvents = std::move(events); }

    TWindowHandle Handle() const override
    {
        GdkWindow *window = gtk_widget_get_window(FWindow.get());
        return window != nullptr ? static_cast<TWindowHandle>(gdk_x11_window_get_xid(window)) : 0;
    }

    bool GetChecked(TDialogControlId box) const override
    {
        GtkWidget *widget = Widget(box);
        return widget != nullptr && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
    }

    void SetChecked(TDialogControlId box, bool checked) override
    {
        if (GtkWidget *widget = Widget(box))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked);
    }

    void ClearItems(TDialogControlId list) override
    {
        if (GtkWidget *widget = Widget(list)) {
            ++FSelecting;
            gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
            --FSelecting;
        }
    }

    void AddItems(TDialogControlId list, const std::vector<std::string> &items) override
    {
        GtkWidget *widget = Widget(list);
        if (widget == nullptr)
            return;
        // Thousands of cities go in while the list is detached from its model: a list that rebuilt
        // its menu for every row would take seconds.
        GtkComboBox *combo = GTK_COMBO_BOX(widget);
        ++FSelecting;
        const int active = gtk_combo_box_get_active(combo);
        std::unique_ptr<GtkTreeModel, TObjectUnref> model(GTK_TREE_MODEL(g_object_ref(gtk_combo_box_get_model(combo))));
        gtk_combo_box_set_model(combo, nullptr);
        for (const std::string &item : items)
            gtk_list_store_insert_with_values(GTK_LIST_STORE(model.get()), nullptr, -1, 0, ToUtf8(item).c_str(), -1);
        gtk_combo_box_set_model(combo, model.get());
        gtk_combo_box_set_active(combo, active);
        --FSelecting;
    }

    std::string GetItem(TDialogControlId list, int index) const override
    {
        GtkWidget *widget = Widget(list);
        if (widget == nullptr || index < 0)
            return {};
        GtkTreeModel *model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
        GtkTreeIter iter;
        if (!gtk_tree_model_iter_nth_child(model, &iter, nullptr, index))
            return {};
        gchar *text = nullptr;
        gtk_tree_model_get(model, &iter, 0, &text, -1);
        std::string result = text != nullptr ? text : "";
        g_free(text);
        return result;
    }

    int GetItemIndex(TDialogControlId list) const override
    {
        GtkWidget *widget = Widget(list);
        return widget != nullptr ? gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) : -1;
    }

    void SetItemIndex(TDialogControlId list, int index) override
    {
        GtkWidget *widget = Widget(list);
        if (widget == nullptr)
            return;
        const int count = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(widget)), nullptr);
        ++FSelecting;
        gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index >= 0 && index < count ? index : -1);
        --FSelecting;
    }

    std::string GetText(TDialogControlId control) const override
    {
        GtkWidget *widget = Widget(control);
        if (widget != nullptr && GTK_IS_ENTRY(widget)) {
            const std::string text = gtk_entry_get_text(GTK_ENTRY(widget));
            // A field the user left as it was shown gives back the very bytes it was given; one that
            // was shown as Windows-1252 stays Windows-1252 when edited.
            const auto given = FGivenTexts.find(control);
            if (given == FGivenTexts.end())
                return text;
            if (text == given->second.Shown)
                return given->second.Bytes;
            return given->second.Bytes != given->second.Shown ? FromUtf8AsWindows1252(text) : text;
        }
        if (widget != nullptr && GTK_IS_LABEL(widget))
            return gtk_label_get_text(GTK_LABEL(widget));
        return {};
    }

    void SetText(TDialogControlId control, const std::string &text) override
    {
        GtkWidget *widget = Widget(control);
        if (widget != nullptr && GTK_IS_ENTRY(widget)) {
            const std::string shown = ToUtf8(text);
            FGivenTexts[control] = TGivenText{text, shown};
            gtk_entry_set_text(GTK_ENTRY(widget), shown.c_str());
        } else if (widget != nullptr && GTK_IS_LABEL(widget))
            gtk_label_set_text(GTK_LABEL(widget), ToUtf8(text).c_str());
    }

    void SetEnabled(TDialogControlId control, bool enabled) override
    {
        if (GtkWidget *widget = Widget(control))
            gtk_widget_set_sensitive(widget, enabled);
    }

    void SetControlSize(TDialogControlId control, int width, int height) override
    {
        if (GtkWidget *widget = Widget(control))
            gtk_widget_set_size_request(widget, width, height);
    }

    void Invalidate(TDialogControlId control) override
    {
        if (GtkWidget *widget = Widget(control))
            gtk_widget_queue_draw(widget);
    }

    void ShowModal() override
    {
        gtk_widget_show_all(FWindow.get());
        FShown = true;
        if (FClosed)
            return;
        FLoopRunning = true;
        gtk_main();
        FLoopRunning = false;
    }

    void Close() override
    {
        if (FClosed)
            return;
        FClosed = true;
        gtk_widget_hide(FWindow.get());
        if (FLoopRunning)
            gtk_main_quit();
    }

    ~TGtkSettingsDialog() override
    {
        gtk_style_context_remove_provider_for_screen(gtk_widget_get_screen(FWindow.get()), GTK_STYLE_PROVIDER(FStyle.get()));
        FWindow.reset();
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
    }

private:
    // Where a control's children go: the container and the offset of their parent inside it.
    struct TPlace {
        GtkWidget *Container = nullptr;
        int X = 0;
        int Y = 0;
    };

    GtkWidget *Widget(TDialogControlId id) const
    {
        auto found = FWidgets.find(id);
        return found == FWidgets.end() ? nullptr : found->second;
    }

    void ApplyStyleSheet()
    {
        const TDialogDescription &d = FDescription;
        const std::uint32_t background = d.Background;
        const std::uint32_t colour = d.Font.Colour.value_or(0);
        auto rgb = [](std::uint32_t c) {
            return "rgb(" + std::to_string(c >> 16 & 0xFF) + "," + std::to_string(c >> 8 & 0xFF) + "," + std::to_string(c & 0xFF) + ")";
        };
        const std::string css = "#halcyra-settings { background-color: " + rgb(background) + "; }\n"
                                "#halcyra-settings * { font-family: \"" + d.FontFace + "\"; font-size: " +
                                std::to_string(d.Font.Height) + "px; }\n"
                                "#halcyra-settings entry, #halcyra-settings combobox * { color: " + rgb(colour) + "; }\n"
                                // A list of thousands of cities pops up as a scrolled list,
                                // not as a menu of thousands of items.
                                "#halcyra-settings combobox { -GtkComboBox-appears-as-list: 1; }\n";
        FStyle.reset(gtk_css_provider_new());
        gtk_css_provider_load_from_data(FStyle.get(), css.c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(FWindow.get()), GTK_STYLE_PROVIDER(FStyle.get()),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }

    // Font height, style and colour of a text, as Pango attributes of its label.
    void ApplyFont(GtkWidget *label, const TDialogFont &font)
    {
        const int height = font.Height > 0 ? font.Height : FDescription.Font.Height;
        const std::uint32_t colour = font.Colour.value_or(FDescription.Font.Colour.value_or(0));
        PangoAttrList *attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_family_new(FDescription.FontFace.c_str()));
        pango_attr_list_insert(attributes, pango_attr_size_new_absolute(height * PANGO_SCALE));
        if (font.Style == TDialogFontStyle::Bold)
            pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        if (font.Style == TDialogFontStyle::Underlined)
            pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
        pango_attr_list_insert(attributes, pango_attr_foreground_new(static_cast<guint16>((colour >> 16 & 0xFF) * 257),
                                                                     static_cast<guint16>((colour >> 8 & 0xFF) * 257),
                                                                     static_cast<guint16>((colour & 0xFF) * 257)));
        gtk_label_set_attributes(GTK_LABEL(label), attributes);
        pango_attr_list_unref(attributes);
    }

    GtkWidget *TextLabel(const TDialogControl &control, bool wrapped)
    {
        std::string text = ToUtf8(control.Text);
        if (control.Kind == TDialogControlKind::Note)
            text = NoteLines(text);
        GtkWidget *label = gtk_label_new(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
        ApplyFont(label, control.Font);
        if (wrapped) {
            gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
            gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
        }
        return label;
    }

    // A text wrapped into a box: the box gives the text its width and, unless the text may grow
    // downwards, cuts what does not fit, so that no text can widen the window.
    static GtkWidget *Boxed(GtkWidget *text, int width, int height, bool growing)
    {
        if (growing) {
            PangoLayout *layout = gtk_widget_create_pango_layout(text, gtk_label_get_text(GTK_LABEL(text)));
            pango_layout_set_attributes(layout, gtk_label_get_attributes(GTK_LABEL(text)));
            pango_layout_set_width(layout, width * PANGO_SCALE);
            pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
            int textHeight = 0;
            pango_layout_get_pixel_size(layout, nullptr, &textHeight);
            g_object_unref(layout);
            height = std::max(height, textHeight);
        }
        GtkWidget *box = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(box), GTK_POLICY_EXTERNAL, GTK_POLICY_EXTERNAL);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(box), GTK_SHADOW_NONE);
        gtk_widget_set_size_request(box, width, height);
        gtk_container_add(GTK_CONTAINER(box), text);
        // The viewport GTK puts between box and text would paint its own background.
        if (GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(box)); viewport != nullptr && GTK_IS_VIEWPORT(viewport))
            gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
        return box;
    }

    void Add(const TDialogControl &control)
    {
        if (control.Kind == TDialogControlKind::Page) {
            AddPage(control);
            return;
        }
        auto place = FPlaces.find(control.Parent);
        if (place == FPlaces.end())
            return;
        GtkWidget *widget = nullptr;
        GtkWidget *placed = nullptr;
        switch (control.Kind) {
        case TDialogControlKind::Label: widget = TextLabel(control, false); break;
        case TDialogControlKind::Note:
        case TDialogControlKind::StaticText:
            widget = TextLabel(control, true);
            placed = Boxed(widget, control.Width, control.Height, control.Kind == TDialogControlKind::Note);
            break;
        case TDialogControlKind::Link: {
            widget = TextLabel(control, false);
            placed = gtk_event_box_new();
            gtk_event_box_set_visible_window(GTK_EVENT_BOX(placed), FALSE);
            gtk_container_add(GTK_CONTAINER(placed), widget);
            g_signal_connect(placed, "realize", G_CALLBACK(+[](GtkWidget *box, gpointer) {
                                 GdkCursor *hand = gdk_cursor_new_from_name(gtk_widget_get_display(box), "pointer");
                                 gdk_window_set_cursor(gtk_widget_get_window(box), hand);
                                 if (hand != nullptr)
                                     g_object_unref(hand);
                             }),
                             nullptr);
            ConnectId(placed, "button-release-event", control.Id,
                      G_CALLBACK(+[](GtkWidget *box, GdkEventButton *, gpointer self) -> gboolean {
                          auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                          if (dialog->FEvents.OnLinkClick)
                              dialog->FEvents.OnLinkClick(IdOf(box));
                          return TRUE;
                      }));
            break;
        }
        case TDialogControlKind::GroupBox:
            widget = gtk_frame_new(ToUtf8(control.Text).c_str());
            gtk_widget_set_size_request(widget, control.Width, control.Height);
            break;
        case TDialogControlKind::CheckBox:
            widget = gtk_check_button_new_with_label(ToUtf8(control.Text).c_str());
            ApplyFont(gtk_bin_get_child(GTK_BIN(widget)), control.Font);
            break;
        case TDialogControlKind::DropDownList:
            widget = gtk_combo_box_text_new();
            gtk_widget_set_size_request(widget, control.Width, -1);
            FixRowSize(widget, control.Width);
            for (const std::string &item : control.Items)
                gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), ToUtf8(item).c_str());
            ConnectId(widget, "changed", control.Id, G_CALLBACK(+[](GtkWidget *list, gpointer self) {
                          auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                          if (dialog->FSelecting == 0 && dialog->FEvents.OnSelect)
                              dialog->FEvents.OnSelect(IdOf(list));
                      }));
            break;
        case TDialogControlKind::Edit:
            widget = gtk_entry_new();
            gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
            gtk_widget_set_size_request(widget, control.Width, -1);
            ConnectId(widget, "changed", control.Id, G_CALLBACK(+[](GtkWidget *edit, gpointer self) {
                          auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                          if (dialog->FEvents.OnTextChange)
                              dialog->FEvents.OnTextChange(IdOf(edit));
                      }));
            break;
        case TDialogControlKind::Painted: widget = PaintedArea(control); break;
        case TDialogControlKind::PageControl:
            widget = gtk_notebook_new();
            gtk_widget_set_size_request(widget, control.Width, control.Height);
            ConnectId(widget, "switch-page", control.Id,
                      G_CALLBACK(+[](GtkNotebook *, GtkWidget *page, guint, gpointer self) {
                          auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                          // Pages come to the front while the window is built; only the user's
                          // choice counts.
                          if (dialog->FShown && dialog->FEvents.OnPageShow)
                              dialog->FEvents.OnPageShow(IdOf(page));
                      }),
                      true);
            break;
        case TDialogControlKind::Page: break;
        }
        if (widget == nullptr)
            return;
        if (placed == nullptr)
            placed = widget;
        gtk_fixed_put(GTK_FIXED(place->second.Container), placed, place->second.X + control.Left, place->second.Y + control.Top);
        if (control.Id != TDialogControlId::None)
            FWidgets[control.Id] = widget;
        // A group box's children share its container, moved by its position.
        if (control.Kind == TDialogControlKind::GroupBox)
            FPlaces[control.Id] = {place->second.Container, place->second.X + control.Left, place->second.Y + control.Top};
    }

    void AddPage(const TDialogControl &control)
    {
        GtkWidget *notebook = Widget(control.Parent);
        if (notebook == nullptr)
            return;
        GtkWidget *page = gtk_fixed_new();
        g_object_set_data(G_OBJECT(page), "halcyra-id", GINT_TO_POINTER(static_cast<int>(control.Id)));
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook), page, gtk_label_new(ToUtf8(control.Text).c_str()));
        FWidgets[control.Id] = page;
        FPlaces[control.Id] = {page, 0, 0};
    }

    GtkWidget *PaintedArea(const TDialogControl &control)
    {
        GtkWidget *area = gtk_drawing_area_new();
        gtk_widget_set_size_request(area, control.Width, control.Height);
        gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
        ConnectId(area, "draw", control.Id, G_CALLBACK(+[](GtkWidget *widget, cairo_t *cr, gpointer self) -> gboolean {
                      auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                      const Imaging::TBitmap32 *picture = dialog->FEvents.OnPaint ? dialog->FEvents.OnPaint(IdOf(widget)) : nullptr;
                      if (picture != nullptr) {
                          if (TSurface surface = SurfaceOf(*picture)) {
                              cairo_set_source_surface(cr, surface.get(), 0, 0);
                              cairo_paint(cr);
                          }
                      }
                      return TRUE;
                  }));
        ConnectId(area, "button-press-event", control.Id,
                  G_CALLBACK(+[](GtkWidget *widget, GdkEventButton *event, gpointer self) -> gboolean {
                      auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                      // A double click arrives as a second press and an extra event: only the presses count.
                      if (event->type == GDK_BUTTON_PRESS && dialog->FEvents.OnMouseDown)
                          dialog->FEvents.OnMouseDown(IdOf(widget), ButtonOf(event->button), static_cast<int>(std::floor(event->x)),
                                                      static_cast<int>(std::floor(event->y)));
                      return TRUE;
                  }));
        ConnectId(area, "motion-notify-event", control.Id,
                  G_CALLBACK(+[](GtkWidget *widget, GdkEventMotion *event, gpointer self) -> gboolean {
                      auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                      if (dialog->FEvents.OnMouseMove)
                          dialog->FEvents.OnMouseMove(IdOf(widget), static_cast<int>(std::floor(event->x)),
                                                      static_cast<int>(std::floor(event->y)));
                      return TRUE;
                  }));
        ConnectId(area, "button-release-event", control.Id,
                  G_CALLBACK(+[](GtkWidget *widget, GdkEventButton *event, gpointer self) -> gboolean {
                      auto *dialog = static_cast<TGtkSettingsDialog *>(self);
                      if (dialog->FEvents.OnMouseUp)
                          dialog->FEvents.OnMouseUp(IdOf(widget), ButtonOf(event->button), static_cast<int>(std::floor(event->x)),
                                                    static_cast<int>(std::floor(event->y)));
                      return TRUE;
                  }));
        return area;
    }

    // A list measures every row to find its width; with thousands of cities that takes seconds
    // at each change. Rows of one fixed size are measured at once.
    void FixRowSize(GtkWidget *list, int width)
    {
        PangoLayout *layout = gtk_widget_create_pango_layout(list, "Xg");
        PangoAttrList *attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_size_new_absolute(FDescription.Font.Height * PANGO_SCALE));
        pango_attr_list_insert(attributes, pango_attr_family_new(FDescription.FontFace.c_str()));
        pango_layout_set_attributes(layout, attributes);
        pango_attr_list_unref(attributes);
        int lineHeight = 0;
        pango_layout_get_pixel_size(layout, nullptr, &lineHeight);
        g_object_unref(layout);
        GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list));
        for (GList *cell = cells; cell != nullptr; cell = cell->next)
            gtk_cell_renderer_set_fixed_size(GTK_CELL_RENDERER(cell->data), width - ListButtonWidth, lineHeight);
        g_list_free(cells);
    }

    // Connects a signal whose handler finds the control by the id stored on its widget.
    void ConnectId(GtkWidget *widget, const char *signal, TDialogControlId id, GCallback handler, bool after = false)
    {
        g_object_set_data(G_OBJECT(widget), "halcyra-id", GINT_TO_POINTER(static_cast<int>(id)));
        g_signal_connect_data(widget, signal, handler, this, nullptr, after ? G_CONNECT_AFTER : GConnectFlags(0));
    }

    static TDialogControlId IdOf(GtkWidget *widget)
    {
        return static_cast<TDialogControlId>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "halcyra-id")));
    }

    TDialogDescription FDescription;
    TSettingsDialogEvents FEvents;
    std::unique_ptr<GtkCssProvider, TObjectUnref> FStyle;
    std::unique_ptr<GtkWidget, TWidgetDestroyer> FWindow;
    TSurface FBackdrop;
    std::map<TDialogControlId, GtkWidget *> FWidgets;
    // What each entry was last given, and the UTF-8 text GTK showed for it.
    struct TGivenText {
        std::string Bytes;
        std::string Shown;
    };
    std::map<TDialogControlId, TGivenText> FGivenTexts;
    std::map<TDialogControlId, TPlace> FPlaces;
    int FSelecting = 0;
    bool FShown = false;
    bool FClosed = false;
    bool FLoopRunning = false;
};

} // namespace

std::unique_ptr<ISettingsDialogView> CreateSettingsDialogWindow(const TDialogDescription &description)
{
    if (!StartGtkOnX11())
        throw NoDisplayError();
    return std::make_unique<TGtkSettingsDialog>(description);
}

} // namespace Halcyra::Platform
