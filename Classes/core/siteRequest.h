#pragma once

#include "Classes/core/Request.h"
#include "Classes/core/SiteModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The site table. Reads take the first matching row; nothing in the table enforces a single
// default site, the site list clears the mark (unselectSite) before storing a new one.
//
// Passwords live in the desktop's keyring when there is one (StoredPasswords, item "site/<id>"):
// the table's mdp is then empty and reads fill it from the keyring, or mark it unavailable
// (SiteModel::mdpUnavailable) when the keyring is out of reach. Writes put a new password in the
// keyring, or in the table when none answers.
class siteRequest : public Request {
public:
    // Stores the site, not selected. The new row id, 0 on failure.
    std::int32_t addSite(const SiteModel& site);
    // Rewrites every column of the row site.idSite, the mark included.
    void updateSite(const SiteModel& site);
    void unselectSite();
    // Empty records (idSite 0, typeSite -1) when nothing matches.
    SiteModel selectDefaultSite();
    SiteModel selectSiteWithId(std::int32_t idSite);
    SiteModel selectSiteVelmoraIfExist();
    std::vector<SiteModel> selectSites();
    // True when a row was removed. Dictations that refer to the site keep their idSite.
    bool deleteSiteWithId(std::int32_t idSite);

    // At start-up: the table's passwords go to the keyring when one is wanted; when the
    // preference refuses it, the keyring's come back to the table. True while passwords of
    // sites remain in the keyring.
    bool placePasswords();

    // Where a dictation goes: the default site, or its own site when "LinkDictationToSite"
    // is on and it has one. An empty record means no usable site, or sites that could not be
    // read: `unreadable` then receives why.
    static SiteModel destinationForDictation(std::int32_t dictationSiteId,
                                             std::optional<SqlConnection::Failure>* unreadable = nullptr);

private:
    // Sets the row's password where it still is `expected`; true when a row changed.
    bool setTablePassword(std::int32_t idSite, const std::string& mdp, const std::string& expected);
    // Empties the legacy FTP account's password where it is one now kept in the keyring.
    void forgetLegacyCopy(const std::string& mdp);
    enum class Missing { Silent, Logged };
    std::vector<SiteModel> select(const std::string& sql, std::optional<std::int64_t> parameter,
                                  bool firstOnly, Missing missing);
};

} // namespace orvaneh
