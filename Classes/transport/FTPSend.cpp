#include "Classes/transport/FTPSend.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DatabaseProbe.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/packaging/XMLForThirdParty.h"
#include "Classes/screens/Notification.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cctype>

namespace orvaneh {

namespace {

bool containsFtpScheme(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("ftp://") != std::string::npos;
}

} // namespace

FTPSend::FTPSend(std::int32_t idDictee) : FTPCommunication(idDictee) {}

FTPSend::~FTPSend() = default;

std::string FTPSend::serverURLForAddress(const std::string& address) {
    std::string base = address;
    base.erase(0, base.find_first_not_of(" \t"));
    while (!base.empty() && (base.back() == '/' || base.back() == ' ' || base.back() == '\t')) {
        base.pop_back();
    }
    return (containsFtpScheme(base) ? base : "ftp://" + base) + "/import";
}

bool FTPSend::getParamFTP() {
    const SiteModel site = getServerToAsk();
    parameters_ = {};
    siteWithoutAddress_ = site.exists() && !hasServerAddress(site);
    if (hasServerAddress(site)) {
        parameters_ = {serverURLForAddress(site.address), site.login, site.mdp, site.ftps};
    }
    return !parameters_.serverURL.empty() && !parameters_.login.empty() && !parameters_.password.empty();
}

bool FTPSend::isDicteeReadyToUploadWithId(std::int32_t idDictee) {
    if (getParamFTP()) {
        return true;
    }
    Log::write("Paramètres FTP incomplets : la dictée " + std::to_string(idDictee) + " n'est pas envoyée");
    if (auto why = DatabaseProbe::failure("select idSite from site")) {
        UserInterface::shared().showAlert(
            "", localized("kMssErreurLectureSite", "Les réglages du site d'envoi n'ont pas pu être lus (") +
                    *why + ").");
        return false;
    }
    // Readable again: the first read failed on its way (a passing disk error), not the settings.
    if (getParamFTP()) {
        return true;
    }
    UserInterface::shared().showAlert(
        "", siteWithoutAddress_ ? noServerAddressMessage(getServerToAsk())
                                : localized("kMssErreurParamFTP", "L'accès au ftp n'a pas été configuré !"));
    return false;
}

void FTPSend::sendDictee() {
    XMLForThirdParty descriptor;
    const std::string bytes = generateXML(descriptor);
    const bool prepared = prepareFilesToUpload();
    const std::string title = dicteeM_ ? dicteeM_->titre : std::string();
    if (stopped()) {
        abandon({});
    } else if (jobNameRefused()) {
        abandon(jobNameRefusal());
    } else if (!prepared) {
        abandon(localized("FTP_SEND_PREPARE_ERROR", "Impossible de préparer les fichiers de la dictée") +
                " « " + title + " ».");
    } else if (filesToUpload_.empty()) {
        abandon(localized("FTP_SEND_NO_FILE", "Aucun fichier à envoyer pour la dictée") + " « " + title +
                " ».");
    } else if (!addDescriptor(bytes)) {
        abandon(localized("FTP_SEND_DESCRIPTOR_ERROR", "Impossible d'écrire le descriptif de la dictée") +
                " « " + title + " ».");
    } else {
        filesOfJob_ = filesToUpload_.size();
        infoUploadOpen();
        uploadStart();
    }
}

void FTPSend::abandon(const std::string& banner) {
    if (!banner.empty()) {
        Notification::pushNotification(banner);
    }
    removeTempFile();
    endAttempt();
}

void FTPSend::uploadStart() {
    if (filesToUpload_.empty()) {
        if (markSent()) {
            Log::write("La dictée " + std::to_string(idDictee_) + " a été envoyée par FTP");
        }
        removeTempFile();
        infoUploadClose();
        return;
    }
    NotificationCenter::defaultCenter().post(
        "EnvoiProgress", Json{{"idDictee", idDictee_},
                              {"fichier", filesOfJob_ - std::min(filesOfJob_, filesToUpload_.size()) + 1},
                              {"fichiers", filesOfJob_}});
    RunLoop& main = RunLoop::main();
    if (main.isCurrentThread()) {
        startNextRequest();
    } else {
        main.post([weak = weak_from_this()] {
            if (auto self = weak.lock()) {
                self->startNextRequest();
            }
        });
    }
}

void FTPSend::startNextRequest() {
    if (attemptEnded() || filesToUpload_.empty()) {
        return;
    }
    // The descriptor goes last and is what the office imports: a dictation saved while its
    // audio was going up must not be announced with the audio it replaced.
    if (filesToUpload_.size() == 1 && !claimStillHolds("son descriptif n'est pas envoyé")) {
        removeTempFile();
        infoUploadClose();
        return;
    }
    const Parameters parameters = parameters_;
    const std::string path = filesToUpload_.front();
    filesToUpload_.erase(filesToUpload_.begin());
    filesToRemove_.push_back(path);
    // The finished request may be the one calling us: it goes on the next turn of the loop.
    if (ftpRequest_) {
        RunLoop::main().post([finished = std::move(ftpRequest_)] {});
    }
    ftpRequest_ = S7FTPRequest::requestWithURL(parameters.serverURL, path);
    ftpRequest_->setUsername(parameters.login);
    ftpRequest_->setPassword(parameters.password);
    ftpRequest_->setStallLimit(Seconds(ConfigurationManager::getNetworkStallTimeout()));
    ftpRequest_->setSecurity(parameters.security);
    ftpRequest_->setDelegate({
        .didFinish = [this](S7FTPRequest& request) { uploadFinished(request); },
        .didFail = [this](S7FTPRequest& request) { uploadFailed(request); },
        .willStart = [this](S7FTPRequest& request) { uploadWillStart(request); },
        .didChangeStatus = {},
        .bytesWritten = [this](S7FTPRequest& request) { uploadBytesWritten(request); },
    });
    ftpRequest_->startRequest();
}

void FTPSend::uploadFinished(S7FTPRequest&) {
    uploadStart();
}

void FTPSend::uploadFailed(S7FTPRequest& request) {
    const auto& error = request.error();
    const std::optional<NetworkError> cause = error ? error->networkError : std::nullopt;
    Log::write("Échec de l'envoi FTP de " + request.filePath() + " : " +
               (error ? error->localizedDescription : std::string()) +
               (cause ? " (" + cause->text() + ")" : ""));
    if (!error || error->code != S7FTPRequest::kCancelled) {
        std::string message = localized("FTP_SEND_SEND_ERROR", "Problème lors de l'envoi.");
        if (cause && cause->kind() == NetworkFailure::CannotConnect) {
            message =
                localized("kMssCannotOpenConnectionFTP", "Impossible d'ouvrir une connexion vers le FTP") +
                " :";
        }
        // The cause, so that a wrong password, a refused connection or a time-out read apart.
        if (cause) {
            message += " " + cause->text();
        }
        UserInterface::shared().showAlert("", message);
    }
    removeTempFile();
    infoUploadClose();
}

void FTPSend::uploadWillStart(S7FTPRequest& request) {
    ftpSizeFile_ = request.fileSize();
    ftpBytesUploaded_ = 0;
}

void FTPSend::uploadBytesWritten(S7FTPRequest& request) {
    ftpBytesUploaded_ += static_cast<std::uint64_t>(std::max<std::int64_t>(request.bytesWritten(), 0));
    NotificationCenter::defaultCenter().post("UploadByte",
                                             Json{{"byteUploaded", static_cast<float>(ftpBytesUploaded_)},
                                                  {"fileSize", static_cast<float>(ftpSizeFile_)}});
}

void FTPSend::infoUploadOpen() {
    envoiFTP_ = true;
    NotificationCenter::defaultCenter().post("EnvoiOpen");
}

void FTPSend::infoUploadClose() {
    envoiFTP_ = false;
    endAttempt();
}

} // namespace orvaneh
