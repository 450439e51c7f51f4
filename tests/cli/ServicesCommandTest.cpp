// `services` on a real profile, after a catalogue import as an office server delivers it.
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/json/Json.h"
#include "support/CliProcess.h"
#include "support/CommandTest.h"
#include "support/Files.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

std::string service(const std::string& guid, const std::string& name, bool site, const std::string& parent,
                    const std::string& users) {
    return "<Service><Guid>" + guid + "</Guid><Name>" + name + "</Name><IsSite>" + (site ? "true" : "false") +
           "</IsSite><DepartementParent>" + parent + "</DepartementParent><SiteId>S1</SiteId><ServiceUsers>" +
           users + "</ServiceUsers></Service>";
}

const std::string kCatalogue =
    "<Catalogue><LoginUserInfos>"
    "<LoginUserInfo><Role>Dictant</Role><LoginName>jdupont</LoginName></LoginUserInfo>"
    "<LoginUserInfo><Role>Dictant</Role><LoginName>cmoreau</LoginName></LoginUserInfo>"
    "</LoginUserInfos><Services>" +
    service("g-h", "Hôpital Nord", true, "", "<UserId>jdupont</UserId><UserId>cmoreau</UserId>") +
    service("g-c", "Cardiologie", false, "g-h", "<UserId>jdupont</UserId>") +
    service("g-e", "Échographie", false, "g-c", "<UserId>jdupont</UserId>") +
    service("g-u", "Urgences", false, "g-h", "<UserId>cmoreau</UserId>") + "</Services></Catalogue>";

class ServicesCommandTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;

    test::ProcessResult cli(const std::string& line) const {
        return test::runCli(home.path(), test::words(line));
    }
    void importCatalogue(const std::string& catalogue) const {
        const auto path = home.path() / "Catalogue.xml";
        std::ofstream(path, std::ios::binary) << catalogue;
        const auto imported = test::runCli(home.path(), {"workflow", "import-file", path.string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
    }
};

TEST_F(ServicesCommandTest, ListsThePickersOrderIndentedWithSitesMarked) {
    importCatalogue(kCatalogue);

    const auto text = cli("services");
    ASSERT_EQ(text.status, 0) << text.err;
    // The number is what --service takes, as is the guid.
    EXPECT_EQ(text.out, "[site] Hôpital Nord  (1, g-h)\n"
                        "    Urgences  (4, g-u)\n"
                        "      Échographie  (3, g-e)\n"
                        "    Cardiologie  (2, g-c)\n");
    EXPECT_THAT(text.err, Not(HasSubstr("masqué")));

    const auto json = cli("services --author cmoreau --json");
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(Json::parse(json.out), Json::parse(R"([
        {"name": "Hôpital Nord", "guid": "g-h", "level": 0, "isSite": true, "id": 1},
        {"name": "Urgences", "guid": "g-u", "level": 2, "isSite": false, "id": 4}])"));
    EXPECT_EQ(cli("services --author CMOREAU --json").out, json.out) << "as the parameter screens take him";

    // The numbers listed are the ones the parameter screens accept for that author.
    const auto chosen = cli("workflow defaults --author cmoreau --service 4 --json");
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_EQ(Json::parse(chosen.out)["serviceNom"], "Urgences");
}

TEST_F(ServicesCommandTest, StillListsWhenThePickerIsHiddenAndRefusesWrongUsage) {
    importCatalogue(kCatalogue);
    ASSERT_EQ(cli("settings set ServicesDisplay false").status, 0);
    const auto hidden = cli("services --author jdupont --json");
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(Json::parse(hidden.out).size(), 3u);
    EXPECT_THAT(hidden.err, HasSubstr("Le choix du service est masqué dans les écrans"));

    const auto unknown = cli("services --author personne");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.out, IsEmpty());
    EXPECT_THAT(unknown.err,
                HasSubstr("auteur inconnu : « personne » (valeurs possibles : jdupont, cmoreau)"));
    const auto anyone = test::runCli(home.path(), {"services", "--author", ""});
    ASSERT_EQ(anyone.status, 0) << anyone.err;
    EXPECT_THAT(anyone.out, HasSubstr("Cardiologie"));

    {
        auto connection = SqlConnection::open(home.path() / "Documents" / "db_Quira.sql.sqlite");
        SqlStatement rename(*connection, "update service set name = ? where idService = 'g-u'");
        rename.bindText(1, std::string_view("Urgences \xff"));
        ASSERT_TRUE(rename.execute());
    }
    const auto damaged = cli("services --json");
    ASSERT_EQ(damaged.status, 0) << damaged.err;
    EXPECT_EQ(Json::parse(damaged.out).at(1).at("name"), "Urgences \xEF\xBF\xBD")
        << "a name that is not UTF-8";

    for (const auto* wrong : {"services en-trop", "services --bogus", "services --author"}) {
        const auto refused = cli(wrong);
        EXPECT_EQ(refused.status, 2) << wrong;
        EXPECT_THAT(refused.out, IsEmpty()) << wrong;
    }
}

} // namespace
} // namespace orvaneh
