#pragma once

#include "Classes/transport/FTPCommunication.h"
#include "Platform/network/FtpSecurity.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {

class FTPGetListDirectory;
class FtpGetFile;

// What asked FTPGet for a configuration fetch (the site list). Called on the main run loop,
// after "DownLoadFinished" was posted and the user was told; each fetch ends with exactly one
// of the three calls. The delegate may destroy the FTPGet from inside any of them.
class FTPGetDelegate {
public:
    virtual ~FTPGetDelegate() = default;
    // The sub-directory names of a listing that succeeded (possibly none).
    virtual void listDirectoriesDownloadFinished(const std::vector<std::string>& directories) = 0;
    // A catalogue was downloaded and replaced the workflow directory.
    virtual void catalogueImported() {}
    // A listing or a download that failed or was cancelled, with the text shown to the user.
    // The workflow directory is untouched.
    virtual void ftpGetFailed(const std::string& message) { (void)message; }
};

// The configuration fetch by FTP: lists the sub-directories of the server's "config"
// directory and downloads a catalogue, which it imports. URLs carry no credentials: the login
// and password are given here, with the site's FTP security. One lister and one getter at a time; starting
// one releases the previous one. Main run loop only; destroying the object cancels what runs, silently.
class FTPGet : public FTPCommunication {
public:
    FTPGet(std::string login, std::string password, FtpSecurity security, FTPGetDelegate* delegate = nullptr);
    ~FTPGet() override;

    void setDelegate(FTPGetDelegate* delegate) { delegateObj_ = delegate; }
    // Lists the sub-directories of `url` (text, "ftp://" optional); the names go to the
    // delegate's listDirectoriesDownloadFinished, a failure to an alert.
    void getListDirectories(const std::string& url);
    // Downloads `url` to "/Catalogue.xml" in the documents directory and imports it
    // (Entity::importCatalogue: a catalogue that does not parse changes nothing).
    void getCatalogueWithUrl(const std::string& url);
    // Stops a running listing and download with "Requête annulée", reported as failures.
    void cancelRequest();
    bool isReceiving() const;
    // The names of the last listing that succeeded.
    const std::vector<std::string>& resultFromRequest() const { return resultFromRequest_; }

private:
    void requestListDirectoriesFinished(FTPGetListDirectory& lister);
    void downloadFinished(FtpGetFile& getter);
    // Runs the network check for `url` off the main run loop (it may resolve a name), then
    // `next` on the main run loop when the network is available; otherwise reports why.
    void checkNetworkThen(const std::string& url, std::function<void()> next);
    // Tells the user and the delegate that the fetch failed before anything was started.
    void reportFailure(const std::string& message);

    std::string login_;
    std::string password_;
    FtpSecurity security_;
    FTPGetDelegate* delegateObj_ = nullptr;
    std::unique_ptr<FTPGetListDirectory> ftpGetListDir_;
    std::unique_ptr<FtpGetFile> ftpGetFile_;
    std::vector<std::string> resultFromRequest_;
    bool checking_ = false;
    std::uint64_t generation_ = 0; // of the latest start or cancellation
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::jthread networkCheck_; // joined before the members above go
};

} // namespace orvaneh
