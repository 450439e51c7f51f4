#include "Classes/app/ListeDictViewController.h"

#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/Tools.h"
#include "Classes/core/userRequest.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/transport/Uploader.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

namespace orvaneh {

namespace {

// Job names made here are UUIDs; below this length a name may lie inside other jobs' names.
constexpr std::size_t kShortestJobNameToRemove = 8;

bool isTransferring(std::int64_t idDictee) {
    return idDictee != 0 && idDictee == Uploader::dictationBeingSent();
}

void refuseWhileTransferring() {
    Notification::pushNotification(localized("LISTE_DICT_ENVOI_EN_COURS",
                                             "Cette dictée est en cours d'envoi : elle ne peut pas être "
                                             "modifiée ni supprimée pour l'instant."));
}

// A dictation of the list that could not be read (a full or failing disk) is still there: said
// with why, rather than dropped from the list as one deleted since. False when it was not read
// for want of a row.
bool toldUnreadable(const std::optional<SqlConnection::Failure>& unreadable) {
    if (!unreadable) {
        return false;
    }
    Notification::pushNotification(
        localized("LISTE_DICT_LECTURE_IMPOSSIBLE", "La dictée n'a pas pu être lue (") + unreadable->text() +
        localized("LISTE_DICT_LECTURE_IMPOSSIBLE_FIN", ") ; elle n'a pas été modifiée."));
    return true;
}

} // namespace

ListeDictViewController::ListeDictViewController(ApplicationHost& application, WithoutStart)
    : AudioController(application) {}

ListeDictViewController::ListeDictViewController(ApplicationHost& application)
    : ListeDictViewController(application, WithoutStart{}) {
    // Old sent dictations go before anything is shown.
    if (ConfigurationManager::getCleansingMaxDate() >= 1) {
        removedAtStart_ = removeOldDictee();
    }
    selectedTab_ = kOutboxTab;
    // The sender posts from its own thread: the rows are always rebuilt on the main loop.
    auto& center = NotificationCenter::defaultCenter();
    for (const char* name :
         {"EnvoiOpen", "EnvoiClose", kRecordFinished, "ApplicationBecomeActive", "EnvoiFin"}) {
        observations_.push_back(
            center.addMainLoopObserver(name, [this](const PostedNotification&) { updateList(); }));
    }
    updateList();
}

ListeDictViewController::~ListeDictViewController() {
    // Deliveries queued for the main loop are dropped once their observation has ended.
    observations_.clear();
}

std::string ListeDictViewController::title() const {
    return localized("DICTEES", "Dictées");
}

int ListeDictViewController::removeOldDictee() {
    int removed = 0;
    for (const auto& record : DicteeRequest().getListDictee(DicteeRequest::kToCleanse)) {
        if (removeDicteeAndFileWithId(record.idDictee) == Removal::Removed) {
            ++removed;
        }
    }
    if (removed > 0) {
        Log::write(std::to_string(removed) + " dictée(s) envoyée(s) depuis plus de " +
                   std::to_string(ConfigurationManager::getCleansingMaxDate()) + " jours supprimée(s)");
    }
    return removed;
}

std::vector<std::string> ListeDictViewController::tabTitles() const {
    return {localized("BOITE_ENVOI", "BOITE D'ENVOI"), localized("DICTEES_ENVOYEES", "DICTÉES ENVOYÉES")};
}

void ListeDictViewController::selectTab(int tab) {
    if (tab != kOutboxTab && tab != kSentTab) {
        return;
    }
    selectedTab_ = tab;
    updateList();
}

std::vector<DictationCell> ListeDictViewController::BuildTab(bool sent, std::string_view datePattern) {
    const auto records =
        DicteeRequest().getListDictee(sent ? DicteeRequest::kSent : DicteeRequest::kOutbox, datePattern);
    const std::int64_t transferring = Uploader::dictationBeingSent();
    std::vector<DictationCell> cells;
    cells.reserve(records.size());
    for (const auto& record : records) {
        cells.emplace_back(record, transferring);
    }
    return cells;
}

void ListeDictViewController::updateList() {
    rows_ = BuildTab(selectedTab_ == kSentTab);
    changed();
}

std::string ListeDictViewController::emptyText() const {
    if (!rows_.empty()) {
        return {};
    }
    return emptyTextFor(selectedTab_ == kSentTab);
}

std::string ListeDictViewController::emptyTextFor(bool sent) {
    return sent ? localized("AUCUNE_DICTEE_ENVOYEE", "Aucune dictée envoyée")
                : localized("AUCUNE_DICTEE_A_ENVOYER", "Aucune dictée à envoyer");
}

std::string ListeDictViewController::editButtonTitle() const {
    return editing_ ? localized("OK", "OK") : localized("MODIFIER", "Modifier");
}

const DictationCell* ListeDictViewController::rowAt(std::size_t index) const {
    return index < rows_.size() ? &rows_[index] : nullptr;
}

void ListeDictViewController::tapRow(std::size_t index, double x, double width) {
    const DictationCell* row = rowAt(index);
    if (!row || row->transferring) {
        return;
    }
    if (x >= width - kAccessoryWidth) {
        onCellAccessory(index);
    } else {
        onCellSelected(index);
    }
}

void ListeDictViewController::onCellSelected(std::size_t index) {
    if (const DictationCell* row = rowAt(index)) {
        openRecorderUI(*row);
    }
}

void ListeDictViewController::onCellAccessory(std::size_t index) {
    if (const DictationCell* row = rowAt(index)) {
        openParameters(*row);
    }
}

void ListeDictViewController::openParameters(const DictationCell& row) {
    if (row.sent) {
        return;
    }
    if (row.transferring) {
        refuseWhileTransferring();
        return;
    }
    PendingParameters pending;
    pending.purpose = PendingParameters::Purpose::EditDictation;
    pending.idDictee = row.idDictee;
    std::optional<SqlConnection::Failure> unreadable;
    if (!pending.parameters.getParamWorkflowDictee(row.idDictee, &unreadable)) {
        if (!toldUnreadable(unreadable)) {
            updateList(); // gone since the list was built
        }
        return;
    }
    presentParameterScreen(std::move(pending));
}

void ListeDictViewController::presentParameterScreen(PendingParameters pending) {
    const std::string argument = pending.idDictee != 0 ? std::to_string(pending.idDictee) : std::string();
    auto screen = std::make_shared<ParamWorkflowDictee>(pending.parameters);
    screen->setServicesOpener(AbstractParamWorkflow::presentingOn(application().navigation()));
    // The code reader and the case-file screens go over the parameter screen.
    NavigationController& navigation = application().navigation();
    screen->setScannerOpener(ParamWorkflowDictee::presentingOn(navigation, scannerMaker()));
    screen->setCaseListOpener(ParamWorkflowDictee::presentingOn(navigation, caseListMaker()));
    screen->setLoginOpener(ParamWorkflowDictee::presentingOn(navigation, loginMaker()));
    screen->setOnChangeCallback(
        [this, alive = std::weak_ptr<char>(alive_)](bool cancelled, const ParamWorkflow& parameters) {
            if (alive.lock()) {
                parameterScreenFinished(parameters, cancelled);
            }
        });
    pendingParameters_ = std::move(pending);
    changed();
    application().navigation().present(screen);
    UserInterface::shared().showScreen("ParamWorkflowDictee", argument);
}

void ListeDictViewController::parameterScreenFinished(const ParamWorkflow& parameters, bool cancelled) {
    if (!pendingParameters_) {
        return;
    }
    const PendingParameters pending = std::move(*pendingParameters_);
    pendingParameters_.reset();
    // Only the parameter screen itself: it may have closed already, leaving another above.
    if (std::dynamic_pointer_cast<ParamWorkflowDictee>(application().navigation().presented())) {
        application().navigation().dismiss();
    }
    const bool apply = parameters.isChanged && !cancelled;
    if (pending.purpose == PendingParameters::Purpose::BeforeRecording) {
        changed();
        if (apply) {
            openRecorder(pending.idDictee != 0 ? std::optional(pending.idDictee) : std::nullopt, parameters);
        }
        return;
    }
    if (apply) {
        ParamWorkflow defaults = parameters;
        defaults.saveParamWorkflow();
        DicteeRequest dictations;
        DicteeModel record = dictations.selectDictee(pending.idDictee);
        if (record.idDictee != 0 && record.envoi != 1) {
            parameters.setToDicteeModel(record);
            // Rewriting the row clears its attempt stamp: a dictation waiting for a retry goes
            // out with its new parameters at the next pass.
            if (dictations.updateDictee(record) < 1) {
                notifySaveFailed(dictations.diskError());
            }
        }
    }
    updateList();
}

bool ListeDictViewController::canCreateDictation() {
    userRequest authors;
    authors.selectAllAuteur();
    // A database that cannot be read (a full or failing disk) is not a workflow never imported.
    if (authors.unreadable) {
        Notification::pushNotification(
            localized("ERROR_ALERT_DATABASE_UNREADABLE",
                      "Erreur : la liste des auteurs n'a pas pu être lue (") +
            *authors.unreadable +
            localized("ERROR_ALERT_DATABASE_UNREADABLE_END", ") ; aucune dictée n'est créée."));
        return false;
    }
    if (authors.nbEnreg == 0) {
        Notification::pushNotification(
            localized("ERROR_ALERT_SHOULD_IMPORT_WORKFLOW_PARAMETERS_FIRST",
                      "Vous devez importer les paramètres du workflow Tarnix pour créer une dictée !"));
        return false;
    }
    return true;
}

void ListeDictViewController::NewDictee() {
    if (canCreateDictation()) {
        openRecorderUI();
    }
}

void ListeDictViewController::openRecorderUI(const std::optional<DictationCell>& row) {
    // The platform may answer the permission request on another thread.
    checkRecordPermission([this, alive = std::weak_ptr<char>(alive_), row](bool granted) {
        RunLoop::main().post([this, alive, row, granted] {
            if (!alive.lock()) {
                return;
            }
            if (!granted) {
                Notification::pushNotification(localized(
                    "JOBLIST_MIC_FORBIDDEN", "L'accès au micro est interdit. Vérifiez les paramètres "
                                             "de l'application, menu \"Paramètres\""));
                return;
            }
            continueOpening(row);
        });
    });
}

void ListeDictViewController::continueOpening(const std::optional<DictationCell>& row) {
    ParamWorkflow parameters;
    std::optional<std::int64_t> idDictee;
    if (row) {
        std::optional<SqlConnection::Failure> unreadable;
        if (!parameters.getParamWorkflowDictee(row->idDictee, &unreadable)) {
            if (!toldUnreadable(unreadable)) {
                updateList(); // deleted since the list was built
            }
            return;
        }
        idDictee = row->idDictee;
        application().setIdDictee(row->idDictee);
        application().setRecord(false);
    } else {
        parameters.getParamWorkflow();
        application().setRecord(true);
    }
    // A sent dictation opens straight in the recorder: its parameters went with it.
    if (!(row && row->sent) && ConfigurationManager::shouldDisplayParameterResumeBeforeRecord()) {
        PendingParameters pending;
        pending.purpose = PendingParameters::Purpose::BeforeRecording;
        pending.idDictee = idDictee.value_or(0);
        pending.parameters = parameters;
        presentParameterScreen(std::move(pending));
        return;
    }
    openRecorder(idDictee, parameters);
}

void ListeDictViewController::openRecorder(std::optional<std::int64_t> idDictee,
                                           const ParamWorkflow& parameters) {
    if (recorderOpener_) {
        recorderOpener_(idDictee, parameters);
        return;
    }
    auto recorder = std::make_shared<AudioRecordControllerThree>(application(), idDictee, parameters);
    recorder->optionBarreController().setScannerOpener(scannerMaker());
    recorder->optionBarreController().setCaseListOpener(caseListMaker());
    recorder->optionBarreController().setLoginOpener(loginMaker());
    recorder->viewDidLoad();
    // Refused (another recorder is open): it said so and went back to the list.
    if (!recorder->isOpen()) {
        return;
    }
    application().navigation().push(recorder);
    recorder->viewWillAppear();
}

std::string ListeDictViewController::recorderBackTitle() {
    return localized("JOBLIST", "Joblist");
}

void ListeDictViewController::longPress(std::size_t index) {
    if (selectedTab_ != kOutboxTab) {
        return;
    }
    const DictationCell* row = rowAt(index);
    if (!row) {
        return;
    }
    selectedDictation_ = row->record;
    if (row->transferring) {
        return;
    }
    showRecordChoiceMenuWithTitle(row->title);
}

void ListeDictViewController::EditTable() {
    editing_ = !editing_;
    changed();
}

void ListeDictViewController::deleteRow(std::size_t index) {
    if (const DictationCell* row = rowAt(index)) {
        askToDelete(row->idDictee);
    }
}

void ListeDictViewController::askToDelete(std::int64_t idDictee, std::function<void(Removal)> done) {
    auto tell = [done](Removal removal) {
        if (done) {
            done(removal);
        }
    };
    if (isTransferring(idDictee)) {
        refuseWhileTransferring();
        tell(Removal::Transferring);
        return;
    }
    const DicteeModel record = DicteeRequest().selectDictee(idDictee);
    if (record.idDictee == 0) {
        tell(Removal::Unknown);
        return;
    }
    UserInterface::shared().askConfirmation(
        record.titre,
        localized("LISTE_DICT_SUPPRIMER_QUESTION",
                  "Supprimer cette dictée, ses enregistrements et ses photos ?"),
        localized("LISTE_DICT_ANNULER", "Annuler"), localized("TITLE_FOR_DELETE_CONFIRMATION", "Supprimer"),
        kDeleteConfirmTag, guarded([this, idDictee, tell](int button) {
            if (button != 1) {
                tell(Removal::Cancelled);
                return;
            }
            const Removal removal = removeDicteeAndFileWithId(idDictee);
            updateList();
            tell(removal);
        }));
}

ListeDictViewController::Removal ListeDictViewController::removeDicteeAndFileWithId(std::int64_t idDictee) {
    if (isTransferring(idDictee)) {
        refuseWhileTransferring();
        return Removal::Transferring;
    }
    DicteeRequest dictations;
    // Files of an unknown identifier are left alone: they may belong to a dictation being saved.
    const DicteeModel record = dictations.selectDictee(idDictee);
    if (record.idDictee == 0) {
        return Removal::Unknown;
    }
    // The row first: a dictation that stays listed keeps its recordings and pictures.
    if (!dictations.deleteDicteeWithId(idDictee)) {
        Log::write("La dictée " + std::to_string(idDictee) + " n'a pas pu être supprimée de la base");
        Notification::pushNotification(localized("LISTE_DICT_SUPPRESSION_IMPOSSIBLE",
                                                 "La dictée n'a pas pu être supprimée de la base ; ses "
                                                 "enregistrements et ses photos sont conservés."));
        return Removal::Failed;
    }
    FileManagerHelper::deleteFilesOfDictation(idDictee);
    // Copies an interrupted send left under the job's name. A short name from an old record
    // could be part of other jobs' names: those stay for their own clean-up.
    if (record.masterJobId.size() >= kShortestJobNameToRemove && Tools::isPlainFileName(record.masterJobId)) {
        FileManagerHelper::deleteFilesOfJob(record.masterJobId);
    }
    Log::write("Dictée " + std::to_string(idDictee) + " supprimée avec ses fichiers");
    return Removal::Removed;
}

bool ListeDictViewController::recordChoiceMenuShouldDisplaySendDictation() {
    return selectedDictation_ &&
           (selectedDictation_->dureeDictee > 0 || selectedDictation_->dureeInstruction > 0);
}

bool ListeDictViewController::recordChoiceMenuShouldDisplayInterruptDictation() {
    return false;
}

std::optional<DicteeModel> ListeDictViewController::saveDictation(bool draft) {
    if (!selectedDictation_) {
        return std::nullopt;
    }
    // Read again: the row may have changed since the list was built (a save, an attempt).
    DicteeRequest dictations;
    DicteeModel record = dictations.selectDictee(selectedDictation_->idDictee);
    if (record.idDictee == 0) {
        updateList();
        notifySaveFailed(dictations.diskError());
        return std::nullopt;
    }
    record.brouillon = draft;
    record.tsTransfert = 0;
    if (dictations.updateDictee(record) < 1) {
        notifySaveFailed(dictations.diskError());
        return std::nullopt;
    }
    selectedDictation_ = record;
    updateList();
    return record;
}

void ListeDictViewController::displayResumeAlertViewForDictee(const std::optional<DicteeModel>& /*record*/) {
    auto saved = saveDictation(true);
    if (!saved) {
        return;
    }
    AudioController::displayResumeAlertViewForDictee(saved);
}

void ListeDictViewController::dictationStaysOpenAfterSave(const DicteeModel& /*record*/) {
    updateList();
}

void ListeDictViewController::cancelDictation() {
    if (!selectedDictation_) {
        return;
    }
    const std::int64_t idDictee = selectedDictation_->idDictee;
    selectedDictation_.reset();
    DicteeRequest dictations;
    const DicteeModel record = dictations.selectDictee(idDictee);
    if (record.idDictee == 0 || record.envoi == 1) {
        updateList();
        return;
    }
    if (isTransferring(idDictee)) {
        refuseWhileTransferring();
        return;
    }
    abandonStoredDictation(idDictee);
    updateList();
}

ParamWorkflowDictee::ScannerOpener ListeDictViewController::scannerMaker() const {
    return [cameraMaker =
                cameraMaker_](ParamWorkflowDictee::ScanResult onResult) -> std::shared_ptr<SuperController> {
        return QRCodeReaderViewController::makeFor(std::move(onResult),
                                                   cameraMaker ? cameraMaker() : nullptr);
    };
}

ParamWorkflowDictee::CaseFileOpener ListeDictViewController::caseListMaker() {
    return [](const std::string& searchText,
              ParamWorkflowDictee::CaseFileAnswer answer) -> std::shared_ptr<SuperController> {
        return DossierListeViewController::opened(searchText, std::move(answer));
    };
}

ParamWorkflowDictee::CaseFileOpener ListeDictViewController::loginMaker() {
    return [](const std::string& searchText,
              ParamWorkflowDictee::CaseFileAnswer answer) -> std::shared_ptr<SuperController> {
        return std::make_shared<LoginViewController>(searchText, std::move(answer));
    };
}

} // namespace orvaneh
