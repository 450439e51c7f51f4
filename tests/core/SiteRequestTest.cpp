#include "Classes/core/siteRequest.h"

#include "Classes/core/UserDefaultManager.h"
#include "Platform/log/Log.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <tuple>

namespace orvaneh {
namespace {

using test::execute;
using test::Rows;
using test::rows;

class SiteRequestTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);

    static SiteModel site(const std::string& name, std::int32_t type) {
        SiteModel record;
        record.name = name;
        record.address = "ftp.example.fr";
        record.login = "jean";
        record.mdp = "motdepasse-" + name;
        record.typeSite = type;
        return record;
    }

    static void expectEmpty(const SiteModel& record) {
        EXPECT_EQ(record.idSite, 0);
        EXPECT_EQ(record.typeSite, -1);
        EXPECT_FALSE(record.exists());
    }
};

TEST_F(SiteRequestTest, ANewSiteIsStoredWholeButIsNotTheDefaultUntilChosen) {
    siteRequest sites;
    expectEmpty(sites.selectDefaultSite());
    SiteModel written = site("L'étude d'Anne", 2);
    written.emailPropose = true;
    written.selected = true; // the insert ignores the mark
    std::int32_t id = sites.addSite(written);
    ASSERT_GT(id, 0);
    expectEmpty(sites.selectDefaultSite());

    SiteModel read = sites.selectSiteWithId(id);
    EXPECT_EQ(std::tie(read.idSite, read.name, read.address, read.login, read.mdp, read.typeSite),
              std::tie(id, written.name, written.address, written.login, written.mdp, written.typeSite));
    EXPECT_FALSE(read.selected);
    EXPECT_TRUE(read.emailPropose);
    // Read or written, the password never reaches the log.
    EXPECT_EQ(Log::mask("envoi avec motdepasse-L'étude d'Anne").find("motdepasse"), std::string::npos);

    sites.unselectSite();
    read.selected = true;
    read.address = "https://o'hara.example.fr";
    sites.updateSite(read);
    SiteModel chosen = sites.selectDefaultSite();
    EXPECT_EQ(chosen.idSite, id);
    EXPECT_EQ(chosen.address, "https://o'hara.example.fr");
}

TEST_F(SiteRequestTest, TheFtpsChoiceIsStoredAddedOrUpdatedAndAnUnknownNumberReadsAsRequired) {
    siteRequest sites;
    SiteModel written = site("Chiffré", 1);
    written.ftps = FtpSecurity::TlsWhenOffered;
    const std::int32_t id = sites.addSite(written);
    EXPECT_EQ(sites.selectSiteWithId(id).ftps, FtpSecurity::TlsWhenOffered);
    written.idSite = id;
    written.ftps = FtpSecurity::TlsRequired;
    sites.updateSite(written);
    EXPECT_EQ(rows("select ftps from site"), (Rows{{"2"}}));
    written.ftps = FtpSecurity::Plain;
    sites.updateSite(written);
    EXPECT_EQ(sites.selectSites().at(0).ftps, FtpSecurity::Plain);

    // A number from a later version must not weaken the site: at least TLS, never clear text.
    execute("UPDATE site set ftps = 7");
    EXPECT_EQ(sites.selectSiteWithId(id).ftps, FtpSecurity::TlsRequired);
}

TEST_F(SiteRequestTest, ReadsTakeTheFirstMatchingRowAndDeletesLeaveDictations) {
    siteRequest sites;
    expectEmpty(sites.selectSiteWithId(0));
    expectEmpty(sites.selectSiteWithId(42));

    std::int32_t first = sites.addSite(site("A", 1));
    expectEmpty(sites.selectSiteVelmoraIfExist()); // no transcription site yet
    sites.addSite(site("B", 6));
    sites.addSite(site("C", 6));
    EXPECT_EQ(sites.selectSiteVelmoraIfExist().name, "B");

    execute("UPDATE site set selected = 1");
    EXPECT_EQ(sites.selectDefaultSite().idSite, first);
    sites.unselectSite();
    expectEmpty(sites.selectDefaultSite());

    // Deleting says whether a site went, and leaves its dictations.
    execute("INSERT INTO dictee (titre, idSite) values ('liée', " + std::to_string(first) + ")");
    EXPECT_TRUE(sites.deleteSiteWithId(first));
    EXPECT_FALSE(sites.deleteSiteWithId(first));
    EXPECT_EQ(sites.selectSites().size(), 2u);
    EXPECT_EQ(rows("select titre, idSite from dictee"), (Rows{{"liée", std::to_string(first)}}));
}

TEST_F(SiteRequestTest, DestinationIsTheDefaultUnlessTheDictationIsLinkedToItsOwnSite) {
    siteRequest sites;
    std::int32_t chosen = sites.addSite(site("Défaut", 1));
    std::int32_t own = sites.addSite(site("Propre", 2));
    SiteModel mark = sites.selectSiteWithId(chosen);
    mark.selected = true;
    sites.updateSite(mark);

    EXPECT_EQ(siteRequest::destinationForDictation(own).idSite, chosen);
    UserDefaultManager::setBool(true, "LinkDictationToSite");
    EXPECT_EQ(siteRequest::destinationForDictation(own).idSite, own);
    EXPECT_EQ(siteRequest::destinationForDictation(0).idSite, chosen);
    sites.deleteSiteWithId(own);
    expectEmpty(siteRequest::destinationForDictation(own));
}

} // namespace
} // namespace orvaneh
