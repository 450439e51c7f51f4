#include "Classes/transport/FTPGet.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Classes/packaging/Entity.h"
#include "Classes/transport/FTPGetListDirectory.h"
#include "Classes/transport/FtpGetFile.h"
#include "Classes/transport/NetworkManager.h"
#include "Classes/transport/WSCommunication.h"
#include "Platform/localisation/Localization.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <fstream>
#include <iterator>

namespace orvaneh {

namespace {

constexpr const char* kDownLoadFinished = "DownLoadFinished";

void setActivityIndicatorVisible(bool visible) {
    UserInterface::shared().setNetworkActivityIndicatorVisible(visible);
}

void postDownLoadFinished() {
    NotificationCenter::defaultCenter().post(kDownLoadFinished);
}

} // namespace

FTPGet::FTPGet(std::string login, std::string password, FtpSecurity security, FTPGetDelegate* delegate)
    : login_(std::move(login)), password_(std::move(password)), security_(security), delegateObj_(delegate) {}

FTPGet::~FTPGet() = default;

void FTPGet::checkNetworkThen(const std::string& url, std::function<void()> next) {
    const std::uint64_t generation = ++generation_;
    checking_ = true;
    networkCheck_ = std::jthread([this, url, generation, next = std::move(next),
                                  alive = std::weak_ptr<int>(alive_), &loop = RunLoop::main()] {
        NetworkResult network = NetworkManager::isNetworkAvailable(url);
        loop.post([this, generation, next, alive, network] {
            if (!alive.lock() || generation != generation_) {
                return;
            }
            checking_ = false;
            if (network.networkIsAvailable) {
                next();
            } else {
                reportFailure(network.message);
            }
        });
    });
}

void FTPGet::reportFailure(const std::string& message) {
    Tools::displayAlertViewWithMessage(message, "");
    setActivityIndicatorVisible(false);
    postDownLoadFinished();
    if (delegateObj_ != nullptr) {
        delegateObj_->ftpGetFailed(message);
    }
}

void FTPGet::getListDirectories(const std::string& url) {
    checkNetworkThen(url, [this, url] {
        ftpGetListDir_ = std::make_unique<FTPGetListDirectory>(
            url, login_, password_,
            [this](FTPGetListDirectory& lister) { requestListDirectoriesFinished(lister); },
            Seconds(ConfigurationManager::getNetworkStallTimeout()));
        ftpGetListDir_->setSecurity(security_);
        setActivityIndicatorVisible(true);
        ftpGetListDir_->start();
    });
}

void FTPGet::requestListDirectoriesFinished(FTPGetListDirectory& lister) {
    setActivityIndicatorVisible(false);
    const bool failed = lister.bError();
    const std::string status = lister.status();
    if (failed) {
        Tools::displayAlertViewWithMessage(status, "");
    } else {
        resultFromRequest_ = lister.listEntries();
    }
    postDownLoadFinished();
    if (delegateObj_ == nullptr) {
        return;
    }
    if (failed) {
        delegateObj_->ftpGetFailed(status);
    } else {
        delegateObj_->listDirectoriesDownloadFinished(resultFromRequest_);
    }
}

void FTPGet::getCatalogueWithUrl(const std::string& url) {
    checkNetworkThen(url, [this, url] {
        ftpGetFile_ = std::make_unique<FtpGetFile>(
            url, FileManagerHelper::getPathForFileName("/Catalogue.xml"), login_, password_,
            [this](FtpGetFile& getter) { downloadFinished(getter); },
            Seconds(ConfigurationManager::getNetworkStallTimeout()));
        ftpGetFile_->setSecurity(security_);
        setActivityIndicatorVisible(true);
        ftpGetFile_->start();
    });
}

void FTPGet::downloadFinished(FtpGetFile& getter) {
    std::optional<std::string> failure;
    if (getter.bError()) {
        failure = getter.statut();
    } else {
        const std::string& path = getter.pathFileDL();
        std::ifstream file(path, std::ios::binary);
        std::string bytes;
        if (file.is_open()) {
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        std::string reason;
        if (!file.is_open() || file.bad() || !Entity::importCatalogue(bytes, &reason)) {
            failure = localized("FTP_GET_IMPORT_ERROR",
                                "Une erreur est survenue lors de l'importation, veuillez recommencer.") +
                      (reason.empty() ? "" : " (" + reason + ")");
        }
        Tools::deleteFileAtPath(path);
    }
    Tools::displayAlertViewWithMessage(
        failure.value_or(localized("kMssFinImportation", "Fin de l'importation")), "");
    postDownLoadFinished();
    setActivityIndicatorVisible(false);
    if (delegateObj_ == nullptr) {
        return;
    }
    if (failure) {
        delegateObj_->ftpGetFailed(*failure);
    } else {
        delegateObj_->catalogueImported();
    }
}

void FTPGet::cancelRequest() {
    setActivityIndicatorVisible(false);
    const std::string cancelled = localized("kStatutRequestCancelled", "Requête annulée");
    if (checking_) {
        checking_ = false;
        ++generation_;
        reportFailure(cancelled);
        return;
    }
    if (ftpGetListDir_ && ftpGetListDir_->isReceiving()) {
        ftpGetListDir_->stop(cancelled);
    }
    if (ftpGetFile_ && ftpGetFile_->isReceiving()) {
        ftpGetFile_->stop(cancelled);
    }
}

bool FTPGet::isReceiving() const {
    return checking_ || (ftpGetListDir_ && ftpGetListDir_->isReceiving()) ||
           (ftpGetFile_ && ftpGetFile_->isReceiving());
}

} // namespace orvaneh
