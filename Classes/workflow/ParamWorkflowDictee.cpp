#include "Classes/workflow/ParamWorkflowDictee.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <memory>
#include <utility>

namespace orvaneh {

namespace {

enum BackChoice { kSaveChanges = 0, kDropChanges = 1 };
constexpr int kBackQuestionTag = 410;

} // namespace

ParamWorkflowDictee::ParamWorkflowDictee(ParamWorkflow parameters)
    : AbstractParamWorkflow(std::move(parameters)) {
    if (paramWorkflow().serviceID > 0) {
        ServiceModel service = serviceRequest().selectServiceWithID(paramWorkflow().serviceID);
        if (service.idService > 0) {
            serviceChosen_ = service;
        }
    }
    showParameters();
    initTabData();
    viewWillAppear();
}

std::string ParamWorkflowDictee::title() const {
    return localized("ABSTRACT_PARAM_WORKFLOW_TITLE", "Paramètres de la dictée");
}

std::vector<int> ParamWorkflowDictee::rowTags() const {
    std::vector<int> tags{kFirstFieldTag, kSecondFieldTag, kAuthorTag};
    if (ConfigurationManager::shouldDisplayServices()) {
        tags.push_back(kServiceTag);
    }
    tags.insert(tags.end(), {kTypeTag, kContextTag, kWorktypeTag, kTypistTag});
    return tags;
}

std::string ParamWorkflowDictee::dictationSectionTitle() {
    return localized("WORKFLOW_DICTATION_SECTION_TITLE", "Dictée");
}

std::string ParamWorkflowDictee::workflowSectionTitle() {
    return localized("WORKFLOW_WORKFLOW_SECTION_TITLE", "Workflow");
}

std::string ParamWorkflowDictee::validateButtonTitle() {
    return localized("PARAM_WORKFLOW_DICTEE_VALIDER", "Valider");
}

bool ParamWorkflowDictee::scanButtonShown() {
    return ConfigurationManager::shouldDisplayScanner();
}

void ParamWorkflowDictee::viewWillAppear() {
    if (fieldText(kFirstFieldTag).empty()) {
        setField(kFirstFieldTag, paramWorkflow().firstField);
        changed();
    }
}

ParamWorkflow ParamWorkflowDictee::chosenParameters() {
    AbstractParamWorkflow::saveParamWorkflow();
    paramWorkflow().firstField = fieldText(kFirstFieldTag);
    paramWorkflow().secondField = fieldText(kSecondFieldTag);
    return paramWorkflow();
}

void ParamWorkflowDictee::saveParamWorkflow() {
    chosenParameters();
    paramWorkflow().isChanged = true;
    Notification::pushNotification(
        localized("PARAM_WORKFLOW_DICTEE_CHANGES_SAVED", "Paramètres enregistrés"));
    answer(false);
}

void ParamWorkflowDictee::answer(bool cancelled) {
    if (!onChangeCallback_) {
        Log::write(kNoCallbackLog);
        return;
    }
    // The opener usually closes this screen in its answer.
    const ChangeCallback callback = onChangeCallback_;
    const ParamWorkflow parameters = paramWorkflow();
    callback(cancelled, parameters);
}

bool ParamWorkflowDictee::viewShouldBackToParentView() {
    using Choice = UserInterface::Choice;
    std::vector<Choice> choices{
        {localized("PARAM_WORKFLOW_DICTEE_SAVE_CHANGES", "Enregistrer les modifications"),
         Choice::Style::Normal},
        {localized("PARAM_WORKFLOW_DICTEE_CANCEL_CHANGES", "Annuler les modifications"),
         Choice::Style::Destructive},
        {localized("PARAM_WORKFLOW_DICTEE_CANCEL", "Annuler"), Choice::Style::Cancel},
    };
    std::weak_ptr<char> alive = alive_;
    UserInterface::shared().presentChoices("", "", choices, kBackQuestionTag, [this, alive](int index) {
        if (!alive.lock()) {
            return;
        }
        if (index == kSaveChanges) {
            saveParamWorkflow();
        } else if (index == kDropChanges) {
            cancel();
            answer(true);
        }
    });
    return false;
}

ParamWorkflowDictee::ScannerOpener ParamWorkflowDictee::presentingOn(NavigationController& navigation,
                                                                     ScannerOpener maker) {
    return [&navigation, maker = std::move(maker)](ScanResult onResult) -> std::shared_ptr<SuperController> {
        auto screen = maker ? maker(std::move(onResult)) : nullptr;
        if (screen) {
            navigation.present(screen);
        }
        return screen;
    };
}

ParamWorkflowDictee::CaseFileOpener ParamWorkflowDictee::presentingOn(NavigationController& navigation,
                                                                      CaseFileOpener maker) {
    return [&navigation, maker = std::move(maker)](
               const std::string& searchText, CaseFileAnswer answer) -> std::shared_ptr<SuperController> {
        auto screen = maker ? maker(searchText, std::move(answer)) : nullptr;
        if (screen) {
            navigation.present(screen);
        }
        return screen;
    };
}

void ParamWorkflowDictee::displayScanner() {
    if (!scanButtonShown()) {
        Log::write("Lecteur de code désactivé par le réglage OptionUseBarCodeReader");
        return;
    }
    const std::string unavailable = "Le lecteur de code n'est pas encore disponible.";
    if (!scannerOpener_) {
        UserInterface::shared().pushBanner(unavailable);
        return;
    }
    // The reader is known only once the opener returns, and may answer before that (a picture
    // given with it): it is closed once both happened.
    struct Reading {
        std::weak_ptr<SuperController> reader;
        bool answered = false;
    };
    auto reading = std::make_shared<Reading>();
    std::weak_ptr<char> alive = alive_;
    auto screen = scannerOpener_([this, alive, reading](const std::string& code) {
        if (alive.lock()) {
            applyScannerResult(code);
        }
        reading->answered = true;
        if (auto shown = reading->reader.lock()) {
            shown->cancel();
        }
    });
    if (!screen) {
        if (!reading->answered) {
            UserInterface::shared().pushBanner(unavailable);
        }
        return;
    }
    reading->reader = screen;
    if (reading->answered) {
        screen->cancel();
    }
}

void ParamWorkflowDictee::applyScannerResult(const std::string& code) {
    // Readers that act as keyboards end a code with a line end; what is left must be one line,
    // as if typed.
    setFieldText(kSecondFieldTag, StringExtension::stringWithoutSpace(code));
}

std::string ParamWorkflowDictee::fileSearchText() const {
    const std::string& ident = fieldText(kSecondFieldTag);
    return ident.empty() ? fieldText(kFirstFieldTag) : ident;
}

std::string ParamWorkflowDictee::fileSearchScreen() {
    return UserDefaultManager::getIntForKey(kStateKey) == 1 ? kCaseListScreen : kLoginScreen;
}

void ParamWorkflowDictee::displayFileSearch() {
    const CaseFileOpener& opener = fileSearchScreen() == kCaseListScreen ? caseListOpener_ : loginOpener_;
    const std::string unavailable = "La recherche de dossiers n'est pas encore disponible.";
    if (!opener) {
        UserInterface::shared().pushBanner(unavailable);
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
        UserInterface::shared().pushBanner(unavailable);
    }
}

void ParamWorkflowDictee::dossierListViewWillDismissWithJobTitle(const std::string& jobTitle,
                                                                 const std::string& identValue) {
    // The case file comes from the office: refused whole, with a banner, unless both are one line.
    for (const auto& [tag, text] :
         {std::pair{kFirstFieldTag, &jobTitle}, std::pair{kSecondFieldTag, &identValue}}) {
        if (auto problem =
                ParamWorkflowDicteeTitleIdentViewController::problemWithField(fieldLabel(tag), *text)) {
            UserInterface::shared().pushBanner(*problem);
            return;
        }
    }
    setField(kFirstFieldTag, jobTitle);
    setField(kSecondFieldTag, identValue);
    changed();
}

} // namespace orvaneh
