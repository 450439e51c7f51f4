#pragma once

#include "Platform/network/FtpSecurity.h"
#include "Platform/runloop/Clock.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvaneh {

class FtpConnection;
class NetworkError;

// Downloads one file by FTP (the configuration fetch's catalogue). The file arrives beside
// its destination and replaces it only once whole, so a failure leaves the destination as it
// was. The login and password travel apart from the URL.
//
// Main run loop only. The completion is called once per start, on the main run loop and never
// from inside start() or stop(); destroying the object cancels the download and drops its
// completion.
class FtpGetFile {
public:
    using Completion = std::function<void(FtpGetFile& getter)>;

    // `urlFtp`: the file's URL as text (FTPGetListDirectory::stringToURL).
    FtpGetFile(std::string urlFtp, std::string pathFileDL, std::string login, std::string password,
               Completion didFinish, Seconds stallLimit = Seconds(60));
    ~FtpGetFile();
    FtpGetFile(const FtpGetFile&) = delete;
    FtpGetFile& operator=(const FtpGetFile&) = delete;

    // Starts the download (once); an invalid URL ends it with "Url invalide".
    void start();
    // Ends the download once (later calls do nothing): no status is a success, any other a
    // failure with that text.
    void stop(const std::optional<std::string>& status);
    bool isReceiving() const { return receiving_; }
    // Plain FTP unless set before start() (the site's choice).
    void setSecurity(FtpSecurity security) { security_ = security; }

    // The French text for a failed download: by the server's reply code (550, 530, other),
    // or the local write failure.
    static std::string statusForFailure(const NetworkError& failure);

    const std::string& urlFtp() const { return urlFtp_; }
    const std::string& pathFileDL() const { return pathFileDL_; }
    const std::string& statut() const { return statut_; }
    bool bError() const { return bError_; }

private:
    std::string urlFtp_;
    std::string pathFileDL_;
    std::string login_;
    std::string password_;
    Completion didFinish_;
    Seconds stallLimit_;
    FtpSecurity security_ = FtpSecurity::Plain;
    std::string statut_;
    bool bError_ = false;
    bool receiving_ = false;
    bool stopped_ = false;
    std::unique_ptr<FtpConnection> networkStream_;
    // Lets a posted completion know the object is still there.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace orvaneh
