// The configuration form on the platform's real settings hive, without a window: its controls are
// the windowless view's, the user's actions are made through the view's events, and the errors the
// form shows, and the pages it opens, are recorded.
#pragma once

#include "config/SettingsDialog.h"
#include "platform/Socket.h"
#include "support/FakeApplication.h"
#include "support/TestRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Halcyra::Testing {

class TRecordingBrowser final : public Platform::IWebBrowser {
public:
    bool OpenPage(const std::string &url) override
    {
        Pages.push_back(url);
        return true;
    }
    std::vector<std::string> Pages;
};

class Form2Test : public testing::Test {
protected:
    using TId = Platform::TDialogControlId;

    Form2Test()
        : Services{Hive.Registry(),
                   Application,
                   Platform::Sockets(),
                   Browser,
                   Platform::ModuleResources(),
                   "127.0.0.1:1",
                   [this](Platform::TWindowHandle, const std::exception &error) { Errors.push_back(error.what()); },
                   {},
                   Hive.BrandName()},
          Store(Hive.Registry())
    {
        Hive.ForgetKeyOf(ProductName);
        Store.SetBrandName(Hive.BrandName());
        Store.SetSSName(ProductName);
    }

    // The form, made anew (as the next dialog of a run would be) and started.
    TForm2 &Open(const TForm2Pictures &pictures = {})
    {
        Form.reset();
        View = std::make_unique<TWindowlessDialogView>(Form2Description(pictures));
        Form = std::make_unique<TForm2>(Services, *View, pictures);
        Form->FormCreate();
        return *Form;
    }

    // The user's actions.
    void ShowPage(TId page) { View->Events().OnPageShow(page); }
    void Pick(TId list, int index)
    {
        View->SetItemIndex(list, index);
        View->Events().OnSelect(list);
    }
    int IndexOf(TId list, const std::string &entry)
    {
        const auto &items = View->Items(list);
        const auto found = std::find(items.begin(), items.end(), entry);
        return found == items.end() ? -1 : static_cast<int>(found - items.begin());
    }
    void PickEntry(TId list, const std::string &entry) { Pick(list, IndexOf(list, entry)); }
    void Type(TId edit, const std::string &text) { View->SetText(edit, text); }
    void Click(TId button)
    {
        View->Events().OnMouseDown(button, Platform::TMouseButton::Left, 5, 5);
        View->Events().OnMouseUp(button, Platform::TMouseButton::Left, 5, 5);
    }
    std::string Selected(TId list) { return View->GetItem(list, View->GetItemIndex(list)); }

    // What the key holds now, read without writing anything; nullopt when there is no key.
    std::optional<TSettings> Stored()
    {
        TSettings stored;
        if (!Store.ReadAll(stored))
            return std::nullopt;
        return stored;
    }

    TTestRegistry Hive;
    TFakeApplication Application;
    TRecordingBrowser Browser;
    std::vector<std::string> Errors;
    TForm2Services Services;
    TSettingsStore Store;
    std::unique_ptr<TWindowlessDialogView> View;
    std::unique_ptr<TForm2> Form;
};

} // namespace Halcyra::Testing
