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
using ::testing::Not;

// `settings` run as a user runs it, on a profile of its own.
class SettingsCommandTest : public ::testing::Test {
protected:
    test::TemporaryDirectory home;
    test::TemporaryDirectory files;

    test::ProcessResult cli(const std::vector<std::string>& arguments) {
        return test::runCli(home.path(), arguments);
    }
    Json listed() {
        auto result = cli({"settings", "list", "--json"});
        EXPECT_EQ(result.status, 0) << result.err;
        return Json::parse(result.out);
    }
    std::string file(const std::string& name, const std::string& contents) {
        const auto path = files.path() / name;
        std::ofstream(path) << contents;
        return path.string();
    }
};

TEST_F(SettingsCommandTest, ValuesTheReadersWouldMisreadAreRefusedAndNothingIsStored) {
    EXPECT_EQ(cli({"settings", "set", "OptionMaxDate", "abc"}).status, 2);
    EXPECT_TRUE(test::entryNames(home.path()).empty()) << "a refused value makes no profile";
    const Json before = listed();
    const std::string notPem = file("notes.txt", "pas un certificat\n");
    const std::vector<std::pair<std::string, std::vector<std::string>>> refused{
        {"OptionMaxDate", {"abc", "1e99", "-5", "3651", "12.5", ""}},
        {"CompresseFile", {"maybe", "TRUE!", ""}},
        {"ExportFileFormat", {"mp3", "WAV", ""}},
        {"AudioSampleRate", {"12345", "abc", "0", "-16000"}},
        {"versionWS", {"nan", "inf", "-1", "1.1.1", "100"}},
        {"NetworkStallTimeout", {"0", "-3", "1e9"}},
        {"TypeOfDelivery", {"3", "FTP"}},
        {"JobTitlPref", {"", "   "}},
        {"TrustedCertificatesFile", {"/pas/de/fichier.pem", files.path().string(), notPem}},
    };
    for (const auto& [key, values] : refused) {
        for (const auto& value : values) {
            SCOPED_TRACE(key + " " + value);
            auto result = cli({"settings", "set", key, value});
            EXPECT_EQ(result.status, 2);
            EXPECT_EQ(result.out, "");
            EXPECT_THAT(result.err, HasSubstr("Erreur : valeur refusée pour " + key));
            EXPECT_THAT(result.err, HasSubstr("Rien n'a été enregistré"));
        }
    }
    EXPECT_THAT(cli({"settings", "set", "AudioSampleRate", "12345"}).err,
                HasSubstr("valeurs possibles : 8000, 11025, 16000, 22050, 32000, 44100 ou 48000 Hz"));
    EXPECT_THAT(cli({"settings", "set", "OptionMaxDate", "-5"}).err,
                HasSubstr("un nombre entier de 0 à 3650 jours"));
    EXPECT_THAT(cli({"settings", "set", "ExportFileFormat", "mp3"}).err, HasSubstr("wav ou spx"));
    EXPECT_EQ(listed(), before);
}

TEST_F(SettingsCommandTest, AllowedValuesAreStoredTyped) {
    const std::string ca =
        file("office-ca.pem", "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    // Relative to this process's directory, which the command inherits: stored absolute, so a
    // command run from elsewhere still finds it.
    const std::string relativeCa = std::filesystem::relative(ca).string();
    // A link (as /dev/stdin is) is stored as the file it leads to today.
    const std::string link = ca + ".lien";
    std::filesystem::create_symlink(ca, link);
    const std::vector<std::tuple<std::string, std::string, Json>> accepted{
        {"OptionMaxDate", "0", 0},
        {"OptionMaxDate", "30", 30},
        {"CompresseFile", "oui", true},
        {"CompresseFile", "TRUE", true},
        {"LinkDictationToSite", "1", true},
        {"ValidateBeforeSend", "false", false},
        {"versionWS", "1,1", 1.1},
        {"AudioSampleRate", "8000", 8000},
        {"ExportFileFormat", "spx", "spx"},
        {"NetworkStallTimeout", "2.5", 2.5},
        {"TypeOfDelivery", "5", 5},
        {"JobTitlPref", "Dossier n°", "Dossier n°"},
        {"TrustedCertificatesFile", relativeCa, ca},
        {"TrustedCertificatesFile", link, ca},
        {"TrustedCertificatesFile", "", ""},
    };
    for (const auto& [key, value, stored] : accepted) {
        SCOPED_TRACE(key + " " + value);
        auto result = cli({"settings", "set", key, value});
        EXPECT_EQ(result.status, 0) << result.err;
        const Json read = listed()[key]["value"];
        if (stored.is_number_float()) {
            EXPECT_NEAR(read.get<double>(), stored.get<double>(), 1e-6);
        } else {
            EXPECT_EQ(read, stored);
        }
    }
}

TEST_F(SettingsCommandTest, ListingExplainsEachKeyAndWhatOtherKeysItNeeds) {
    const Json all = listed();
    EXPECT_EQ(all.size(), 19u);
    for (const auto& [key, entry] : all.items()) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(entry["meaning"].get<std::string>().empty());
        EXPECT_FALSE(entry["allowed"].get<std::string>().empty());
        EXPECT_TRUE(entry.contains("value") && entry["unit"].is_string());
        EXPECT_FALSE(entry["label"].get<std::string>().empty());
        EXPECT_FALSE(entry["group"].get<std::string>().empty());
    }
    EXPECT_EQ(all["OptionMaxDate"]["unit"], "jours");
    EXPECT_EQ(all["AudioSampleRate"]["unit"], "Hz");
    EXPECT_EQ(all["NetworkStallTimeout"]["unit"], "secondes");
    EXPECT_THAT(all["ExportFileFormat"]["meaning"].get<std::string>(), HasSubstr("spx (compressé en Speex)"));
    EXPECT_THAT(all["CompresseFile"]["meaning"].get<std::string>(), HasSubstr("versionWS ne dépasse pas 1"));

    auto text = cli({"settings", "list"});
    ASSERT_EQ(text.status, 0);
    EXPECT_THAT(text.out,
                HasSubstr("OptionMaxDate             120 jours\n    " +
                          all["OptionMaxDate"]["label"].get<std::string>() + "\n    Nombre de jours"));
    EXPECT_THAT(text.out, HasSubstr("AudioSampleRate           16000 Hz\n"));
    EXPECT_THAT(text.out, Not(HasSubstr("Remarque")));
    // Each key is listed under the heading of its group, as --json names it.
    for (const auto& [key, entry] : all.items()) {
        SCOPED_TRACE(key);
        const auto line = text.out.find("\n" + key + " ");
        ASSERT_NE(line, std::string::npos);
        const auto heading = text.out.rfind("== ", line);
        ASSERT_NE(heading, std::string::npos);
        EXPECT_EQ(text.out.substr(heading, text.out.find('\n', heading) - heading),
                  "== " + entry["group"].get<std::string>() + " ==");
    }

    // Zip asked while the web service is too old for it: said when set and when listed.
    auto zip = cli({"settings", "set", "CompresseFile", "true"});
    EXPECT_EQ(zip.status, 0);
    EXPECT_THAT(zip.err, HasSubstr("Remarque : CompresseFile est activé mais reste sans effet"));
    EXPECT_THAT(cli({"settings", "list"}).out, HasSubstr("versionWS supérieure à 1"));
    EXPECT_THAT(cli({"settings", "set", "AudioSampleRate", "16000"}).err, Not(HasSubstr("Remarque")));
    ASSERT_EQ(cli({"settings", "set", "versionWS", "1.1"}).status, 0);
    EXPECT_THAT(cli({"settings", "list"}).out, Not(HasSubstr("Remarque")));
}

} // namespace
} // namespace orvaneh
