#include "support/CliProcess.h"
#include "support/Files.h"
#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using Kind = test::OfficeSimulator::Kind;

TEST(PlainFileNameTest, OnlyNamesThatStayInTheirDirectory) {
    for (const std::string& name :
         std::vector<std::string>{"6F1C2B9E-0D4A-4E1B-9C55-0A1B2C3D4E5F", "compte rendu", "Été", "..a",
                                  "a..b", ".cache", "a:b", std::string(255, 'x')}) {
        EXPECT_TRUE(Tools::isPlainFileName(name)) << name;
    }
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../evil", "a/b", "/", "a\\b", "..\\evil", "a\nb", "\t",
                                  "\x7f", std::string("a\0b", 3), std::string(256, 'x')}) {
        EXPECT_FALSE(Tools::isPlainFileName(name)) << name;
    }
}

class JobNameTest : public test::SendTest {
protected:
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(profile.home(), std::move(arguments));
    }
    // The profile's entries, the documents directory's included, without the database's own
    // files, the log and the sender's lock, which come with every command.
    std::vector<std::string> profileEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(profile.home())) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with(database.filename().string()) && !name.ends_with(".log") &&
                name != "envoi.lock") {
                names.push_back(fs::relative(entry.path(), profile.home()).string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // A dictation ready to send whose stored job name is `job`.
    std::int64_t addDictationWithJob(const std::string& title, const std::string& job) {
        DicteeModel dictee = record(addDictation(title, 0.05, true, 1));
        dictee.masterJobId = job;
        EXPECT_EQ(DicteeRequest().updateDictee(dictee), dictee.idDictee);
        return dictee.idDictee;
    }
};

// A stored job name that is not a plain file name ends the attempt with a banner, before any
// file of the job is made: nothing appears in or beside the documents directory, the office
// receives nothing and the dictation stays unsent.
TEST_F(JobNameTest, AJobNameThatIsNotAPlainFileNameSendsNothing) {
    test::OfficeSimulator ftp(Kind::Ftp);
    ASSERT_NE(ftp.port(), 0);
    serveWebService();
    const std::int32_t webSite = addSite(2, webService->address());
    const std::int32_t ftpSite = addSite(1, ftp.address());
    struct Case {
        std::string job;
        std::int32_t site;
    };
    const std::vector<Case> cases{
        {"../evil", ftpSite}, {"..", ftpSite},           {".", ftpSite}, {"sous/dossier", ftpSite},
        {"a\\b", ftpSite},    {"ligne\nsuite", ftpSite}, {"", ftpSite},  {"../evil", webSite}};
    for (const auto& c : cases) {
        SCOPED_TRACE("« " + c.job + " » sur le site " + std::to_string(c.site));
        siteRequest sites;
        sites.unselectSite();
        auto site = sites.selectSiteWithId(c.site);
        site.selected = true;
        sites.updateSite(site);
        const auto id = addDictationWithJob("Piégée", c.job);
        const auto before = profileEntries();

        const auto result = cli({"send"});
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_THAT(result.err, HasSubstr("Le nom de job de la dictée n'est pas un nom de fichier valide"));
        EXPECT_THAT(result.err, HasSubstr("La dictée n'est pas envoyée."));
        EXPECT_THAT(result.out, HasSubstr("Non envoyée : dictée " + std::to_string(id)));
        EXPECT_EQ(record(id).envoi, 0);
        EXPECT_EQ(profileEntries(), before);
        DicteeRequest().deleteDicteeWithId(id);
    }
    EXPECT_THAT(test::entryNames(ftp.importDirectory()), IsEmpty());
    EXPECT_THAT(webService->jobs(), IsEmpty());
    EXPECT_THAT(webService->requests(), IsEmpty());
}

// Catalogue directories named by the server become paths on it: a name that would leave
// "config" is neither offered nor accepted.
TEST_F(JobNameTest, ACatalogueDirectoryThatIsNotAPlainNameIsNotOffered) {
    test::OfficeSimulator ftp(Kind::Ftp);
    ASSERT_NE(ftp.port(), 0);
    addSite(1, ftp.address());
    const fs::path hostile = ftp.catalogueRoot() / "Service\\..\\Autre";
    fs::create_directories(hostile);
    fs::copy_file(ftp.catalogueRoot() / "Service Cardiologie" / "Catalogue.xml", hostile / "Catalogue.xml");

    const auto listed = cli({"workflow", "import"});
    EXPECT_THAT(listed.out, HasSubstr("Service Cardiologie\n"));
    EXPECT_THAT(listed.out, Not(HasSubstr("Autre")));
    const auto refused = cli({"workflow", "import", "--dir", "Service\\..\\Autre"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("Le dossier n'existe pas sur le serveur"));
}

} // namespace
} // namespace orvaneh
