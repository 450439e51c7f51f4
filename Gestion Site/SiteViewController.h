#pragma once

#include "Classes/core/SiteModel.h"
#include "Classes/screens/SuperController.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvaneh {

// The site editor: the fields of one site, the transport selector (FTP, web service, its PHP
// variant, transcription service) with the e-mail switch, the FTPS choice of FTP sites, and the
// save. Every way of storing a site (this
// screen, the command line) saves through it, so no site is stored without what its transport needs to reach
// its own server. Refusals and the save are told as banners; message() keeps the last.
//
// The type saved comes from the selector (1, 2, 7, 6, or 4 when the e-mail switch is on; the
// switch is offered for the web services only). A site of a type the selector does not make
// (3, 5, 8) keeps it until the selector or the switch is touched, and is then checked only as
// the transports need (problemWith).
// Main run loop only.
class SiteViewController : public SuperController {
public:
    static constexpr int kSegmentCount = 4;

    // A new site: empty fields, FTP selected, switch disabled; saving adds it.
    SiteViewController();
    // A stored site (idSite 0: a site not stored yet, of the type given): its fields and its
    // type on the selector; saving rewrites it.
    explicit SiteViewController(SiteModel site);

    std::string screenName() const override { return "SiteViewController"; }
    // The site's name, or "Nouveau site".
    std::string title() const override;
    std::string saveButtonTitle() const;
    // Always asks: save, discard, or stay. Answers false; the screen closes itself later.
    bool viewShouldBackToParentView() override;

    // The text fields.
    const std::string& name() const { return name_; }
    const std::string& address() const { return address_; }
    const std::string& login() const { return login_; }
    const std::string& password() const { return password_; }
    void setName(std::string text);
    void setAddress(std::string text);
    void setLogin(std::string text);
    void setPassword(std::string text);

    // The selector: 0 FTP, 1 web service, 2 its PHP variant, 3 transcription service (-1: a
    // type without a segment).
    int segment() const { return segment_; }
    // A segment touched: clears address, login and password; the e-mail switch is offered for
    // the web services only. A segment past the last only clears.
    void changeSgmValue(int segment);
    bool emailSwitchOn() const { return emailSwitchOn_; }
    bool emailSwitchEnabled() const { return emailSwitchEnabled_; }
    void setEmailSwitchOn(bool on);
    // The FTPS choice, offered while the site is an FTP one (kept when the selector moves; a
    // site of another type is stored with plain FTP, which it never uses).
    FtpSecurity ftps() const { return ftps_; }
    void setFtps(FtpSecurity mode);
    bool ftpsOffered() const;
    // FtpsMode::plainWarning() while plain FTP is chosen for an FTP site, "" otherwise.
    std::string ftpsWarning() const;
    bool addressEnabled() const { return addressEnabled_; }
    const std::string& addressPlaceholder() const { return addressPlaceholder_; }

    // The site as last stored or opened (the fields are copied into it by a save).
    const SiteModel& siteM() const { return siteM_; }
    bool shouldUpdate() const { return shouldUpdate_; }

    // Types whose dictations or workflow travel to a server at the site's address.
    static bool needsAddress(std::int32_t typeSite);
    // Why this site cannot be stored as the transports need it, in French; "" when it can.
    static std::string problemWith(const SiteModel& site);

    // Why the fields cannot be saved, in French (the screen's checks in their order, then
    // problemWith); "" when they can. Shows and stores nothing.
    std::string pendingProblem() const;
    // Checks the fields, stores the site (a new one gets its row id; the very first site
    // becomes the default one) and closes the screen. False, with a banner and nothing written,
    // when it is refused or the database fails; message() says which.
    bool addOrModifySite();
    const std::string& message() const { return message_; }

    // Called when the screen closes itself (saved, or changes discarded).
    void setFinishedCallback(std::function<void()> callback) { finished_ = std::move(callback); }

private:
    struct Outcome {
        SiteModel site;
        std::string problem;
    };
    // The fields as they would be stored, or why they cannot be.
    Outcome prepared() const;
    void close();

    SiteModel siteM_;
    bool shouldUpdate_ = false;
    std::string name_;
    std::string address_;
    std::string login_;
    std::string password_;
    int segment_ = 0;
    bool emailSwitchOn_ = false;
    bool emailSwitchEnabled_ = false;
    FtpSecurity ftps_ = FtpSecurity::Plain;
    bool addressEnabled_ = true;
    std::string addressPlaceholder_;
    // The type saved is the selector's (false: the stored type is kept).
    bool typeFromSelector_ = true;
    std::string message_;
    std::function<void()> finished_;
    // Lets a late answer to the leave question know the screen is still there.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

} // namespace orvaneh
