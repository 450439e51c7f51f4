#include "Classes/transport/S7FTPRequest.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace orvaneh {

namespace {

namespace fs = std::filesystem;

// What an FTP command line cannot carry.
bool fitsInCommand(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

bool isFtpUrl(const std::string& url) {
    return url.size() > 6 && std::equal(url.begin(), url.begin() + 6, "ftp://", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

} // namespace

std::shared_ptr<S7FTPRequest> S7FTPRequest::requestWithURL(const std::string& ftpURL,
                                                           const std::string& filePath) {
    return std::make_shared<S7FTPRequest>(ftpURL, filePath);
}

S7FTPRequest::S7FTPRequest(std::string ftpURL, std::string filePath)
    : ftpURL_(std::move(ftpURL)), filePath_(std::move(filePath)) {}

S7FTPRequest::~S7FTPRequest() = default;

void S7FTPRequest::startRequest() {
    complete_ = false;
    fileSize_ = 0;
    bytesWritten_ = 0;
    status_ = Status::None;
    if (ftpURL_.empty() || filePath_.empty()) {
        failWithError({kErrorDomain, kUnableToCreateRequest, "Unable to create request (bad url?)", {}});
        return;
    }
    const std::string fileName = fs::path(filePath_).filename().string();
    if (fileName.empty()) {
        failWithError({kErrorDomain,
                       kInternalError,
                       "Unable to retrieve file name from file located at " + filePath_,
                       {}});
        return;
    }
    if (!isFtpUrl(ftpURL_)) {
        failWithError({kErrorDomain, kInternalError, "Unable to build URL to upload.", {}});
        return;
    }
    std::error_code error;
    const auto size = fs::file_size(filePath_, error);
    if (error) {
        failWithError({"PosixErrorDomain", error.value(), systemErrorText(error.value()), {}});
        return;
    }
    fileSize_ = size;
    notify(delegate_.willStart);
    if (complete_) {
        return;
    }
    if (!std::ifstream(filePath_, std::ios::binary)) {
        failWithError({kErrorDomain,
                       kUnableToCreateRequest,
                       "Cannot start reading the file located at " + filePath_ + " (bad path?).",
                       {}});
        return;
    }
    if (username_ && !fitsInCommand(*username_)) {
        failWithError({kErrorDomain,
                       kCredentials,
                       "Cannot apply the username \"" + *username_ + "\" to the FTP stream.",
                       {}});
        return;
    }
    // The description is logged: the password itself stays out of it.
    if (username_ && !fitsInCommand(password_)) {
        failWithError({kErrorDomain, kCredentials, "Cannot apply the password to the FTP stream.", {}});
        return;
    }
    connection_ = std::make_unique<FtpConnection>(RunLoop::main(), username_.value_or(""),
                                                  username_ ? password_ : "", stallLimit_);
    connection_->setSecurity(security_);
    FtpConnection::Callbacks callbacks;
    callbacks.willStart = [this](std::uint64_t) { setStatus(Status::Open); };
    callbacks.bytesWritten = [this](std::size_t block, std::uint64_t total, std::uint64_t) {
        bytesWritten_ = static_cast<std::int64_t>(block);
        byteWrittenTotal_ = total;
        setStatus(Status::Writing);
        notify(delegate_.bytesWritten);
    };
    callbacks.completion = [this](const std::optional<NetworkError>& failure) {
        if (failure) {
            failWithError(errorFor(*failure, filePath_));
        } else {
            finish();
        }
    };
    connection_->upload(ftpURL_, fileName, filePath_, std::move(callbacks));
}

void S7FTPRequest::cancel() {
    if (complete_ || cancelled_) {
        return;
    }
    failWithError({kErrorDomain, kCancelled, "The request was cancelled.", NetworkError::cancelled()});
    cancelled_ = true;
}

S7FTPRequest::Error S7FTPRequest::errorFor(const NetworkError& failure, const std::string& filePath) {
    switch (failure.kind()) {
    case NetworkFailure::CannotConnect:
        return {kErrorDomain, kConnectionFailure, "Cannot open FTP connection.", failure};
    case NetworkFailure::TimedOut:
        return {kErrorDomain, kTimedOut, "The request timed out.", failure};
    case NetworkFailure::Authentication:
        return {kErrorDomain, kAuthentication, "Authentication needed.", failure};
    case NetworkFailure::Cancelled:
        return {kErrorDomain, kCancelled, "The request was cancelled.", failure};
    case NetworkFailure::LocalRead:
        return {kErrorDomain, kConnectionFailure, "Cannot continue reading the file at " + filePath, failure};
    default:
        return {kErrorDomain, kConnectionFailure,
                "Cannot continue writing file to the specified URL at the FTP server.", failure};
    }
}

void S7FTPRequest::setStatus(Status status) {
    if (status != status_) {
        status_ = status;
        notify(delegate_.didChangeStatus);
    }
}

void S7FTPRequest::finish() {
    complete_ = true;
    cleanUp();
    setStatus(Status::Finished);
    notify(delegate_.didFinish);
}

void S7FTPRequest::failWithError(Error error) {
    complete_ = true;
    if (error_ || cancelled_) {
        return;
    }
    error_ = std::move(error);
    cleanUp();
    notify(delegate_.didFail);
}

void S7FTPRequest::cleanUp() {
    if (connection_) {
        connection_->cancel();
    }
}

void S7FTPRequest::notify(const Callback& callback) {
    if (!callback) {
        return;
    }
    RunLoop& main = RunLoop::main();
    if (main.isCurrentThread()) {
        // Kept alive through the call: the delegate may let go of its request.
        auto self = weak_from_this().lock();
        Callback copy = callback;
        copy(*this);
        return;
    }
    main.post([weak = weak_from_this(), callback] {
        if (auto self = weak.lock()) {
            callback(*self);
        }
    });
}

} // namespace orvaneh
