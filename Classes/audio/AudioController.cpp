#include "Classes/audio/AudioController.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DictationType.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/Notification.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/ui/UserInterface.h"

namespace orvaneh {

AudioController::AudioController(ApplicationHost& application) : application_(application) {}

AudioController::~AudioController() = default;

std::function<void(int)> AudioController::guarded(std::function<void(int)> answer) const {
    return [alive = std::weak_ptr<char>(alive_), answer = std::move(answer)](int button) {
        if (alive.lock() && answer) {
            answer(button);
        }
    };
}

void AudioController::notifySaveFailed(int diskError) {
    // What the disk did, when it is the cause: the user has to make room or change the medium.
    Notification::pushNotification(
        withDiskCause(
            localized("AUDIO_CONTROLLER_ENREGISTREMENT_IMPOSSIBLE", "La dictée n'a pas pu être enregistrée"),
            diskError) +
        localized("AUDIO_CONTROLLER_ENREGISTREMENT_IMPOSSIBLE_FIN",
                  ". Les enregistrements sont conservés sur l'appareil pour un nouvel essai."));
}

void AudioController::checkRecordPermission(std::function<void(bool granted)> completion) {
    AudioSession& session = MediaBackend::shared().audioSession();
    switch (session.recordPermission()) {
    case AudioSession::RecordPermission::Denied:
        if (completion) {
            completion(false);
        }
        break;
    case AudioSession::RecordPermission::Granted:
        if (completion) {
            completion(true);
        }
        break;
    case AudioSession::RecordPermission::Undetermined:
        session.requestRecordPermission([completion = std::move(completion)](bool granted) {
            if (completion) {
                completion(granted);
            }
        });
        break;
    }
}

int AudioController::getTypeEnvoi() const {
    return siteRequest().selectDefaultSite().typeSite;
}

std::vector<AudioController::RecordChoice> AudioController::recordChoices() {
    std::vector<RecordChoice> choices;
    if (recordChoiceMenuShouldDisplaySendDictation()) {
        choices.push_back(RecordChoice::Send);
    }
    if (recordChoiceMenuShouldDisplayInterruptDictation()) {
        choices.push_back(RecordChoice::Interrupt);
    }
    choices.push_back(RecordChoice::Abandon);
    choices.push_back(RecordChoice::Cancel);
    return choices;
}

void AudioController::showRecordChoiceMenuWithTitle(const std::optional<std::string>& title) {
    using Style = UserInterface::Choice::Style;
    const auto actions = recordChoices();
    std::vector<UserInterface::Choice> choices;
    for (RecordChoice action : actions) {
        switch (action) {
        case RecordChoice::Send:
            choices.push_back(
                {localized("AUDIO_CONTROLLER_ENVOYER_DICTEE", "Envoyer la dictée"), Style::Normal});
            break;
        case RecordChoice::Interrupt:
            choices.push_back(
                {localized("AUDIO_CONTROLLER_INTERROMPRE_DICTEE", "Interrompre la dictée"), Style::Normal});
            break;
        case RecordChoice::Abandon:
            choices.push_back({localized("AUDIO_CONTROLLER_ABANDONNER_DICTEE", "Abandonner la dictée"),
                               Style::Destructive});
            break;
        case RecordChoice::Cancel:
            choices.push_back({localized("AUDIO_CONTROLLER_ANNULER", "Annuler"), Style::Cancel});
            break;
        }
    }
    UserInterface::shared().presentChoices(
        title.value_or(""), "", choices, kRecordChoiceMenuTag, guarded([this, actions](int index) {
            if (index >= 0 && static_cast<std::size_t>(index) < actions.size()) {
                performRecordChoice(actions[static_cast<std::size_t>(index)]);
            }
        }));
}

void AudioController::performRecordChoice(RecordChoice choice) {
    switch (choice) {
    case RecordChoice::Send:
        sendDictation();
        break;
    case RecordChoice::Interrupt:
        interruptDictation();
        break;
    case RecordChoice::Abandon:
        abandonDictation();
        break;
    case RecordChoice::Cancel:
        break;
    }
}

void AudioController::sendDictation() {
    const int type = getTypeEnvoi();
    if (SiteType::sendsByMail(type)) {
        Notification::pushNotification(localized("AUDIO_CONTROLLER_ENVOI_MAIL_NON_PRIS_EN_CHARGE",
                                                 "L'envoi par mail n'est pas pris en charge"));
        return;
    }
    if (ConfigurationManager::shouldDisplayParameterResumeBeforeSend()) {
        displayResumeAlertViewForDictee(std::nullopt);
        return;
    }
    if (!saveDictation(false)) {
        return;
    }
    sendDictees();
    application().popToRoot();
}

void AudioController::interruptDictation() {
    if (!saveDictation(true)) {
        return;
    }
    application().popToRoot();
    NotificationCenter::defaultCenter().post(kRecordFinished);
}

void AudioController::abandonDictation() {
    cancelDictation();
    NotificationCenter::defaultCenter().post(kRecordFinished);
}

void AudioController::sendDictees() {
    application_.sendDictees();
    NotificationCenter::defaultCenter().post(kRecordFinished);
}

std::string AudioController::resumeMessage(const DicteeModel& record, const std::string& jobTitle,
                                           const std::string& identLabel) {
    std::string message;
    if (!jobTitle.empty()) {
        message += jobTitle + " : " + record.titre + "\n";
        if (!identLabel.empty()) {
            message += identLabel + " : " + record.identValue + "\n";
        }
    } else {
        message += localized("AUDIO_CONTROLLER_RESUME_NOM_DICTEE", "Nom Dictee : ") + record.titre + "\n";
    }
    message += localized("AUDIO_CONTROLLER_RESUME_AUTEUR", "Auteur : ") + record.auteur + "\n";
    message += localized("AUDIO_CONTROLLER_RESUME_TYPE", "Type : ") + record.type + "\n";
    if (DictationType::isSpeechRecognition(record.type)) {
        message += localized("AUDIO_CONTROLLER_RESUME_CONTEXTE", "Contexte : ") + record.contexte + "\n";
    }
    message += localized("AUDIO_CONTROLLER_RESUME_SECRETAIRE", "Secrétaire : ") + record.secretaire + "\n";
    message += localized("AUDIO_CONTROLLER_RESUME_TRAVAIL_TYPE", "Travail Type : ") + record.worktype + "\n";
    message += localized("AUDIO_CONTROLLER_RESUME_PRIORITE", "Priorité : ") + record.priorite;
    return message;
}

void AudioController::displayResumeAlertViewForDictee(const std::optional<DicteeModel>& record) {
    if (!record) {
        Log::write("AudioController->displayResumeAlertViewForDictee should be overridden. The caller should "
                   "then call the [super displayResumeAlertViewForDictee] and pass the dicteeM parameter so "
                   "that the method can do the job.");
        return;
    }
    const std::string jobTitle = ConfigurationManager::getJobTitle();
    const std::string message = resumeMessage(*record, jobTitle, ConfigurationManager::getIdentValue());
    UserInterface::shared().askConfirmation(jobTitle, message,
                                            localized("AUDIO_CONTROLLER_RESUME_ANNULER", "Annuler"),
                                            localized("AUDIO_CONTROLLER_RESUME_ENVOYER", "Envoyer"),
                                            kResumeAlertTag, guarded([this, saved = *record](int button) {
                                                if (button == 1) {
                                                    sendResumedDictation(saved);
                                                } else {
                                                    dictationStaysOpenAfterSave(saved);
                                                }
                                            }));
}

void AudioController::sendResumedDictation(DicteeModel record) {
    record.brouillon = false;
    DicteeRequest request;
    if (request.updateDictee(record) < 1) {
        notifySaveFailed(request.diskError());
        dictationStaysOpenAfterSave(record);
        return;
    }
    sendDictees();
    application().popToRoot();
}

std::optional<DicteeModel> AudioController::saveDictation(bool /*draft*/) {
    return std::nullopt;
}

void AudioController::cancelDictation() {}

bool AudioController::recordChoiceMenuShouldDisplaySendDictation() {
    return true;
}

bool AudioController::recordChoiceMenuShouldDisplayInterruptDictation() {
    return true;
}

void AudioController::dictationStaysOpenAfterSave(const DicteeModel& /*record*/) {}

void AudioController::abandonStoredDictation(std::int64_t idDictee) {
    if (!DicteeRequest().deleteDicteeWithId(idDictee)) {
        Log::write("La dictée " + std::to_string(idDictee) + " abandonnée n'a pas pu être supprimée");
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_SUPPRESSION_IMPOSSIBLE",
                      "La dictée n'a pas pu être supprimée ; elle reste dans la liste avec ses "
                      "enregistrements."));
        return;
    }
    Pictures::deletePicturesForDictation(idDictee);
    const auto names =
        FileManagerHelper::setAsideFilesOfIdentifier(idDictee, "enregistrements d'une dictée abandonnée");
    if (names.empty()) {
        return;
    }
    std::string list;
    for (const auto& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    Notification::pushNotification(
        localized("AUDIO_RECORD_CONTROLLER_ABANDON_CONSERVE",
                  "Les enregistrements de la dictée abandonnée sont conservés dans : ") +
        list);
}

} // namespace orvaneh
