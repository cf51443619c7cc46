// Controls kept in memory.
#include "config/WindowlessDialogView.h"

namespace Halcyra {

TWindowlessDialogView::TWindowlessDialogView(const Platform::TDialogDescription &description)
{
    for (const auto &control : description.Controls) {
        if (control.Id == TId::None)
            continue;
        if (control.Kind == Platform::TDialogControlKind::DropDownList)
            FItems[control.Id] = control.Items;
        if (control.Kind == Platform::TDialogControlKind::StaticText || control.Kind == Platform::TDialogControlKind::Edit)
            FTexts[control.Id] = control.Text;
        if (control.Kind == Platform::TDialogControlKind::Edit)
            FEdits.insert(control.Id);
        if (control.Kind == Platform::TDialogControlKind::Painted)
            FSizes[control.Id] = {control.Width, control.Height};
    }
}

bool TWindowlessDialogView::GetChecked(TId box) const
{
    auto found = FChecked.find(box);
    return found != FChecked.end() && found->second;
}

void TWindowlessDialogView::ClearItems(TId list)
{
    FItems[list].clear();
    FItemIndex[list] = -1;
}

void TWindowlessDialogView::AddItems(TId list, const std::vector<std::string> &items)
{
    auto &entries = FItems[list];
    entries.insert(entries.end(), items.begin(), items.end());
}

std::string TWindowlessDialogView::GetItem(TId list, int index) const
{
    const auto &entries = Items(list);
    return index >= 0 && static_cast<std::size_t>(index) < entries.size() ? entries[static_cast<std::size_t>(index)] : std::string();
}

int TWindowlessDialogView::GetItemIndex(TId list) const
{
    auto found = FItemIndex.find(list);
    return found == FItemIndex.end() ? -1 : found->second;
}

void TWindowlessDialogView::SetItemIndex(TId list, int index)
{
    const bool inside = index >= 0 && static_cast<std::size_t>(index) < Items(list).size();
    FItemIndex[list] = inside ? index : -1;
}

std::string TWindowlessDialogView::GetText(TId control) const
{
    auto found = FTexts.find(control);
    return found == FTexts.end() ? std::string() : found->second;
}

void TWindowlessDialogView::SetText(TId control, const std::string &text)
{
    FTexts[control] = text;
    if (FEvents.OnTextChange && FEdits.contains(control))
        FEvents.OnTextChange(control);
}

const std::vector<std::string> &TWindowlessDialogView::Items(TId list) const
{
    auto found = FItems.find(list);
    return found == FItems.end() ? FNoItems : found->second;
}

bool TWindowlessDialogView::IsEnabled(TId control) const
{
    auto found = FEnabled.find(control);
    return found == FEnabled.end() || found->second;
}

std::pair<int, int> TWindowlessDialogView::ControlSize(TId control) const
{
    auto found = FSizes.find(control);
    return found == FSizes.end() ? std::pair{0, 0} : found->second;
}

int TWindowlessDialogView::Invalidations(TId control) const
{
    auto found = FInvalidations.find(control);
    return found == FInvalidations.end() ? 0 : found->second;
}

} // namespace Halcyra
