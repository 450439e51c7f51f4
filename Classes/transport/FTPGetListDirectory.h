#pragma once

#include "Platform/network/FtpSecurity.h"
#include "Platform/runloop/Clock.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class FtpConnection;

// Lists the sub-directories of one FTP directory (the configuration fetch). The login and
// password travel apart from the URL, so they may hold any character.
//
// Main run loop only. The completion is called once per start, on the main run loop and never
// from inside start() or stop(); destroying the object cancels the listing and drops its
// completion.
class FTPGetListDirectory {
public:
    using Completion = std::function<void(FTPGetListDirectory& lister)>;

    // `host`: the directory's URL as text (see stringToURL).
    FTPGetListDirectory(std::string host, std::string login, std::string password, Completion didFinish,
                        Seconds stallLimit = Seconds(60));
    ~FTPGetListDirectory();
    FTPGetListDirectory(const FTPGetListDirectory&) = delete;
    FTPGetListDirectory& operator=(const FTPGetListDirectory&) = delete;

    // The URL an FTP text stands for: spaces and tabs trimmed, "ftp://" added when the text
    // names no scheme. Nothing for an empty text or another scheme than "ftp".
    static std::optional<std::string> stringToURL(const std::string& text);

    // Starts the listing (once); an invalid URL ends it with "URL invalide".
    void start();
    // Ends the listing once (later calls do nothing): a status other than none and "Stopped" is a failure
    // ("Requête annulée", "Listing parse failed", ...); otherwise it succeeded ("List succeeded").
    void stop(const std::optional<std::string>& status);
    bool isReceiving() const { return receiving_; }
    // Plain FTP unless set before start() (the site's choice).
    void setSecurity(FtpSecurity security) { security_ = security; }

    const std::string& host() const { return host_; }
    // Directory names, "." and ".." left out, as the server wrote them (UTF-8).
    const std::vector<std::string>& listEntries() const { return listEntries_; }
    const std::string& status() const { return status_; }
    bool bError() const { return bError_; }

private:
    // Takes every whole line of listData; false when one is in neither listing style.
    bool parseListData(bool endOfData);

    std::string host_;
    std::string login_;
    std::string password_;
    Completion didFinish_;
    Seconds stallLimit_;
    FtpSecurity security_ = FtpSecurity::Plain;
    std::string listData_;
    std::vector<std::string> listEntries_;
    std::string status_;
    bool bError_ = false;
    bool receiving_ = false;
    bool stopped_ = false;
    std::unique_ptr<FtpConnection> networkStream_;
    // Lets a posted completion know the object is still there.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace orvaneh
