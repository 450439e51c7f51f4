#include "Classes/transport/FtpGetFile.h"

#include "Classes/transport/FTPGetListDirectory.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/network/FtpConnection.h"
#include "Platform/runloop/RunLoop.h"

namespace orvaneh {

FtpGetFile::FtpGetFile(std::string urlFtp, std::string pathFileDL, std::string login, std::string password,
                       Completion didFinish, Seconds stallLimit)
    : urlFtp_(std::move(urlFtp)), pathFileDL_(std::move(pathFileDL)), login_(std::move(login)),
      password_(std::move(password)), didFinish_(std::move(didFinish)), stallLimit_(stallLimit) {}

FtpGetFile::~FtpGetFile() = default;

std::string FtpGetFile::statusForFailure(const NetworkError& failure) {
    // A refused certificate or encryption, or a server that wants it, is the reason itself,
    // whatever the last reply was (such a server may well answer 550).
    if (failure.kind() == NetworkFailure::Certificate || failure.kind() == NetworkFailure::Unencrypted ||
        failure.kind() == NetworkFailure::EncryptionRequired) {
        return failure.text();
    }
    if (failure.kind() == NetworkFailure::LocalWrite) {
        return localized("FTP_GET_FILE_WRITE_ERROR", "Une erreur est survenue lors de l'écriture du fichier");
    }
    if (failure.replyCode() == 550 || failure.kind() == NetworkFailure::MissingFile) {
        return localized("FTP_GET_FILE_MISSING_FILE_ERROR", "Impossible d'accéder au fichier \n(err. 550)");
    }
    if (failure.replyCode() == 530 || failure.kind() == NetworkFailure::Authentication) {
        return localized("FTP_GET_FILE_INCORRECT_ID", "Les identifiants sont incorrects \n(err. 530)");
    }
    if (failure.kind() == NetworkFailure::TimedOut || failure.kind() == NetworkFailure::TooLarge) {
        return localized("FTP_GET_FILE_LOAD_ERROR",
                         "Une erreur est survenue lors du téléchargement du fichier") +
               " : " + failure.text();
    }
    if (failure.replyCode() == 0) {
        // The server never answered: its own reason says more than an error code of 0.
        return failure.text();
    }
    std::string format = localized("FTP_GET_FILE_ERROR", "Une erreur est survenue \n (err. %i)");
    auto marker = format.find("%i");
    if (marker == std::string::npos) {
        return format;
    }
    return format.substr(0, marker) + std::to_string(failure.replyCode()) + format.substr(marker + 2);
}

void FtpGetFile::start() {
    stopped_ = false;
    auto url = FTPGetListDirectory::stringToURL(urlFtp_);
    if (!url) {
        stop(localized("FTP_GET_FILE_WRONG_URL", "Url invalide"));
        return;
    }
    receiving_ = true;
    networkStream_ = std::make_unique<FtpConnection>(RunLoop::main(), login_, password_, stallLimit_);
    networkStream_->setSecurity(security_);
    FtpConnection::Callbacks callbacks;
    callbacks.completion = [this](const std::optional<NetworkError>& failure) {
        if (failure) {
            Log::write("Échec du téléchargement FTP : " + failure->text());
            stop(statusForFailure(*failure));
        } else {
            stop(std::nullopt);
        }
    };
    networkStream_->download(*url, pathFileDL_, std::move(callbacks));
}

void FtpGetFile::stop(const std::optional<std::string>& status) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    bError_ = status.has_value();
    if (status) {
        statut_ = *status;
    }
    receiving_ = false;
    if (networkStream_ && networkStream_->isRunning()) {
        networkStream_->cancel();
    }
    RunLoop::main().post([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) {
            auto didFinish = didFinish_;
            if (didFinish) {
                didFinish(*this);
            }
        }
    });
}

} // namespace orvaneh
