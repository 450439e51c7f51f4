#pragma once

#include "Classes/workflow/AbstractParamWorkflow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// The parameter screen of one dictation: its title and identification value, then the
// workflow fields of the base screen (no priority). The opener gives the parameter set and
// hears the answer through onChangeCallback; it closes the screen and applies the set. The code
// reader and the case-file screens come from openers the application sets.
class ParamWorkflowDictee : public AbstractParamWorkflow {
public:
    using ChangeCallback = std::function<void(bool cancelled, const ParamWorkflow& parameters)>;

    static constexpr const char* kNoCallbackLog =
        "onChangeCallback not set. It is the caller responsability to do whatever needed when parameters are "
        "saved or canceled";
    static constexpr const char* kCaseListScreen = "DossierListeViewController";
    static constexpr const char* kLoginScreen = "LoginViewController";
    // The preference set to 1 once a log-in to the case-file server has succeeded.
    static constexpr const char* kStateKey = "state";

    // The code reader's answer: the text read.
    using ScanResult = std::function<void(const std::string& code)>;
    // Makes the code reader and shows it over this screen; this screen closes it once it answered.
    using ScannerOpener = std::function<std::shared_ptr<SuperController>(ScanResult onResult)>;
    // The case list's answer: the case's label and code.
    using CaseFileAnswer = std::function<void(const std::string& jobTitle, const std::string& identValue)>;
    // Makes the case list or the log-in screen for a search text and shows it; it answers
    // through `answer` and closes itself.
    using CaseFileOpener =
        std::function<std::shared_ptr<SuperController>(const std::string& searchText, CaseFileAnswer answer)>;

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
    // `maker`'s screen, presented on `navigation` as it is made (these screens' openers show what
    // they make).
    static ScannerOpener presentingOn(NavigationController& navigation, ScannerOpener maker);
    static CaseFileOpener presentingOn(NavigationController& navigation, CaseFileOpener maker);
    void setScannerOpener(ScannerOpener opener) { scannerOpener_ = std::move(opener); }
    void setCaseListOpener(CaseFileOpener opener) { caseListOpener_ = std::move(opener); }
    void setLoginOpener(CaseFileOpener opener) { loginOpener_ = std::move(opener); }

    // An empty title field takes the set's title.
    void viewWillAppear();
    // The set as "Valider" would hand it over, without handing it.
    ParamWorkflow chosenParameters();
    // "Valider": the fields into the set, marked changed, told by a banner, handed to the opener.
    void saveParamWorkflow() override;
    // Back: asks to save, to drop the changes (the screen closes, the opener hears cancelled)
    // or to stay. Answers false.
    bool viewShouldBackToParentView() override;
    // The scan button: the code reader, whose text fills the identification field (stored by
    // "Valider" only). Nothing when the setting "OptionUseBarCodeReader" is off; a banner when
    // the application gave no reader.
    void displayScanner();
    // The case-file search with fileSearchText(), on the screen fileSearchScreen() names.
    void displayFileSearch();
    // The identification field when not empty, else the title field, else "".
    std::string fileSearchText() const;
    // The case list once logged in ("state" is 1), else the log-in screen.
    static std::string fileSearchScreen();
    // The case-file search's answer: the label is the title, the code the identification value.
    void dossierListViewWillDismissWithJobTitle(const std::string& jobTitle, const std::string& identValue);

private:
    ChangeCallback onChangeCallback_;
    ScannerOpener scannerOpener_;
    CaseFileOpener caseListOpener_;
    CaseFileOpener loginOpener_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();
    void answer(bool cancelled);
    void applyScannerResult(const std::string& code);
};

} // namespace orvaneh
