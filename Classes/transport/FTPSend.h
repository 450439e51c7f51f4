#pragma once

#include "Classes/transport/FTPCommunication.h"
#include "Classes/transport/S7FTPRequest.h"
#include "Platform/network/FtpSecurity.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

// The FTP upload of one dictation's job into the "import" directory of its site: the audio,
// the pictures, then the descriptor, one file after the other; the dictation is marked sent
// once the server has stored them all. Every outcome ends the attempt once ("EnvoiClose").
//
// Create it with make_shared on the sender's thread, which runs sendDictee (the preparation);
// the requests then run on the main run loop, where the object must be released.
class FTPSend : public FTPCommunication, public std::enable_shared_from_this<FTPSend> {
public:
    // The server parameters of this attempt, all from its own site.
    struct Parameters {
        std::string serverURL;
        std::string login;
        std::string password;
        FtpSecurity security = FtpSecurity::Plain;
    };

    explicit FTPSend(std::int32_t idDictee);
    ~FTPSend() override;

    const Parameters& parameters() const { return parameters_; }
    // "ftp://<address>/import", or "<address>/import" when the address has its "ftp://".
    static std::string serverURLForAddress(const std::string& address);

    // Takes the site's parameters; true when the URL, the login and the password are all
    // known. A site without an address has none: the dictation must never go to the server
    // of another site.
    bool getParamFTP();
    // getParamFTP, with an alert when it fails: the site has no address, or
    // "L'accès au ftp n'a pas été configuré !".
    bool isDicteeReadyToUploadWithId(std::int32_t idDictee);

    // On the sender's thread: prepares the job, then hands the uploads to the main run loop.
    void sendDictee();

    // The next file, or the success of the job when none is left.
    void uploadStart();
    void uploadFinished(S7FTPRequest& request);
    void uploadFailed(S7FTPRequest& request);
    void uploadWillStart(S7FTPRequest& request);
    void uploadBytesWritten(S7FTPRequest& request);
    void infoUploadOpen();
    void infoUploadClose();

    const std::vector<std::string>& filesToRemove() const { return filesToRemove_; }
    std::uint64_t ftpSizeFile() const { return ftpSizeFile_; }
    std::uint64_t ftpBytesUploaded() const { return ftpBytesUploaded_; }
    bool envoiFTP() const { return envoiFTP_; }

private:
    Parameters parameters_;
    bool siteWithoutAddress_ = false;
    std::shared_ptr<S7FTPRequest> ftpRequest_;
    std::vector<std::string> filesToRemove_;
    std::uint64_t ftpSizeFile_ = 0;
    std::uint64_t ftpBytesUploaded_ = 0;
    bool envoiFTP_ = false;
    // Files of the job, descriptor included: "EnvoiProgress" tells which one starts, of how many.
    std::size_t filesOfJob_ = 0;

    void startNextRequest();
    // Ends an attempt whose job could not be prepared.
    void abandon(const std::string& banner);
};

} // namespace orvaneh
