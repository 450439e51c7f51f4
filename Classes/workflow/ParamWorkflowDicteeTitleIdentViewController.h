#pragma once

#include "Classes/screens/SuperController.h"

#include <functional>
#include <optional>
#include <string>

namespace orvaneh {

// The small editor of a dictation's title and identification value, shown over the recording
// screen. Editing ends with a double tap or a long press anywhere: the delegate gets both texts
// and the screen closes. Both fields are one line of text. Main run loop only.
class ParamWorkflowDicteeTitleIdentViewController : public SuperController {
public:
    // Receives (title, identification value) when editing ends.
    using Delegate = std::function<void(const std::string& title, const std::string& identValue)>;

    ParamWorkflowDicteeTitleIdentViewController(std::string title, std::string identValue);

    std::string screenName() const override { return "ParamWorkflowDicteeTitleIdentViewController"; }
    // Shown over the screen it edits for: no navigation bar of its own.
    bool shouldDisplayBackButton() const override { return false; }

    const std::string& txtFirstField() const { return firstField_; }
    const std::string& txtSecondField() const { return secondField_; }
    // The placeholders: the labels the office gave the two fields.
    static std::string firstFieldPlaceholder();
    static std::string secondFieldPlaceholder();

    // What the view typed. A text that is not one line of UTF-8 text is refused: the field keeps
    // its text, a banner says why, and the answer is false.
    bool setFirstFieldText(std::string text);
    bool setSecondFieldText(std::string text);

    void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }
    // The double tap or the long press: the delegate gets the texts, then the screen closes.
    // Only the first call counts (both gestures may fire).
    void endEditing();
    bool editingEnded() const { return ended_; }

    // Why `text` cannot be the field labelled `label`; nothing when it can.
    static std::optional<std::string> problemWithField(const std::string& label, const std::string& text);

private:
    std::string firstField_;
    std::string secondField_;
    Delegate delegate_;
    bool ended_ = false;

    bool setField(std::string& field, const std::string& label, std::string text);
};

} // namespace orvaneh
