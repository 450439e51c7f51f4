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

    // Where a dictation goes: the default site, or its own site when "LinkDictationToSite"
    // is on and it has one. An empty record means no usable site.
    static SiteModel destinationForDictation(std::int32_t dictationSiteId);

private:
    enum class Missing { Silent, Logged };
    std::vector<SiteModel> select(const std::string& sql, std::optional<std::int64_t> parameter,
                                  bool firstOnly, Missing missing);
};

} // namespace orvaneh
