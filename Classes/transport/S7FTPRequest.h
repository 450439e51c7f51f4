#pragma once

#include "Platform/network/FtpConnection.h"
#include "Platform/network/NetworkError.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

// One FTP upload: a local file stored under its own name in a directory of the server. Used
// once. Create it with requestWithURL, start and cancel it on the main run loop; every
// delegate callback arrives there, after the call that caused it has returned or (for
// willStart and a refusal at start) during startRequest. Destroying it stops the transfer
// without any callback.
class S7FTPRequest : public std::enable_shared_from_this<S7FTPRequest> {
public:
    static constexpr const char* kErrorDomain = "S7FTPRequestErrorDomain";

    enum class Operation { Download = 0, Upload = 1, CreateDirectory = 2 };
    enum class Status { None = 0, Open = 1, Reading = 2, Writing = 3, Finished = 4 };

    // Codes of kErrorDomain.
    enum ErrorCode {
        kConnectionFailure = 1,
        kTimedOut = 2,
        kAuthentication = 3,
        kCancelled = 4,
        kUnableToCreateRequest = 5,
        kInternalError = 6,
        kCredentials = 7,
    };

    struct Error {
        std::string domain = kErrorDomain; // another domain for the file system's own errors
        int code = 0;
        std::string localizedDescription;
        // The network layer's account of the failure, when it came from the transfer.
        std::optional<NetworkError> networkError;
    };

    using Callback = std::function<void(S7FTPRequest&)>;
    struct Delegate {
        Callback didFinish;
        Callback didFail;
        Callback willStart;
        Callback didChangeStatus;
        Callback bytesWritten;
    };

    // An upload of `filePath` into the directory `ftpURL` ("ftp://host[:port]/dir").
    static std::shared_ptr<S7FTPRequest> requestWithURL(const std::string& ftpURL,
                                                        const std::string& filePath);
    S7FTPRequest(std::string ftpURL, std::string filePath);
    ~S7FTPRequest();
    S7FTPRequest(const S7FTPRequest&) = delete;
    S7FTPRequest& operator=(const S7FTPRequest&) = delete;

    // Credentials travel apart from the URL; no username means none is sent.
    void setUsername(std::optional<std::string> username) { username_ = std::move(username); }
    void setPassword(std::string password) { password_ = std::move(password); }
    void setDelegate(Delegate delegate) { delegate_ = std::move(delegate); }
    // No progress for this long fails the transfer with kTimedOut (the preference
    // "NetworkStallTimeout", 60 seconds when absent).
    void setStallLimit(Seconds limit) { stallLimit_ = limit; }
    // Plain FTP unless set (the site's choice).
    void setSecurity(FtpSecurity security) { security_ = security; }
    FtpSecurity security() const { return security_; }

    void startRequest();
    // Fails the request with kCancelled "The request was cancelled." unless it already ended.
    void cancel();
    void cancelRequest() { cancel(); }

    const std::string& ftpURL() const { return ftpURL_; }
    const std::string& filePath() const { return filePath_; }
    const std::string& directoryName() const { return directoryName_; }
    Operation operation() const { return operation_; }
    const std::optional<std::string>& username() const { return username_; }
    Status status() const { return status_; }
    std::uint64_t fileSize() const { return fileSize_; }
    // Bytes of the last block written, and of every block so far.
    std::int64_t bytesWritten() const { return bytesWritten_; }
    std::uint64_t byteWrittenTotal() const { return byteWrittenTotal_; }
    const std::optional<Error>& error() const { return error_; }
    bool complete() const { return complete_; }
    double timeOutSeconds() const { return timeOutSeconds_; }

private:
    std::string ftpURL_;
    std::string filePath_;
    std::string directoryName_;
    Operation operation_ = Operation::Upload;
    std::optional<std::string> username_;
    std::string password_;
    Status status_ = Status::None;
    std::uint64_t fileSize_ = 0;
    std::int64_t bytesWritten_ = 0;
    std::uint64_t byteWrittenTotal_ = 0;
    std::optional<Error> error_;
    bool complete_ = false;
    bool cancelled_ = false;
    double timeOutSeconds_ = 10.0; // kept for callers that read it; stalls go by stallLimit_
    Seconds stallLimit_{60};
    FtpSecurity security_ = FtpSecurity::Plain;
    Delegate delegate_;
    std::unique_ptr<FtpConnection> connection_;

    void setStatus(Status status);
    void finish();
    void failWithError(Error error);
    void cleanUp();
    void notify(const Callback& callback);
    static Error errorFor(const NetworkError& failure, const std::string& filePath);
};

} // namespace orvaneh
