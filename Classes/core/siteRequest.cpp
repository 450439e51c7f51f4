#include "Classes/core/siteRequest.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FtpsMode.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/StoredPasswords.h"
#include "Platform/log/Log.h"

#include <algorithm>

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

std::string passwordItem(std::int32_t idSite) {
    return "site/" + std::to_string(idSite);
}

std::string passwordLabel(const SiteModel& site) {
    return "Orvaneh : mot de passe du site « " + site.name + " »";
}

// Sites that log in to a server, and so cannot do without their password.
bool reachesServer(std::int32_t typeSite) {
    const auto* type = SiteType::find(typeSite);
    return type != nullptr && type->transport != SiteType::Transport::None;
}

// An empty password in the table is the keyring's, once the profile keeps passwords there.
void fillPasswordFromKeyring(SiteModel& site) {
    if (!site.mdp.empty() || !StoredPasswords::profileUsesKeyring()) {
        return;
    }
    const auto found = StoredPasswords::read(passwordItem(site.idSite));
    if (found.status == SecretStore::Status::Found) {
        site.mdp = found.secret;
    } else if (found.status == SecretStore::Status::Unavailable && reachesServer(site.typeSite)) {
        site.mdpUnavailable = true;
    }
}

// What the table keeps of the site's password: "" once the keyring has it. A password left out
// of reach stays where it is.
std::string passwordForTable(const SiteModel& site) {
    const std::string item = passwordItem(site.idSite);
    if (site.mdpUnavailable && site.mdp.empty()) {
        return {};
    }
    if (!site.mdp.empty() && StoredPasswords::keyringWanted() &&
        StoredPasswords::keep(item, passwordLabel(site), site.mdp)) {
        return {};
    }
    // The keyring's copy, if any, would be taken for this one when the table's is empty.
    if (StoredPasswords::profileUsesKeyring()) {
        StoredPasswords::forget(item);
    }
    return site.mdp;
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
    fillPasswordFromKeyring(site);
    registerSecrets(site);
    return site;
}

// Positions 1 to 5, shared by the insert and the update. Always text, never NULL: the columns
// are NOT NULL and a NULL would lose the whole row.
void bindSiteFields(SqlStatement& statement, const SiteModel& site, const std::string& mdp) {
    statement.bindText(1, std::string_view(site.name));
    statement.bindText(2, std::string_view(site.address));
    statement.bindText(3, std::string_view(site.login));
    statement.bindText(4, std::string_view(mdp));
    statement.bindInt(5, site.typeSite);
}

} // namespace

std::int32_t siteRequest::addSite(const SiteModel& site) {
    registerSecrets(site);
    // With a keyring the row is made without its password, which then goes to the keyring under
    // the row's id: it never touches the database file.
    const bool toKeyring = !site.mdp.empty() && StoredPasswords::keyringWanted();
    auto query = prepare(kInsertSql, "Problème lors de la requête : \"INSERT INTO\" !,  ",
                         ", " + std::string(kInsertSql));
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    bindSiteFields(statement, site, toKeyring ? std::string() : site.mdp);
    statement.bindInt(6, site.emailPropose ? 1 : 0);
    statement.bindInt(7, FtpsMode::stored(site.ftps));
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage() +
                   " , " + kInsertSql);
        return 0;
    }
    const auto idSite = static_cast<std::int32_t>(query->connection().lastInsertRowId());
    query.reset();
    if (toKeyring) {
        SiteModel stored = site;
        stored.idSite = idSite;
        if (!StoredPasswords::keep(passwordItem(idSite), passwordLabel(stored), site.mdp) &&
            !setTablePassword(idSite, site.mdp, {})) {
            // Not kept anywhere: no site rather than a site without its password.
            deleteSiteWithId(idSite);
            return 0;
        }
    } else if (StoredPasswords::profileUsesKeyring()) {
        // A deleted site's password, left in a keyring then out of reach, is not this one's.
        StoredPasswords::forget(passwordItem(idSite));
    }
    return idSite;
}

bool siteRequest::setTablePassword(std::int32_t idSite, const std::string& mdp, const std::string& expected) {
    auto query = prepare("UPDATE site Set mdp = ? WHERE idSite = ? AND mdp = ?");
    if (!query) {
        return false;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, mdp);
    statement.bindInt(2, idSite);
    statement.bindText(3, expected);
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"UPDATE site\" !, " + query->connection().errorMessage());
        noteFailure();
        return false;
    }
    return query->connection().changes() > 0;
}

void siteRequest::forgetLegacyCopy(const std::string& mdp) {
    // The first site was made from the legacy account, whose copy nothing reads any more: left in
    // the file, it would keep in clear the password the keyring now guards.
    auto connection = connect();
    if (!connection) {
        return;
    }
    // Quietly: a file without the legacy table has no copy.
    SqlStatement statement(*connection, "UPDATE parametre SET ftpMdp = '' WHERE ftpMdp = ?");
    if (statement.prepared()) {
        statement.bindText(1, mdp);
        statement.step();
    }
}

void siteRequest::updateSite(const SiteModel& site) {
    registerSecrets(site);
    const std::string mdp = passwordForTable(site);
    auto query = prepare("UPDATE site Set name = ?, address = ?, login = ?, mdp = ?, type = ?, "
                         "selected = ?, email = ?, ftps = ? WHERE idSite = ?");
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    bindSiteFields(statement, site, mdp);
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
        if (StoredPasswords::profileUsesKeyring()) {
            StoredPasswords::forget(passwordItem(idSite));
        }
        return true;
    }
    Log::write("Le site n'a pas été supprimé de la BDD  : " + query->connection().errorMessage());
    return false;
}

bool siteRequest::placePasswords() {
    std::vector<SiteModel> rows;
    {
        auto connection = connect();
        if (!connection) {
            return StoredPasswords::profileUsesKeyring();
        }
        // Quietly: a file without the site table has no password to place.
        SqlStatement statement(*connection, "select idSite, name, mdp from site");
        if (!statement.prepared()) {
            return StoredPasswords::profileUsesKeyring();
        }
        while (statement.step() == SqlStatement::Step::Row) {
            SiteModel site;
            site.idSite = static_cast<std::int32_t>(statement.columnInt(0));
            site.name = statement.columnText(1);
            site.mdp = statement.columnText(2);
            Log::registerSecret(site.mdp);
            rows.push_back(std::move(site));
        }
    }
    const auto inTable = [](const SiteModel& site) { return !site.mdp.empty(); };
    if (std::any_of(rows.begin(), rows.end(), inTable) && StoredPasswords::keyringWanted()) {
        int moved = 0;
        for (const auto& site : rows) {
            // Emptied only where the table still holds what the keyring confirmed.
            if (inTable(site) &&
                StoredPasswords::keep(passwordItem(site.idSite), passwordLabel(site), site.mdp) &&
                setTablePassword(site.idSite, {}, site.mdp)) {
                forgetLegacyCopy(site.mdp);
                ++moved;
            }
        }
        Log::write("Trousseau du bureau : " + std::to_string(moved) +
                   " mot(s) de passe de site y sont passés.");
        return true;
    }
    if (!StoredPasswords::profileUsesKeyring()) {
        return false;
    }
    if (!StoredPasswords::keyringRefused()) {
        return true;
    }
    bool left = false;
    for (const auto& site : rows) {
        if (inTable(site)) {
            continue;
        }
        const std::string item = passwordItem(site.idSite);
        const auto found = StoredPasswords::read(item);
        if (found.status == SecretStore::Status::Found) {
            // Cleared from the keyring only once the table has it.
            left = !setTablePassword(site.idSite, found.secret, {}) || !StoredPasswords::forget(item) || left;
        } else if (found.status == SecretStore::Status::Unavailable) {
            left = true;
        }
    }
    return left;
}

SiteModel siteRequest::destinationForDictation(std::int32_t dictationSiteId,
                                               std::optional<SqlConnection::Failure>* unreadable) {
    siteRequest sites;
    const SiteModel site = ConfigurationManager::shouldLinkDictationToSite() && dictationSiteId >= 1
                               ? sites.selectSiteWithId(dictationSiteId)
                               : sites.selectDefaultSite();
    if (unreadable != nullptr) {
        *unreadable = sites.failure();
    }
    return site;
}

} // namespace orvaneh
