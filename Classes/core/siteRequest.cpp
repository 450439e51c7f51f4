#include "Classes/core/siteRequest.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FtpsMode.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

namespace orvaneh {

namespace {

constexpr const char* kInsertSql =
    "INSERT INTO site(name,address,login,mdp,type,email,ftps) Values(?,?,?,?,?,?,?)";

// A query for the columns readSite takes, in its order, whatever order the table has them in.
std::string siteQuery(std::string_view condition) {
    return "select idSite,name,address,login,mdp,type,selected,email,ftps from site" + std::string(condition);
}

// A site's passwords are masked in the log from the moment the site is seen, the one written
// in its address too.
void registerSecrets(const SiteModel& site) {
    Log::registerSecret(site.mdp);
    Log::registerSecret(site.passwordInAddress());
}

SiteModel readSite(const SqlStatement& row) {
    SiteModel site;
    site.idSite = static_cast<std::int32_t>(row.columnInt(0));
    site.name = row.columnText(1);
    site.address = row.columnText(2);
    site.login = row.columnText(3);
    site.mdp = row.columnText(4);
    site.typeSite = static_cast<std::int32_t>(row.columnInt(5));
    site.selected = row.columnInt(6) != 0;
    site.emailPropose = row.columnInt(7) != 0;
    site.ftps = FtpsMode::fromStored(row.columnInt(8));
    registerSecrets(site);
    return site;
}

// Positions 1 to 5, shared by the insert and the update. Always text, never NULL: the columns
// are NOT NULL and a NULL would lose the whole row.
void bindSiteFields(SqlStatement& statement, const SiteModel& site) {
    statement.bindText(1, std::string_view(site.name));
    statement.bindText(2, std::string_view(site.address));
    statement.bindText(3, std::string_view(site.login));
    statement.bindText(4, std::string_view(site.mdp));
    statement.bindInt(5, site.typeSite);
}

} // namespace

std::int32_t siteRequest::addSite(const SiteModel& site) {
    registerSecrets(site);
    auto query = prepare(kInsertSql, "Problème lors de la requête : \"INSERT INTO\" !,  ",
                         ", " + std::string(kInsertSql));
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    bindSiteFields(statement, site);
    statement.bindInt(6, site.emailPropose ? 1 : 0);
    statement.bindInt(7, FtpsMode::stored(site.ftps));
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage() +
                   " , " + kInsertSql);
        return 0;
    }
    return static_cast<std::int32_t>(query->connection().lastInsertRowId());
}

void siteRequest::updateSite(const SiteModel& site) {
    registerSecrets(site);
    auto query = prepare("UPDATE site Set name = ?, address = ?, login = ?, mdp = ?, type = ?, "
                         "selected = ?, email = ?, ftps = ? WHERE idSite = ?");
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    bindSiteFields(statement, site);
    statement.bindInt(6, site.selected ? 1 : 0);
    statement.bindInt(7, site.emailPropose ? 1 : 0);
    statement.bindInt(8, FtpsMode::stored(site.ftps));
    statement.bindInt(9, site.idSite);
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage());
    }
}

void siteRequest::unselectSite() {
    auto query = prepare("UPDATE site Set selected = 0 WHERE selected = 1");
    if (!query) {
        return;
    }
    if (query->statement().step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage());
    }
}

std::vector<SiteModel> siteRequest::select(const std::string& sql, std::optional<std::int64_t> parameter,
                                           bool firstOnly, Missing missing) {
    std::vector<SiteModel> sites;
    auto query = prepare(sql);
    if (!query) {
        return sites;
    }
    SqlStatement& statement = query->statement();
    if (parameter) {
        statement.bindInt(1, *parameter);
    }
    while (statement.step() == SqlStatement::Step::Row) {
        sites.push_back(readSite(statement));
        if (firstOnly) {
            break;
        }
    }
    if (sites.empty() && missing == Missing::Logged) {
        Log::write(std::string(kPrepareFailureLog) + query->connection().errorMessage());
    }
    return sites;
}

SiteModel siteRequest::selectDefaultSite() {
    auto sites = select(siteQuery(" where selected = 1"), std::nullopt, true, Missing::Silent);
    return sites.empty() ? SiteModel{} : sites.front();
}

SiteModel siteRequest::selectSiteWithId(std::int32_t idSite) {
    Log::write("selectSiteWithId Id : " + std::to_string(idSite));
    if (idSite == 0) {
        return {};
    }
    auto sites = select(siteQuery(" where idSite = ?"), idSite, true, Missing::Logged);
    return sites.empty() ? SiteModel{} : sites.front();
}

SiteModel siteRequest::selectSiteVelmoraIfExist() {
    auto sites = select(siteQuery(" where type = ?"), SiteType::TranscriptionService, true, Missing::Logged);
    return sites.empty() ? SiteModel{} : sites.front();
}

std::vector<SiteModel> siteRequest::selectSites() {
    return select(siteQuery(""), std::nullopt, false, Missing::Silent);
}

bool siteRequest::deleteSiteWithId(std::int32_t idSite) {
    auto query = prepare("delete from site where idSite = ?");
    if (!query) {
        return false;
    }
    query->statement().bindInt(1, idSite);
    // A statement that removed nothing did not delete a site: callers tell the user so.
    if (query->statement().step() == SqlStatement::Step::Done && query->connection().changes() > 0) {
        Log::write("Le site a été supprimé de la BDD !");
        return true;
    }
    Log::write("Le site n'a pas été supprimé de la BDD  : " + query->connection().errorMessage());
    return false;
}

SiteModel siteRequest::destinationForDictation(std::int32_t dictationSiteId) {
    siteRequest sites;
    if (ConfigurationManager::shouldLinkDictationToSite() && dictationSiteId >= 1) {
        return sites.selectSiteWithId(dictationSiteId);
    }
    return sites.selectDefaultSite();
}

} // namespace orvaneh
