// The settings dialog's GTK window on an X server of the test's own: the 8-bit texts of its fields
// come back as they were given unless the user changes them.
#include "config/SettingsDialogLayout.h"
#include "linux/OwnXServer.h"
#include "platform/SettingsDialogView.h"

#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <cstdlib>

namespace Halcyra::Platform {
namespace {

// The entry of any open window that shows this UTF-8 text; null when none does.
GtkEntry *EntryShowing(const std::string &text)
{
    struct TSearch {
        const std::string &Text;
        GtkEntry *Found = nullptr;
        static void Visit(GtkWidget *widget, gpointer data)
        {
            auto *search = static_cast<TSearch *>(data);
            if (search->Found != nullptr)
                return;
            if (GTK_IS_ENTRY(widget) && search->Text == gtk_entry_get_text(GTK_ENTRY(widget)))
                search->Found = GTK_ENTRY(widget);
            else if (GTK_IS_CONTAINER(widget))
                gtk_container_forall(GTK_CONTAINER(widget), Visit, data);
        }
    } search{text};
    GList *windows = gtk_window_list_toplevels();
    for (GList *window = windows; window != nullptr; window = window->next)
        TSearch::Visit(GTK_WIDGET(window->data), &search);
    g_list_free(windows);
    return search.Found;
}

TEST(GtkSettingsDialog, FieldsGiveBackTheirBytesUnlessTheUserChangesThem)
{
    Testing::TOwnXServer server;
    if (server.Name.empty())
        GTEST_SKIP() << "Xvfb could not be started";
    setenv("DISPLAY", server.Name.c_str(), 1);
    std::unique_ptr<ISettingsDialogView> view = CreateSettingsDialogWindow(Form2Description(TForm2Pictures{}));
    ASSERT_NE(view, nullptr);
    // Windows-1252 bytes that are no UTF-8 (shown as Windows-1252), and UTF-8 (shown as it is).
    const struct {
        TDialogControlId Field;
        std::string Given;
        std::string Shown;
    } fields[] = {
        {TDialogControlId::Edit1ProxyServer, "pr\xF6xy.example", "pr\xC3\xB6xy.example"},
        {TDialogControlId::Edit2Port, "80\xA0", "80\xC2\xA0"},
        {TDialogControlId::UrlNews, "http://caf\xC3\xA9.example/", "http://caf\xC3\xA9.example/"},
        {TDialogControlId::Edit1ProxyServer, "\x93proxy\x94\x81", "\xE2\x80\x9Cproxy\xE2\x80\x9D\xC2\x81"},
    };
    for (const auto &field : fields) {
        view->SetText(field.Field, field.Given);
        EXPECT_EQ(view->GetText(field.Field), field.Given) << field.Given;
        ASSERT_NE(EntryShowing(field.Shown), nullptr) << field.Shown;
    }
    // Edited by the user: a field shown as Windows-1252 is Windows-1252 again (the free byte too),
    // unless it now holds what the code page cannot; a UTF-8 field stays UTF-8.
    gtk_entry_set_text(EntryShowing("\xE2\x80\x9Cproxy\xE2\x80\x9D\xC2\x81"), "\xE2\x80\x9Cpr\xC3\xB6xy2\xE2\x80\x9D \xE2\x82\xAC\xC2\x81");
    EXPECT_EQ(view->GetText(TDialogControlId::Edit1ProxyServer), "\x93pr\xF6xy2\x94 \x80\x81");
    gtk_entry_set_text(EntryShowing("80\xC2\xA0"), "80\xE2\x86\x92");
    EXPECT_EQ(view->GetText(TDialogControlId::Edit2Port), "80\xE2\x86\x92");
    gtk_entry_set_text(EntryShowing("http://caf\xC3\xA9.example/"), "http://th\xC3\xA9.example/");
    EXPECT_EQ(view->GetText(TDialogControlId::UrlNews), "http://th\xC3\xA9.example/");
    view.reset();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

} // namespace
} // namespace Halcyra::Platform
