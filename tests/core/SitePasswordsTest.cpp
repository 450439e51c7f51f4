// Where the site table's passwords live with a keyring that fails on cue.
#include "Classes/core/StoredPasswords.h"
#include "Classes/core/siteRequest.h"
#include "support/FakeSecretStore.h"
#include "support/TestDatabase.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

class SitePasswordsTest : public ::testing::Test {
protected:
    SitePasswordsTest() { SecretStore::install(keyring); }
    ~SitePasswordsTest() override { SecretStore::install(nullptr); }

    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    std::shared_ptr<test::FakeSecretStore> keyring = std::make_shared<test::FakeSecretStore>();
    siteRequest sites;

    static SiteModel ftpSite(const std::string& password) {
        return SiteModel{0, "Cabinet", "ftp.example.fr", "jean", password, 1, false, false};
    }
    static std::string inTable(std::int32_t idSite) {
        const auto found = test::rows("select mdp from site where idSite = " + std::to_string(idSite));
        return found.empty() ? "(pas de site)" : found.front().at(0);
    }
    // A site stored while no keyring answered.
    std::int32_t tableSite(const std::string& password) {
        keyring->reachable = false;
        const auto id = sites.addSite(ftpSite(password));
        keyring->reachable = true;
        return id;
    }
};

TEST_F(SitePasswordsTest, AProfileThatNeverUsedAKeyringNeverAsksOne) {
    keyring->reachable = false;
    const auto id = sites.addSite(ftpSite("secret"));
    const auto empty = sites.addSite(ftpSite(""));
    EXPECT_EQ(inTable(id), "secret");
    EXPECT_EQ(sites.selectSiteWithId(id).mdp, "secret");
    const SiteModel withoutPassword = sites.selectSiteWithId(empty);
    EXPECT_EQ(withoutPassword.mdp, "");
    EXPECT_FALSE(withoutPassword.mdpUnavailable) << "an empty password is only empty";
    EXPECT_FALSE(sites.placePasswords());
    EXPECT_EQ(keyring->lookups, 0);
    EXPECT_FALSE(StoredPasswords::profileUsesKeyring());
}

TEST_F(SitePasswordsTest, APasswordLeavesTheTableOnlyOnceTheKeyringGaveItBack) {
    const auto first = tableSite("premier");
    const auto second = tableSite("second");

    keyring->refusesToStore = true;
    EXPECT_TRUE(sites.placePasswords());
    EXPECT_EQ(inTable(first), "premier");
    keyring->refusesToStore = false;
    keyring->garblesWhatItKeeps = true;
    sites.placePasswords();
    EXPECT_EQ(inTable(first), "premier");
    EXPECT_EQ(inTable(second), "second");
    const auto refused = sites.addSite(ftpSite("nouveau"));
    EXPECT_EQ(inTable(refused), "nouveau") << "a new site's password the keyring lost stays in the table";

    keyring->garblesWhatItKeeps = false;
    EXPECT_TRUE(sites.placePasswords());
    for (const auto id : {first, second, refused}) {
        EXPECT_EQ(inTable(id), "");
    }
    EXPECT_EQ(keyring->secretOf("site/" + std::to_string(first)), "premier");
    EXPECT_EQ(sites.selectSiteWithId(second).mdp, "second");
    EXPECT_EQ(sites.selectSites().size(), 3u);
}

TEST_F(SitePasswordsTest, TheLegacyAccountsCopyGoesOnlyWithTheSitePasswordItWasMadeInto) {
    // The first site of an old profile was made from the legacy FTP account, which keeps a copy.
    test::execute(
        "insert into parametre(ftpHost, ftpLogin, ftpMdp) values ('ftp.example.fr', 'jean', 'premier')");
    const auto id = tableSite("premier");
    const auto legacyCopy = [] { return test::rows("select ftpMdp from parametre").at(0).at(0); };

    keyring->refusesToStore = true;
    sites.placePasswords();
    EXPECT_EQ(legacyCopy(), "premier") << "the site's own password is still in the table";
    keyring->refusesToStore = false;
    sites.placePasswords();
    EXPECT_EQ(inTable(id), "");
    EXPECT_EQ(legacyCopy(), "");

    // An account that is no site's password is not touched.
    test::execute("update parametre set ftpMdp = 'autre'");
    tableSite("second");
    sites.placePasswords();
    EXPECT_EQ(legacyCopy(), "autre");
}

TEST_F(SitePasswordsTest, ARecordReadOutOfReachIsMarkedAndSavedWithoutLosingItsPassword) {
    const auto id = sites.addSite(ftpSite("secret"));
    ASSERT_EQ(inTable(id), "");

    keyring->reachable = false;
    SiteModel site = sites.selectSiteWithId(id);
    EXPECT_TRUE(site.mdpUnavailable);
    EXPECT_EQ(site.mdp, "");
    EXPECT_THAT(site.passwordOutOfReachMessage(), HasSubstr("« orvaneh-cli site edit " + std::to_string(id)));
    // The site list marks a new default, the editor renames: the password stays in the keyring.
    site.name = "Cabinet Martin";
    site.selected = true;
    sites.updateSite(site);
    EXPECT_EQ(inTable(id), "");
    keyring->reachable = true;
    EXPECT_EQ(sites.selectSiteWithId(id).mdp, "secret");
    EXPECT_EQ(sites.selectSiteWithId(id).name, "Cabinet Martin");

    // Given again where no keyring answers: the table's copy is the one used from then on.
    keyring->reachable = false;
    site.mdp = "nouveau";
    sites.updateSite(site);
    EXPECT_EQ(inTable(id), "nouveau");
    keyring->reachable = true;
    EXPECT_EQ(sites.selectSiteWithId(id).mdp, "nouveau");
    sites.placePasswords();
    EXPECT_EQ(inTable(id), "");
    EXPECT_EQ(sites.selectSiteWithId(id).mdp, "nouveau");
}

TEST_F(SitePasswordsTest, ADeletedSitesPasswordIsNotTheNextSitesOfTheSameId) {
    const auto id = sites.addSite(ftpSite("ancien"));
    keyring->reachable = false; // its keyring copy outlives it
    ASSERT_TRUE(sites.deleteSiteWithId(id));
    keyring->reachable = true;
    SiteModel unused{0, "Sans envoi", "", "", "", 5, false, false};
    const auto next = sites.addSite(unused);
    ASSERT_EQ(next, id) << "SQLite gives the freed id again";
    EXPECT_EQ(sites.selectSiteWithId(next).mdp, "");

    ASSERT_TRUE(sites.deleteSiteWithId(next));
    EXPECT_EQ(keyring->size(), 0u);
}

} // namespace
} // namespace orvaneh
