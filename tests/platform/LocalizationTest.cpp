#include "Platform/localisation/Localization.h"

#include "support/LogCapture.h"
#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

class LocalizationTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;

    fs::path table(const std::string& name, const std::string& contents) {
        auto path = directory.path() / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << contents;
        return path;
    }

    void TearDown() override { Localization::clear(); }
};

TEST_F(LocalizationTest, TheTableOverridesTheFrenchDefault) {
    ASSERT_TRUE(Localization::loadTable(table("fr.json", R"({"SEND":"Envoyer le dossier"})")));
    EXPECT_EQ(localized("SEND", "Envoyer"), "Envoyer le dossier");
    EXPECT_EQ(localized("CANCEL", "Annuler"), "Annuler");
    Localization::clear();
    EXPECT_EQ(localized("SEND", "Envoyer"), "Envoyer");
}

TEST_F(LocalizationTest, ABadTableIsLoggedAndLeavesNoTexts) {
    auto good = table("good.json", R"({"SEND":"Envoyer le dossier"})");
    test::LogCapture log;
    for (const std::string contents :
         {"{ pas du json", R"(["SEND"])", R"({"SEND":"Envoyer le dossier","N":3})"}) {
        ASSERT_TRUE(Localization::loadTable(good));
        EXPECT_FALSE(Localization::loadTable(table("bad.json", contents))) << contents;
        EXPECT_EQ(localized("SEND", "Envoyer"), "Envoyer") << contents;
    }
    ASSERT_TRUE(Localization::loadTable(good));
    EXPECT_FALSE(Localization::loadTable(directory.path() / "absent.json"));
    EXPECT_EQ(localized("SEND", "Envoyer"), "Envoyer");
    EXPECT_EQ(log.lines().size(), 4u);
    EXPECT_TRUE(log.contains("bad.json"));
}

TEST_F(LocalizationTest, TheDefaultTableComesFromTheResources) {
    test::ScopedEnvironment resources("ORVANEH_RESOURCES", directory.path().c_str());
    table("localisation/fr.json", R"({"YES":"Oui !"})");
    Localization::loadDefaultTable();
    EXPECT_EQ(localized("YES", "Oui"), "Oui !");

    fs::remove(directory.path() / "localisation/fr.json");
    Localization::loadDefaultTable();
    EXPECT_EQ(localized("YES", "Oui"), "Oui");
}

} // namespace
} // namespace orvaneh
