#include "Classes/screens/SelectionView.h"

#include "Platform/localisation/Localization.h"

#include <utility>

namespace orvaneh {

SelectionView::SelectionView(std::string title, std::vector<std::string> data, int selectedIndex,
                             Callback callback)
    : title_(std::move(title)), data_(std::move(data)), selectedIndex_(selectedIndex),
      callback_(std::move(callback)) {}

std::string SelectionView::validateTitle() {
    return localized("SELECTION_VIEW_VALIDER", "Valider");
}

std::string SelectionView::cancelTitle() {
    return localized("SELECTION_VIEW_ANNULER", "Annuler");
}

void SelectionView::selectRow(int index) {
    selectedIndex_ = index;
    changed();
}

void SelectionView::buttonTouched(int tag) {
    if (answered_) {
        return;
    }
    answered_ = true;
    // The caller usually lets go of the picker in its answer: it lives until this returns.
    std::shared_ptr<SelectionView> keepAlive = weak_from_this().lock();
    std::optional<std::string> chosen;
    if (selectedIndex_ >= 0 && static_cast<std::size_t>(selectedIndex_) < data_.size()) {
        chosen = data_[static_cast<std::size_t>(selectedIndex_)];
    }
    Callback callback = std::move(callback_);
    if (callback) {
        callback(tag == kCancelTag, chosen, selectedIndex_);
    }
    cancel();
}

} // namespace orvaneh
