#pragma once

#include "Classes/screens/Geometry.h"
#include "Classes/screens/SuperController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The modal choice list: a title, the texts offered, the row checked, and two buttons. Its
// caller gets one answer (cancelled, the chosen text, its index); the picker then closes.
// Drawn over the whole window on a dimmed backdrop. Main run loop only.
class SelectionView : public SuperController, public std::enable_shared_from_this<SelectionView> {
public:
    static constexpr int kValidateTag = 1;
    static constexpr int kCancelTag = 2;
    static constexpr double kBackdropOpacity = 0.3;
    static constexpr double kFadeSeconds = 0.25;

    // The chosen text is absent when the list is empty or the index is out of range.
    using Callback = std::function<void(bool cancelled, const std::optional<std::string>& chosen, int index)>;

    SelectionView(std::string title, std::vector<std::string> data, int selectedIndex, Callback callback);

    std::string screenName() const override { return "SelectionView"; }
    std::string title() const override { return title_; }
    bool shouldDisplayBackButton() const override { return false; }

    const std::vector<std::string>& data() const { return data_; }
    int selectedIndex() const { return selectedIndex_; }
    // The black backdrop over the whole window.
    static Color backdropColor() { return {0, 0, 0, kBackdropOpacity}; }
    static std::string validateTitle();
    static std::string cancelTitle();

    // A row touched: it becomes the checked one (an index outside the list is kept, and
    // answers no text).
    void selectRow(int index);
    // The buttons: kCancelTag cancels, any other validates. Answers once.
    void buttonTouched(int tag);
    bool answered() const { return answered_; }

private:
    std::string title_;
    std::vector<std::string> data_;
    int selectedIndex_;
    Callback callback_;
    bool answered_ = false;
};

} // namespace orvaneh
