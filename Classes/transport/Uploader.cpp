#include "Classes/transport/Uploader.h"

#include "Classes/core/DatabaseProbe.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/Notification.h"
#include "Classes/transport/FTPSend.h"
#include "Classes/transport/NetworkManager.h"
#include "Classes/transport/WSPost.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/profile/Profile.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "Platform/ui/UserInterface.h"

#include <future>
#include <optional>
#include <string>

namespace orvaneh {

std::atomic<std::int64_t> Uploader::uploadedDicteeId_{0};

Uploader::Uploader() {
    std::promise<void> ready;
    auto made = ready.get_future();
    // Its own clock: the sender's loop only waits for posts, never for timers.
    worker_ = std::thread([this, ready = std::move(ready)]() mutable {
        workerLoop_ = std::make_unique<RunLoop>(std::make_shared<SystemClock>());
        RunLoop& loop = *workerLoop_;
        ready.set_value();
        loop.run();
    });
    made.wait();
    auto& center = NotificationCenter::defaultCenter();
    observations_.push_back(
        center.addObserver("EnvoiProgress", [this](const PostedNotification&) { ++etapeUpload_; }));
    observations_.push_back(
        center.addObserver("EnvoiClose", [this](const PostedNotification&) { infoUploadClose(); }));
}

Uploader::~Uploader() {
    observations_.clear();
    alive_.reset();
    workerLoop_->stop();
    worker_.join();
    workerLoop_.reset();
    std::lock_guard lock(transportMutex_);
    transport_.reset();
}

bool Uploader::claimRun() {
    bool expected = false;
    return running_.compare_exchange_strong(expected, true);
}

bool Uploader::startRun(const DicteeRequest::ClaimRule& rule) {
    if (!claimRun()) {
        return false;
    }
    passRule_ = rule;
    {
        std::lock_guard lock(passFailureMutex_);
        passFailure_.clear();
    }
    workerLoop_->post([this] { run(); });
    return true;
}

std::string Uploader::passFailure() const {
    std::lock_guard lock(passFailureMutex_);
    return passFailure_;
}

std::filesystem::path Uploader::senderLockPath() {
    return Profile::current().configurationDirectory() / "envoi.lock";
}

FileLock::Result Uploader::acquireSenderLock(std::chrono::milliseconds wait, std::string* error) {
    std::lock_guard lock(senderLockMutex_);
    if (!senderLock_) {
        senderLock_ = std::make_unique<FileLock>(senderLockPath());
    }
    const FileLock::Result result = senderLock_->lockWithin(wait, error);
    if (result == FileLock::Result::Acquired) {
        senderLock_->writeNote(""); // what an earlier holder left says nothing now
    }
    if (result != FileLock::Result::Acquired) {
        senderLock_.reset();
    }
    return result;
}

void Uploader::setDictationInFlight(std::int64_t idDictee) {
    uploadedDicteeId_.store(idDictee);
    std::lock_guard lock(senderLockMutex_);
    if (senderLock_) {
        senderLock_->writeNote(idDictee == 0 ? std::string() : std::to_string(idDictee));
    }
}

std::int64_t Uploader::dictationBeingSent() {
    if (const std::int64_t own = uploadedDicteeId(); own != 0) {
        return own;
    }
    const auto note = FileLock::noteIfHeld(senderLockPath());
    if (!note || note->empty() || note->find_first_not_of("0123456789") != std::string::npos ||
        note->size() > 18) {
        return 0;
    }
    return std::stoll(*note);
}

void Uploader::releaseSenderLock() {
    std::lock_guard lock(senderLockMutex_);
    senderLock_.reset();
}

void Uploader::finishPass() {
    uploadedDicteeId_.store(0);
    releaseSenderLock();
    running_.store(false);
    // After the flag, so that an observer asking running() sees the pass over.
    NotificationCenter::defaultCenter().post("EnvoiFin");
}

void Uploader::run() {
    running_.store(true);
    ++runCount_;
    std::string error;
    switch (acquireSenderLock(std::chrono::milliseconds(0), &error)) {
    case FileLock::Result::Acquired:
        break;
    case FileLock::Result::HeldElsewhere:
        Log::write("Un autre envoi est en cours sur ce profil : les dictées attendent le prochain passage");
        finishPass();
        return;
    case FileLock::Result::Failed:
        // The claim alone still keeps two senders off one dictation.
        Log::write("Envoi sans verrou de profil : " + error);
        break;
    }
    std::string claimFailure;
    auto claim = DicteeRequest().claimNextDicteeToSend(&claimFailure, passRule_);
    if (!claim) {
        if (!claimFailure.empty()) {
            // Not "nothing to send": the dictations wait, and the user must know why.
            Log::write("L'envoi s'arrête : la file d'envoi n'a pas pu être lue (" + claimFailure + ")");
            Notification::pushNotification(
                localized("UPLOADER_CLAIM_ERROR", "Les dictées en attente n'ont pas pu être envoyées :") +
                " " + claimFailure + ".");
            std::lock_guard lock(passFailureMutex_);
            passFailure_ = claimFailure;
        }
        finishPass();
        return;
    }
    const DicteeModel& next = claim->record;
    if (passRule_.ignoreRetryDelay || passRule_.onlyId != 0) {
        // Its failure stamps it with now, which the rule ignores: without this, a pass
        // would retry it for ever.
        passRule_.skipIds.push_back(next.idDictee);
    }
    setDictationInFlight(next.idDictee);
    Log::write("Tentative d'envoi de la dictée " + std::to_string(next.idDictee));
    NotificationCenter::defaultCenter().post("EnvoiOpen");
    claimStamp_ = claim->stamp;
    sendDictee(next);
    claimStamp_ = 0;
}

namespace {

// Why the sites could not be read, when the read that found no site for a dictation failed:
// the table asked again, or what the first read met.
std::optional<std::string> siteUnreadable(const std::optional<SqlConnection::Failure>& firstRead) {
    if (auto failure = DatabaseProbe::failure("select idSite from site")) {
        return failure;
    }
    if (firstRead) {
        return firstRead->text();
    }
    return std::nullopt;
}

} // namespace

void Uploader::sendDictee(const DicteeModel& dictee) {
    std::optional<SqlConnection::Failure> siteReadFailure;
    const SiteModel site = siteRequest::destinationForDictation(dictee.idSite, &siteReadFailure);
    const bool transcription = WSPost::routesToTranscriptionService(dictee, site);
    const NetworkResult network = NetworkManager::isNetworkAvailable(
        transcription ? siteRequest().selectSiteVelmoraIfExist().address : site.address);
    if (!network.networkIsAvailable) {
        Notification::pushNotification(network.message);
        endAttemptWithoutTransport();
        return;
    }
    if (dictee.envoi != 0) {
        UserInterface::shared().showAlert(
            "", localized("kMssDicteeAlreadySend", "Cette dictée a déjà été envoyée !"));
        endAttemptWithoutTransport();
        return;
    }
    if (dictee.worktype.empty() || dictee.auteur.empty() || dictee.titre.empty()) {
        Notification::pushNotification(dictee.titre + " : " +
                                       localized("kMssMissingParamDictee",
                                                 "Les paramètres Auteur, Travail type et Nom de dictée sont "
                                                 "obligatoires pour l'envoi d'une dictée"));
        DicteeModel draft = dictee;
        draft.brouillon = true;
        DicteeRequest().updateDictee(draft);
        endAttemptWithoutTransport();
        return;
    }
    if (transcription) {
        // Whatever the office's site, the transcription service receives it.
        envoiDicteeByWS(dictee);
        return;
    }
    switch (site.typeSite) {
    case SiteType::Ftp:
        envoiDicteeByFTP(dictee);
        break;
    case SiteType::WebService:
    case SiteType::WebServicePhp:
        envoiDicteeByWS(dictee);
        break;
    case SiteType::FtpWithoutSending:
    case SiteType::MailProposed:
        Log::write("Le site de la dictée " + std::to_string(dictee.idDictee) + " est de type " +
                   std::to_string(site.typeSite) + " : elle n'est pas transmise");
        endAttemptWithoutTransport();
        break;
    default:
        // A site that could not be read (a full or failing disk) is not a site that is gone.
        if (auto unreadable = siteUnreadable(siteReadFailure)) {
            Notification::pushNotification(
                localized("UPLOADER_SITE_UNREADABLE", "Le site de cette dictée n'a pas pu être lu (") +
                *unreadable + localized("UPLOADER_SITE_UNREADABLE_END", ") ; elle reste à envoyer."));
            endAttemptWithoutTransport();
            break;
        }
        Notification::pushNotification(
            localized("NON_EXISTANT_SITE",
                      "Le site configuré pour cette dictée n'existe plus. Veuillez soit : \n°Désactiver "
                      "l'option 'Lier les dictées au site' \n°Sauvegarder cette dictée avec un autre "
                      "site par défaut."));
        endAttemptWithoutTransport();
        break;
    }
}

void Uploader::envoiDicteeByFTP(const DicteeModel& dictee) {
    const auto id = static_cast<std::int32_t>(dictee.idDictee);
    auto ftp = std::make_shared<FTPSend>(id);
    ftp->setClaimStamp(claimStamp_);
    setTransport(ftp);
    if (ftp->isDicteeReadyToUploadWithId(id) && ftp->getDictee()) {
        UserInterface::shared().setNetworkActivityIndicatorVisible(true);
        ftp->sendDictee();
    } else {
        ftp->endAttempt();
    }
    releaseOnMainLoop(std::move(ftp));
}

void Uploader::envoiDicteeByWS(const DicteeModel& dictee) {
    auto post = std::make_shared<WSPost>(static_cast<std::int32_t>(dictee.idDictee), this);
    post->setClaimStamp(claimStamp_);
    setTransport(post);
    if (post->getDictee()) {
        NotificationCenter::defaultCenter().post("EnvoiOpen");
        UserInterface::shared().setNetworkActivityIndicatorVisible(true);
        post->postDictations();
    } else {
        post->endAttempt();
    }
    releaseOnMainLoop(std::move(post));
}

void Uploader::requestDidFinish(const WSResult& result) {
    if (result.isEmpty()) {
        Notification::pushNotification(
            localized("UPLOADER_WS_ERROR", "Une erreur est survenue lors de l'utilisation du WS"));
    }
}

void Uploader::errorRequest(const WSResult& result) {
    std::string text = result.getResultText();
    Notification::pushNotification(
        !text.empty()
            ? text
            : localized("UPLOADER_WS_ERROR", "Une erreur est survenue lors de l'utilisation du WS"));
    setDictationInFlight(0);
}

void Uploader::infoUploadClose() {
    UserInterface::shared().setNetworkActivityIndicatorVisible(false);
    setDictationInFlight(0);
    etapeUpload_.store(0);
    setTransport(nullptr);
    if (!running_.load()) {
        releaseSenderLock();
        return; // an attempt no run started, or a pass stopped: nothing to chain
    }
    if (workerLoop_->isCurrentThread()) {
        workerLoop_->post([this] { run(); });
        return;
    }
    // Through the main loop, so that every observer has seen this "EnvoiClose" before the next
    // attempt opens.
    RunLoop::main().post([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) {
            workerLoop_->post([this] { run(); });
        }
    });
}

void Uploader::endAttemptWithoutTransport() {
    NotificationCenter::defaultCenter().post("EnvoiClose");
}

void Uploader::setTransport(std::shared_ptr<CommunicationObject> transport) {
    std::shared_ptr<CommunicationObject> previous;
    {
        std::lock_guard lock(transportMutex_);
        previous = std::exchange(transport_, std::move(transport));
    }
    releaseOnMainLoop(std::move(previous));
}

void Uploader::releaseOnMainLoop(std::shared_ptr<CommunicationObject> transport) {
    if (transport) {
        RunLoop::main().post([transport = std::move(transport)]() mutable { transport.reset(); });
    }
}

} // namespace orvaneh
