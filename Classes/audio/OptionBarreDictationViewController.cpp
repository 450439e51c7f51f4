#include "Classes/audio/OptionBarreDictationViewController.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/StringExtension.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>

namespace orvaneh {

namespace {

using Editor = ParamWorkflowDicteeTitleIdentViewController;

} // namespace

OptionBarreDictationViewController::OptionBarreDictationViewController(ParamWorkflow& paramWorkflow,
                                                                       NavigationController& navigation,
                                                                       std::function<void()> titleChanged)
    : paramWorkflow_(paramWorkflow), navigation_(navigation), titleChanged_(std::move(titleChanged)) {}

OptionBarreDictationViewController::~OptionBarreDictationViewController() = default;

bool OptionBarreDictationViewController::scannerAvailable() const {
    return ConfigurationManager::shouldDisplayScanner() && static_cast<bool>(scannerOpener_);
}

bool OptionBarreDictationViewController::fileSearchAvailable() const {
    return static_cast<bool>(fileSearchOpener());
}

const OptionBarreDictationViewController::CaseFileOpener&
OptionBarreDictationViewController::fileSearchOpener() const {
    return fileSearchScreen() == kCaseListScreen ? caseListOpener_ : loginOpener_;
}

void OptionBarreDictationViewController::displayOption() {
    if (ConfigurationManager::shouldDisplayScanner()) {
        displayScanner();
    }
}

void OptionBarreDictationViewController::displayScanner() {
    if (!ConfigurationManager::shouldDisplayScanner()) {
        Log::write("Lecteur de code désactivé par le réglage OptionUseBarCodeReader");
        return;
    }
    if (!scannerOpener_) {
        notAvailableYet("Le lecteur de code");
        return;
    }
    // The reader is made before it can be named in its own answer.
    auto reader = std::make_shared<std::weak_ptr<SuperController>>();
    std::weak_ptr<char> alive = alive_;
    auto screen = scannerOpener_([this, alive, reader](const std::string& code) {
        if (alive.lock()) {
            applyScannerResult(code);
        }
        if (auto shown = reader->lock()) {
            shown->cancel();
        }
    });
    if (!screen) {
        notAvailableYet("Le lecteur de code");
        return;
    }
    *reader = screen;
    navigation_.present(std::move(screen));
}

void OptionBarreDictationViewController::applyScannerResult(const std::string& code) {
    // Readers that act as keyboards end a code with a line end.
    if (assign(paramWorkflow_.secondField, ConfigurationManager::getIdentValue(),
               StringExtension::stringWithoutSpace(code))) {
        titleChanged();
    }
}

void OptionBarreDictationViewController::displayTitleAndIdentPropriete() {
    if (titleEditor()) {
        return;
    }
    auto editor = std::make_shared<Editor>(paramWorkflow_.firstField, paramWorkflow_.secondField);
    std::weak_ptr<char> alive = alive_;
    editor->setDelegate([this, alive](const std::string& title, const std::string& identValue) {
        if (alive.lock()) {
            didChangeProp(title, identValue);
        }
    });
    editor_ = editor;
    navigation_.present(std::move(editor));
}

std::shared_ptr<ParamWorkflowDicteeTitleIdentViewController>
OptionBarreDictationViewController::titleEditor() const {
    auto editor = editor_.lock();
    if (!editor) {
        return nullptr;
    }
    // A closed editor lives on until the next turn of the main loop.
    const auto& presented = navigation_.presentedScreens();
    const bool shown = std::any_of(presented.begin(), presented.end(),
                                   [&](const NavigationController::Screen& each) { return each == editor; });
    return shown ? editor : nullptr;
}

void OptionBarreDictationViewController::didChangeProp(const std::string& name,
                                                       const std::string& identValue) {
    const bool identSet =
        assign(paramWorkflow_.secondField, ConfigurationManager::getIdentValue(), identValue);
    const bool nameSet = assign(paramWorkflow_.firstField, ConfigurationManager::getJobTitle(), name);
    if (identSet || nameSet) {
        titleChanged();
    }
}

std::string OptionBarreDictationViewController::fileSearchText() const {
    if (!paramWorkflow_.secondField.empty()) {
        return paramWorkflow_.secondField;
    }
    return paramWorkflow_.firstField;
}

std::string OptionBarreDictationViewController::fileSearchScreen() {
    return ParamWorkflowDictee::fileSearchScreen();
}

void OptionBarreDictationViewController::displayFileSearch() {
    const CaseFileOpener& opener = fileSearchOpener();
    if (!opener) {
        notAvailableYet("La recherche de dossiers");
        return;
    }
    std::weak_ptr<char> alive = alive_;
    auto screen =
        opener(fileSearchText(), [this, alive](const std::string& jobTitle, const std::string& identValue) {
            if (alive.lock()) {
                dossierListViewWillDismissWithJobTitle(jobTitle, identValue);
            }
        });
    if (!screen) {
        notAvailableYet("La recherche de dossiers");
        return;
    }
    navigation_.present(std::move(screen));
}

void OptionBarreDictationViewController::dossierListViewWillDismissWithJobTitle(
    const std::string& jobTitle, const std::string& identValue) {
    // The case-file server's texts are checked as typed ones would be.
    const bool nameSet = assign(paramWorkflow_.firstField, ConfigurationManager::getJobTitle(), jobTitle);
    const bool identSet =
        assign(paramWorkflow_.secondField, ConfigurationManager::getIdentValue(), identValue);
    if (nameSet || identSet) {
        titleChanged();
    }
}

bool OptionBarreDictationViewController::assign(std::string& field, const std::string& label,
                                                const std::string& text) {
    if (auto problem = Editor::problemWithField(label, text)) {
        Log::write(*problem);
        UserInterface::shared().pushBanner(*problem);
        return false;
    }
    field = text;
    return true;
}

void OptionBarreDictationViewController::titleChanged() const {
    if (titleChanged_) {
        titleChanged_();
    }
}

void OptionBarreDictationViewController::notAvailableYet(const std::string& what) {
    UserInterface::shared().pushBanner(what + " n'est pas encore disponible.");
}

} // namespace orvaneh
