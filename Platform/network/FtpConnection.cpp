#include "Platform/network/FtpConnection.h"

#include "Platform/network/CurlTransfer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvaneh {

namespace {

enum class LocalFault { None, Read, Write };

// Enough for any refusal's reason; a server that talks on is not kept in memory.
constexpr std::size_t kMaxReplyKept = 4096;

bool writeAll(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

struct FtpConnection::State : std::enable_shared_from_this<State> {
    State(RunLoop& loop, Operation op, std::string u, std::filesystem::path file, Callbacks c)
        : transfer(loop), operation(op), url(std::move(u)), localFile(std::move(file)),
          callbacks(std::move(c)) {}

    CurlTransfer transfer;
    const Operation operation;
    const std::string url;
    const std::filesystem::path localFile;
    Callbacks callbacks;
    std::atomic<bool> ended{false};
    // Worker only.
    int fd = -1;
    std::string temporaryFile;
    std::uint64_t fileSize = 0;
    std::uint64_t totalWritten = 0;
    std::size_t pendingBlock = 0;
    FtpSecurity security = FtpSecurity::Plain;
    bool tlsAccepted = false;
    bool loggedIn = false;
    std::string reply;    // the lines of the reply being received
    std::string openCode; // its code while more lines are to come
    std::string clearLoginRefusal;
    LocalFault fault = LocalFault::None;
    int faultErrno = 0;

    void configure(const std::string& login, const std::string& password, Seconds stallLimit,
                   Seconds fetchTimeLimit, std::size_t maxAnswerBytes, FtpSecurity ftpSecurity) {
        CURL* easy = transfer.handle();
        // An upload may be long but moving; what is fetched is bounded in time and size.
        const bool fetch = operation != Operation::Upload;
        transfer.setLimits(
            {fetch ? fetchTimeLimit : Seconds::zero(), stallLimit, stallLimit, maxAnswerBytes});
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
        if (!login.empty()) {
            curl_easy_setopt(easy, CURLOPT_USERNAME, login.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        }
        // A server that stops answering commands fails like a stalled transfer.
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         std::max(1L, static_cast<long>(stallLimit.count() + 0.5)));
        security = ftpSecurity;
        if (security != FtpSecurity::Plain) {
            // Both channels or none: the login, the files and the listings alike.
            curl_easy_setopt(easy, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
            curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
            transfer.verifyServerCertificates();
        }
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &State::receiveReply);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        if (operation == Operation::Upload) {
            curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, static_cast<long>(kBlockSize));
            curl_easy_setopt(easy, CURLOPT_READFUNCTION, &State::readBlock);
            curl_easy_setopt(easy, CURLOPT_READDATA, this);
        } else {
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &State::receive);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        }
    }

    // The server's replies, line by line: "ddd text", or "ddd-text" and more lines up to
    // "ddd text". 234 answers AUTH only: the server does speak TLS. Until 230 (or 232) the login
    // is not accepted: a refusal meanwhile on a control channel in clear is kept whole.
    static std::size_t receiveReply(char* bytes, std::size_t size, std::size_t count, void* user) {
        auto* state = static_cast<State*>(user);
        const std::string_view line(bytes, size * count);
        state->reply.append(line.substr(0, kMaxReplyKept - std::min(state->reply.size(), kMaxReplyKept)));
        const bool continued = line.size() >= 4 && line[3] == '-';
        if (state->openCode.empty() && continued) {
            state->openCode = line.substr(0, 3);
            return size * count;
        }
        if (!state->openCode.empty() && (continued || !line.starts_with(state->openCode))) {
            return size * count;
        }
        state->openCode.clear();
        const std::string_view code = std::string_view(state->reply).substr(0, 3);
        if (code == "234") {
            state->tlsAccepted = true;
        } else if (code == "230" || code == "232") {
            state->loggedIn = true;
            state->clearLoginRefusal.clear();
        } else if (!state->loggedIn && !state->tlsAccepted &&
                   (code.starts_with('4') || code.starts_with('5'))) {
            state->clearLoginRefusal = state->reply;
        }
        state->reply.clear();
        return size * count;
    }

    // curl asks for the next block only once the previous one is written out.
    static std::size_t readBlock(char* buffer, std::size_t size, std::size_t count, void* user) {
        auto* state = static_cast<State*>(user);
        state->reportBlock();
        ssize_t got = 0;
        do {
            got = ::read(state->fd, buffer, std::min(size * count, kBlockSize));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            state->fault = LocalFault::Read;
            state->faultErrno = errno;
            return CURL_READFUNC_ABORT;
        }
        state->pendingBlock = static_cast<std::size_t>(got);
        return state->pendingBlock;
    }

    void reportBlock() {
        if (pendingBlock == 0) {
            return;
        }
        totalWritten += pendingBlock;
        transfer.post(
            [this, self = shared_from_this(), block = pendingBlock, total = totalWritten, size = fileSize] {
                if (auto callback = transfer.callback(callbacks.bytesWritten)) {
                    callback(block, total, size);
                }
            });
        pendingBlock = 0;
    }

    static std::size_t receive(char* bytes, std::size_t size, std::size_t count, void* user) {
        auto* state = static_cast<State*>(user);
        std::size_t length = size * count;
        if (!state->transfer.acceptAnswerBytes(length)) {
            return 0;
        }
        if (state->operation == Operation::Download) {
            if (!writeAll(state->fd, bytes, length)) {
                state->fault = LocalFault::Write;
                state->faultErrno = errno;
                return 0;
            }
            return length;
        }
        state->transfer.post([state, self = state->shared_from_this(), chunk = std::string(bytes, length)] {
            if (auto callback = state->transfer.callback(state->callbacks.data)) {
                callback(chunk);
            }
        });
        return length;
    }

    void run() {
        std::optional<NetworkError> failure;
        if (operation == Operation::Upload) {
            failure = runUpload();
        } else if (operation == Operation::Download) {
            failure = runDownload();
        } else {
            failure = outcome(perform());
        }
        transfer.post([this, self = shared_from_this(), failure] { end(failure); });
    }

    // The transfer, asked again in clear when TLS was only wanted if offered and the server
    // turned AUTH TLS down. Nothing was sent by then: no login, no file byte.
    CURLcode perform() {
        CURLcode code = performOnce();
        if (code == CURLE_USE_SSL_FAILED && security == FtpSecurity::TlsWhenOffered && !tlsAccepted) {
            curl_easy_setopt(transfer.handle(), CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_NONE));
            code = performOnce();
        }
        return code;
    }

    CURLcode performOnce() {
        loggedIn = false;
        reply.clear();
        openCode.clear();
        clearLoginRefusal.clear();
        return transfer.perform();
    }

    std::optional<NetworkError> runUpload() {
        fd = ::open(localFile.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat status {};
        if (fd < 0 || ::fstat(fd, &status) != 0) {
            auto error = NetworkError::localRead(localFile, errno);
            closeFile();
            return error;
        }
        fileSize = static_cast<std::uint64_t>(status.st_size);
        curl_easy_setopt(transfer.handle(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(fileSize));
        transfer.post([this, self = shared_from_this(), size = fileSize] {
            if (auto callback = transfer.callback(callbacks.willStart)) {
                callback(size);
            }
        });
        CURLcode code = perform();
        if (code == CURLE_OK) {
            reportBlock(); // the last block: with the size known, curl asks for no more
        }
        closeFile();
        return outcome(code);
    }

    std::optional<NetworkError> runDownload() {
        temporaryFile = localFile.string() + ".part-XXXXXX";
        fd = ::mkstemp(temporaryFile.data());
        if (fd < 0) {
            return NetworkError::localWrite(localFile, errno);
        }
        auto failure = outcome(perform());
        if (::close(fd) != 0 && !failure) {
            failure = NetworkError::localWrite(localFile, errno);
        }
        fd = -1;
        if (!failure && ::rename(temporaryFile.c_str(), localFile.c_str()) != 0) {
            failure = NetworkError::localWrite(localFile, errno);
        }
        if (failure) {
            ::unlink(temporaryFile.c_str());
        }
        return failure;
    }

    std::optional<NetworkError> outcome(CURLcode code) const {
        if (fault == LocalFault::Read) {
            return NetworkError::localRead(localFile, faultErrno);
        }
        if (fault == LocalFault::Write) {
            return NetworkError::localWrite(localFile, faultErrno);
        }
        if (code != CURLE_OK) {
            return transfer.limitFailure().value_or(
                NetworkError::fromCurl(code, transfer.replyCode(), clearLoginRefusal));
        }
        return std::nullopt;
    }

    void closeFile() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    // On the loop: the last delivery; the callbacks are let go afterwards.
    void end(const std::optional<NetworkError>& failure) {
        auto completion = transfer.callback(callbacks.completion);
        releaseCallbacks();
        if (completion) {
            completion(failure);
        }
    }

    void releaseCallbacks() {
        ended = true;
        Callbacks released;
        transfer.locked([&] { std::swap(released, callbacks); });
    }
};

FtpConnection::FtpConnection(RunLoop& loop, std::string login, std::string password, Seconds stallLimit)
    : loop_(loop), login_(std::move(login)), password_(std::move(password)), stallLimit_(stallLimit) {}

FtpConnection::~FtpConnection() {
    cancel();
}

void FtpConnection::setFetchLimits(Seconds total, std::size_t maxAnswerBytes) {
    fetchTimeLimit_ = total;
    maxAnswerBytes_ = maxAnswerBytes;
}

void FtpConnection::upload(const std::string& directoryUrl, const std::string& fileName,
                           const std::filesystem::path& localFile, Callbacks callbacks) {
    std::string url = directoryUrl;
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    char* escaped = curl_easy_escape(nullptr, fileName.data(), static_cast<int>(fileName.size()));
    url += escaped != nullptr ? escaped : "";
    curl_free(escaped);
    start(Operation::Upload, std::move(url), localFile, std::move(callbacks));
}

void FtpConnection::download(const std::string& url, const std::filesystem::path& localFile,
                             Callbacks callbacks) {
    start(Operation::Download, url, localFile, std::move(callbacks));
}

void FtpConnection::list(const std::string& directoryUrl, Callbacks callbacks) {
    std::string url = directoryUrl;
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    start(Operation::List, std::move(url), {}, std::move(callbacks));
}

void FtpConnection::start(Operation operation, std::string url, std::filesystem::path localFile,
                          Callbacks callbacks) {
    cancel();
    state_ =
        std::make_shared<State>(loop_, operation, std::move(url), std::move(localFile), std::move(callbacks));
    state_->configure(login_, password_, stallLimit_, fetchTimeLimit_, maxAnswerBytes_, security_);
    auto* state = state_.get();
    if (!state->transfer.start(state_, [state] { state->run(); })) {
        state->transfer.post([state, self = state_] { state->end(NetworkError::notStarted()); });
    }
}

void FtpConnection::cancel() {
    if (state_) {
        state_->transfer.cancel();
        state_->releaseCallbacks();
    }
}

bool FtpConnection::isRunning() const {
    return state_ && !state_->ended;
}

} // namespace orvaneh
