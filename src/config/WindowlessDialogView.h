// The configuration form's controls when the form has no window: saver mode creates the form hidden
// and never shows it, and the tests drive the form through the same controls. They keep their state
// in memory, as hidden widgets would, and report what the logic itself sets (an edit's new text).
#pragma once

#include "platform/SettingsDialogView.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace Halcyra {

class TWindowlessDialogView : public Platform::ISettingsDialogView {
public:
    using TId = Platform::TDialogControlId;

    // The controls of a description, with the entries its lists start with.
    explicit TWindowlessDialogView(const Platform::TDialogDescription &description);

    void SetEvents(Platform::TSettingsDialogEvents events) override { FEvents = std::move(events); }
    Platform::TWindowHandle Handle() const override { return 0; }
    bool GetChecked(TId box) const override;
    void SetChecked(TId box, bool checked) override { FChecked[box] = checked; }
    void ClearItems(TId list) override;
    void AddItems(TId list, const std::vector<std::string> &items) override;
    std::string GetItem(TId list, int index) const override;
    int GetItemIndex(TId list) const override;
    void SetItemIndex(TId list, int index) override;
    std::string GetText(TId control) const override;
    void SetText(TId control, const std::string &text) override;
    void SetEnabled(TId control, bool enabled) override { FEnabled[control] = enabled; }
    void SetControlSize(TId control, int width, int height) override { FSizes[control] = {width, height}; }
    void Invalidate(TId control) override { ++FInvalidations[control]; }
    void ShowModal() override {}
    void Close() override { FClosed = true; }

    // What the controls hold, for whoever looks at a form without a window.
    const Platform::TSettingsDialogEvents &Events() const { return FEvents; }
    const std::vector<std::string> &Items(TId list) const;
    bool IsEnabled(TId control) const;
    std::pair<int, int> ControlSize(TId control) const;
    int Invalidations(TId control) const;
    bool Closed() const { return FClosed; }

private:
    Platform::TSettingsDialogEvents FEvents;
    std::map<TId, bool> FChecked;
    std::set<TId> FEdits;
    std::map<TId, std::vector<std::string>> FItems;
    const std::vector<std::string> FNoItems;
    std::map<TId, int> FItemIndex;
    std::map<TId, std::string> FTexts;
    std::map<TId, bool> FEnabled;
    std::map<TId, std::pair<int, int>> FSizes;
    std::map<TId, int> FInvalidations;
    bool FClosed = false;
};

} // namespace Halcyra
