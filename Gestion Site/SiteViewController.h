#pragma once

#include "Classes/core/SiteModel.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// The site editor: the site being edited and its save. Every way of storing a site (this
// screen, the command line) saves through it, so no site is stored without what its transport
// needs to reach its own server. The view shows message() after a save, as a banner.
class SiteViewController {
public:
    // A new site: saving adds it.
    SiteViewController() = default;
    // A stored site: saving rewrites it.
    explicit SiteViewController(SiteModel site);

    SiteModel& siteM() { return siteM_; }
    const SiteModel& siteM() const { return siteM_; }
    bool shouldUpdate() const { return shouldUpdate_; }

    // Types whose dictations or workflow travel to a server at the site's address: FTP (1),
    // web service (2, 7), transcription service (6).
    static bool needsAddress(std::int32_t typeSite);
    // Why this site cannot be stored, in French; "" when it can.
    static std::string problemWith(const SiteModel& site);

    // Stores the site when nothing is wrong with it (a new one gets its row id). False, with
    // nothing written, when it is refused or the database fails; message() says which.
    bool addOrModifySite();
    const std::string& message() const { return message_; }

private:
    SiteModel siteM_;
    bool shouldUpdate_ = false;
    std::string message_;
};

} // namespace orvaneh
