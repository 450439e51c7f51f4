#pragma once

#include "Classes/workflow/AbstractParamWorkflow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// The parameter screen of one dictation: its title and identification value, then the
// workflow fields of the base screen (no priority). The opener gives the parameter set and
// hears the answer through onChangeCallback; it closes the screen and applies the set.
class ParamWorkflowDictee : public AbstractParamWorkflow {
public:
    using ChangeCallback = std::function<void(bool cancelled, const ParamWorkflow& parameters)>;

    static constexpr const char* kNoCallbackLog =
        "onChangeCallback not set. It is the caller responsability to do whatever needed when parameters are "
        "saved or canceled";

    explicit ParamWorkflowDictee(ParamWorkflow parameters);

    std::string screenName() const override { return "ParamWorkflowDictee"; }
    std::string title() const override;
    // Title and identification value, then author, service (when offered), type, context,
    // worktype, typist.
    std::vector<int> rowTags() const override;
    static std::string dictationSectionTitle();
    static std::string workflowSectionTitle();
    static std::string validateButtonTitle();
    // The scan button at the end of the identification field.
    static bool scanButtonShown();
    bool loginViewIsTheParent() const { return false; }

    void setOnChangeCallback(ChangeCallback callback) { onChangeCallback_ = std::move(callback); }

    // An empty title field takes the set's title.
    void viewWillAppear();
    // The set as "Valider" would hand it over, without handing it.
    ParamWorkflow chosenParameters();
    // "Valider": the fields into the set, marked changed, told by a banner, handed to the opener.
    void saveParamWorkflow() override;
    // Back: asks to save, to drop the changes (the screen closes, the opener hears cancelled)
    // or to stay. Answers false.
    bool viewShouldBackToParentView() override;
    // The case-file search's answer: the label is the title, the code the identification value.
    void dossierListViewWillDismissWithJobTitle(const std::string& jobTitle, const std::string& identValue);

private:
    ChangeCallback onChangeCallback_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
    void answer(bool cancelled);
};

} // namespace orvaneh
