#include "Classes/transport/FTPGetListDirectory.h"

#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/network/FtpConnection.h"
#include "Platform/network/FtpListingParser.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cctype>

namespace orvaneh {

FTPGetListDirectory::FTPGetListDirectory(std::string host, std::string login, std::string password,
                                         Completion didFinish, Seconds stallLimit)
    : host_(std::move(host)), login_(std::move(login)), password_(std::move(password)),
      didFinish_(std::move(didFinish)), stallLimit_(stallLimit) {}

FTPGetListDirectory::~FTPGetListDirectory() = default;

std::optional<std::string> FTPGetListDirectory::stringToURL(const std::string& text) {
    auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::nullopt;
    }
    auto last = text.find_last_not_of(" \t");
    std::string trimmed = text.substr(first, last - first + 1);
    auto separator = trimmed.find("://");
    if (separator == std::string::npos) {
        trimmed = "ftp://" + trimmed;
        separator = 3;
    }
    // Without a host, curl would have no server to go to, or take one from elsewhere.
    if (trimmed.size() == separator + 3 || trimmed[separator + 3] == '/') {
        return std::nullopt;
    }
    std::string scheme = trimmed.substr(0, separator);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "ftp") {
        return std::nullopt;
    }
    return trimmed;
}

void FTPGetListDirectory::start() {
    stopped_ = false;
    auto url = stringToURL(host_);
    if (!url) {
        stop(localized("FTP_GET_LIST_DIRECTORY_WRONG_URL", "URL invalide"));
        return;
    }
    listData_.clear();
    listEntries_.clear();
    status_ = "Receiving";
    receiving_ = true;
    networkStream_ = std::make_unique<FtpConnection>(RunLoop::main(), login_, password_, stallLimit_);
    networkStream_->setSecurity(security_);
    FtpConnection::Callbacks callbacks;
    callbacks.data = [this](const std::string& bytes) {
        listData_ += bytes;
        if (!parseListData(false)) {
            stop("Listing parse failed");
        }
    };
    callbacks.completion = [this](const std::optional<NetworkError>& failure) {
        if (failure) {
            Log::write("Échec du listage du répertoire FTP : " + failure->text());
            stop(localized("FTP_GET_LIST_DIRECTORY_DOWNLOAD_ERROR", "Erreur de téléchargement!") + " " +
                 failure->text());
        } else if (!parseListData(true)) {
            stop("Listing parse failed");
        } else {
            stop(std::nullopt);
        }
    };
    networkStream_->list(*url, std::move(callbacks));
}

bool FTPGetListDirectory::parseListData(bool endOfData) {
    std::size_t offset = 0;
    bool parsed = true;
    while (offset < listData_.size()) {
        std::optional<FtpListingEntry> entry;
        auto consumed = FtpListingParser::parse(std::string_view(listData_).substr(offset), entry, endOfData);
        if (consumed < 0) {
            parsed = false;
            break;
        }
        if (consumed == 0) {
            break;
        }
        offset += static_cast<std::size_t>(consumed);
        if (entry && entry->type == FtpListingEntry::kDirectory && entry->name != "." &&
            entry->name != "..") {
            listEntries_.push_back(entry->name);
        }
    }
    listData_.erase(0, offset);
    return parsed;
}

void FTPGetListDirectory::stop(const std::optional<std::string>& status) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    if (status && *status != "Stopped") {
        bError_ = true;
        status_ = *status;
    } else {
        bError_ = false;
        status_ = "List succeeded";
    }
    receiving_ = false;
    if (networkStream_ && networkStream_->isRunning()) {
        networkStream_->cancel();
    }
    listData_.clear();
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
