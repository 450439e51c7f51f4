#pragma once

#include "Platform/network/FtpSecurity.h"
#include "Platform/network/NetworkError.h"
#include "Platform/network/NetworkLimits.h"
#include "Platform/runloop/Clock.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

class RunLoop;

// Asynchronous FTP operations (upload, download, directory listing), always in passive mode,
// each run on a worker thread of its own.
//
// The login and password are given apart from the URLs, so they may hold "@", ":" or "/";
// an empty login means none is sent (anonymous, or the credentials written in the URL).
// URLs are "ftp://host[:port]/path", percent-encoded. Plain FTP unless setSecurity asks for
// TLS (see FtpSecurity); the preference "TrustedCertificatesFile" then adds certificate
// authorities to the system's, as for HTTPS.
//
// One operation at a time: starting one cancels the one running. Callbacks arrive on the
// loop given at construction; completion comes exactly once per operation that is not
// cancelled, after every other callback of it. Use the object from one thread at a time;
// cancel() and destruction give their guarantee on the loop's thread (from another thread, a
// callback already running may end after they return). The loop must outlive the object.
// Destroying it cancels the running operation.
class FtpConnection {
public:
    static constexpr std::size_t kBlockSize = 32768;

    struct Callbacks {
        // Upload: the local file's size, before the first byte goes out.
        std::function<void(std::uint64_t fileSize)> willStart;
        // Upload: one block of at most kBlockSize bytes was written to the server.
        std::function<void(std::size_t blockBytes, std::uint64_t totalBytes, std::uint64_t fileSize)>
            bytesWritten;
        // Listing: raw bytes of the LIST answer as they arrive (see FtpListingParser).
        std::function<void(const std::string& bytes)> data;
        // The outcome: no value on success; the failure carries the last FTP reply code.
        std::function<void(const std::optional<NetworkError>& failure)> completion;
    };

    FtpConnection(RunLoop& loop, std::string login, std::string password, Seconds stallLimit = Seconds(60));
    // For the operations started afterwards: the longest a listing or download may take in all,
    // and the most bytes it may bring (a longer one fails as too large).
    void setFetchLimits(Seconds total, std::size_t maxAnswerBytes);
    // For the operations started afterwards (Plain until set). With TlsWhenOffered, a server
    // that refuses AUTH TLS is connected to again in clear; one that accepts it but refuses to
    // encrypt the data connection fails the operation, as TlsRequired does.
    void setSecurity(FtpSecurity security) { security_ = security; }
    FtpSecurity security() const { return security_; }
    ~FtpConnection();
    FtpConnection(const FtpConnection&) = delete;
    FtpConnection& operator=(const FtpConnection&) = delete;

    // Stores `localFile` as `fileName` (any characters; escaped here) in the directory
    // `directoryUrl`, streaming it in blocks of kBlockSize bytes.
    void upload(const std::string& directoryUrl, const std::string& fileName,
                const std::filesystem::path& localFile, Callbacks callbacks);
    // Fetches `url` into `localFile`: written to a temporary file beside it and renamed only
    // when the whole file arrived, so a failure leaves `localFile` as it was.
    void download(const std::string& url, const std::filesystem::path& localFile, Callbacks callbacks);
    // The LIST answer for the directory `directoryUrl` (a final "/" is added when missing).
    void list(const std::string& directoryUrl, Callbacks callbacks);

    // Stops the running operation; no callback of it is delivered after this returns.
    void cancel();
    // True from the start of an operation until its completion is delivered or it is cancelled.
    bool isRunning() const;

private:
    struct State;
    enum class Operation { Upload, Download, List };

    void start(Operation operation, std::string url, std::filesystem::path localFile, Callbacks callbacks);

    RunLoop& loop_;
    std::string login_;
    std::string password_;
    Seconds stallLimit_;
    Seconds fetchTimeLimit_ = kFetchTimeLimit;
    std::size_t maxAnswerBytes_ = kMaxAnswerBytes;
    FtpSecurity security_ = FtpSecurity::Plain;
    std::shared_ptr<State> state_;
};

} // namespace orvaneh
