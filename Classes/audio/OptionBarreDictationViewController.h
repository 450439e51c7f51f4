#pragma once

#include "Classes/screens/NavigationController.h"
#include "Classes/screens/SuperController.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Classes/workflow/ParamWorkflowDictee.h"

#include <functional>
#include <memory>
#include <string>

namespace orvaneh {

class ParamWorkflowDicteeTitleIdentViewController;

// The option bar of the recording screen: edits the dictation's title (firstField) and
// identification value (secondField) through the code reader, the small title editor and the
// case-file search. The recording screen owns it, hands it its parameter set and hears through
// `titleChanged` that the title must be redrawn. The code reader and the case-file screens are
// made by openers the application gives; without one, its action only says, in a banner, that
// it is not available yet. Main run loop only.
class OptionBarreDictationViewController {
public:
    static constexpr const char* kCaseListScreen = ParamWorkflowDictee::kCaseListScreen;
    static constexpr const char* kLoginScreen = ParamWorkflowDictee::kLoginScreen;
    static constexpr const char* kStateKey = ParamWorkflowDictee::kStateKey;

    // The same openers as the parameter screen's, except that this bar presents what they make.
    using CaseFileAnswer = ParamWorkflowDictee::CaseFileAnswer;
    using CaseFileOpener = ParamWorkflowDictee::CaseFileOpener;
    using ScanResult = ParamWorkflowDictee::ScanResult;
    using ScannerOpener = ParamWorkflowDictee::ScannerOpener;

    OptionBarreDictationViewController(ParamWorkflow& paramWorkflow, NavigationController& navigation,
                                       std::function<void()> titleChanged);
    ~OptionBarreDictationViewController();
    OptionBarreDictationViewController(const OptionBarreDictationViewController&) = delete;
    OptionBarreDictationViewController& operator=(const OptionBarreDictationViewController&) = delete;

    void setScannerOpener(ScannerOpener opener) { scannerOpener_ = std::move(opener); }
    void setCaseListOpener(CaseFileOpener opener) { caseListOpener_ = std::move(opener); }
    void setLoginOpener(CaseFileOpener opener) { loginOpener_ = std::move(opener); }
    // Handed on to the parameter screen the recording screen opens.
    const ScannerOpener& scannerOpener() const { return scannerOpener_; }
    const CaseFileOpener& caseListOpener() const { return caseListOpener_; }
    const CaseFileOpener& loginOpener() const { return loginOpener_; }

    // Whether a view offers the buttons: the reader when the setting "OptionUseBarCodeReader"
    // is on and a reader exists; the search when the screen it would open now exists.
    bool scannerAvailable() const;
    bool fileSearchAvailable() const;

    // The option button: the code reader when the setting is on, otherwise nothing.
    void displayOption();
    // The code reader: its text becomes the identification value.
    void displayScanner();
    // The title editor, presented with this bar as its delegate.
    void displayTitleAndIdentPropriete();
    // The editor's answer: both texts replace the fields, empty ones included (the editor showed
    // the current values, so an empty field was emptied on purpose). A text that is not one line
    // of text is refused with a banner and leaves its field as it was.
    void didChangeProp(const std::string& name, const std::string& identValue);
    // The case-file search with fileSearchText(), on the screen fileSearchScreen() names.
    void displayFileSearch();
    // The case list's answer: the label becomes the title, the code the identification value.
    void dossierListViewWillDismissWithJobTitle(const std::string& jobTitle, const std::string& identValue);
    bool loginViewIsTheParent() const { return false; }

    // The identification value when there is one, else the title, else "".
    std::string fileSearchText() const;
    // The case list once logged in ("state" is 1), else the log-in screen.
    static std::string fileSearchScreen();
    // The editor while it is shown, or none.
    std::shared_ptr<ParamWorkflowDicteeTitleIdentViewController> titleEditor() const;

private:
    ParamWorkflow& paramWorkflow_;
    NavigationController& navigation_;
    std::function<void()> titleChanged_;
    ScannerOpener scannerOpener_;
    CaseFileOpener caseListOpener_;
    CaseFileOpener loginOpener_;
    std::weak_ptr<ParamWorkflowDicteeTitleIdentViewController> editor_;
    // Answers from screens that outlive this bar find it gone.
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    const CaseFileOpener& fileSearchOpener() const;
    void applyScannerResult(const std::string& code);
    // Sets the field unless the text is refused; true when set.
    static bool assign(std::string& field, const std::string& label, const std::string& text);
    void titleChanged() const;
    static void notAvailableYet(const std::string& what);
};

} // namespace orvaneh
