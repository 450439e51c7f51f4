#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvaneh {

// What went wrong with a network operation, in the system's own terms.
enum class NetworkFailure {
    CannotConnect,      // no connection could be made (host unknown, refused, secure handshake failed)
    TimedOut,           // total time-out reached, or no progress for the stall limit
    Authentication,     // login refused (FTP 530)
    MissingFile,        // file or directory absent on the server (FTP 550)
    Cancelled,          // cancelled by the caller (the connections themselves never report it)
    LocalRead,          // the local file could not be read
    LocalWrite,         // the local file could not be written
    Certificate,        // the server's certificate is not trusted
    Unencrypted,        // the server would not encrypt what the site requires encrypted (FTPS)
    EncryptionRequired, // the server turned down a login in clear: it takes FTPS only
    TooLarge,           // the answer went past the size the system holds
    Other,
};

// A failed network operation: its kind, the last reply code of the server (FTP reply code,
// or HTTP status; 0 when the server never answered) and a French text for the user.
//
// Every libcurl result is translated here and nowhere else.
class NetworkError {
public:
    NetworkError(NetworkFailure kind, long replyCode, std::string text);

    // The error for libcurl result `curlCode` (a CURLcode; never CURLE_OK) after the server's
    // last reply `replyCode`. The FTP replies 530 and 550 decide the kind whatever the code,
    // except when `clearLoginRefusal`, the FTP reply (code and text) that refused the login on a
    // control channel in clear, asks for encryption (SSL, TLS, ...).
    static NetworkError fromCurl(int curlCode, long replyCode, std::string_view clearLoginRefusal = {});
    // Whether an FTP reply refusing a login says that the server wants encryption.
    static bool asksForEncryption(std::string_view reply);
    static NetworkError cancelled();
    // No worker thread could be started for the operation.
    static NetworkError notStarted();
    static NetworkError localRead(const std::filesystem::path& file, int errorNumber);
    static NetworkError localWrite(const std::filesystem::path& file, int errorNumber);
    // The answer went past `limit` bytes and was dropped.
    static NetworkError answerTooLarge(std::size_t limit);

    NetworkFailure kind() const { return kind_; }
    long replyCode() const { return replyCode_; }
    const std::string& text() const { return text_; }

private:
    NetworkFailure kind_;
    long replyCode_;
    std::string text_;
};

} // namespace orvaneh
