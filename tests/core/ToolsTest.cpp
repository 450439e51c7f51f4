#include "Classes/core/Tools.h"

#include "Classes/core/FileManagerHelper.h"
#include "support/TestProfile.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>

namespace orvaneh {
namespace {

using namespace std::chrono;

TEST(ToolsTest, DocumentsDirectoryHasNoTrailingSlash) {
    test::TestProfile profile;
    EXPECT_EQ(Tools::documentsDirectory(), profile.documents().string());
    EXPECT_EQ(FileManagerHelper::getPathForFileName("/1.wav"), profile.documents().string() + "/1.wav");

    Profile::install(Profile(profile.home() / "Documents/", profile.home() / "config"));
    EXPECT_EQ(Tools::documentsDirectory(), (profile.home() / "Documents").string());
    Profile::install(profile.profile());
}

TEST(ToolsTest, DeleteFileAtPathIgnoresMissingFiles) {
    test::TestProfile profile;
    auto path = profile.writeDocument("a.txt");
    Tools::deleteFileAtPath(path.string());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NO_THROW(Tools::deleteFileAtPath(path.string()));
    EXPECT_NO_THROW(Tools::deleteFileAtPath(""));
}

TEST(ToolsTest, DatesFollowTheProcessClock) {
    test::TestProfile profile;
    const double start = duration<double>(VirtualClock::defaultStart().time_since_epoch()).count();
    EXPECT_DOUBLE_EQ(Tools::unixTsInSeconds(), start);
    profile.clock().advance(Seconds(1.5));
    EXPECT_DOUBLE_EQ(Tools::unixTsInSeconds(), start + 1.5);

    const char* saved = std::getenv("TZ");
    std::string savedZone = saved ? saved : "";
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    // The virtual clock starts at 2026-01-15 09:00:00 UTC; 1.5 s later, 10:00:01 in Paris.
    EXPECT_EQ(Tools::getDateStrForFormat("dd/MM/yyyy HH:mm:ss"), "15/01/2026 10:00:01");
    EXPECT_EQ(Tools::getDateStrForFormat("dd-MM_HH-mm"), "15-01_10-00");
    saved ? setenv("TZ", savedZone.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST(ToolsTest, TimeIntervalToString) {
    EXPECT_EQ(Tools::timeIntervalToString(0), "0:00");
    EXPECT_EQ(Tools::timeIntervalToString(59.99), "0:59");
    EXPECT_EQ(Tools::timeIntervalToString(75.9), "1:15");
    EXPECT_EQ(Tools::timeIntervalToString(3600), "60:00");
    EXPECT_EQ(Tools::timeIntervalToString(-5), "0:00");
    EXPECT_EQ(Tools::timeIntervalToString(std::nan("")), "0:00");
    EXPECT_FALSE(Tools::timeIntervalToString(std::numeric_limits<double>::infinity()).empty());
}

TEST(ToolsTest, IdentifiersAndHashes) {
    EXPECT_NE(Tools::generateUUID(), Tools::generateUUID());
    EXPECT_EQ(Tools::returnHashWithSHA1("abc"), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
    EXPECT_EQ(Tools::returnHashWithSHA1("").size(), 28u);
}

TEST(ToolsTest, ObjectToJsonUsesPhoneLayout) {
    EXPECT_EQ(Tools::objectToJSON(Json{{"a", 1}}), "{\n  \"a\" : 1\n}");
    Json nested = {{"b", {1, "x"}}, {"a", {{"c", nullptr}}}, {"titre", "Été"}};
    EXPECT_EQ(Tools::objectToJSON(nested), "{\n"
                                           "  \"a\" : {\n"
                                           "    \"c\" : null\n"
                                           "  },\n"
                                           "  \"b\" : [\n"
                                           "    1,\n"
                                           "    \"x\"\n"
                                           "  ],\n"
                                           "  \"titre\" : \"Été\"\n"
                                           "}");
    EXPECT_EQ(Tools::parseJSON(Tools::objectToJSON(nested)), nested);
}

TEST(ToolsTest, ObjectToJsonIsEmptyForInvalidUtf8) {
    EXPECT_EQ(Tools::objectToJSON(Json{{"a", "\xFF"}}), "");
    EXPECT_EQ(Tools::objectToJSON(Json{{"\xC3", 1}}), "");
    EXPECT_EQ(Tools::objectToJSON(Json::array({"ok", "\xE9t\xE9"})), "");
}

TEST(ToolsTest, ParseJsonNeverThrows) {
    EXPECT_EQ(Tools::parseJSON("{\"a\": [1, 2]}"), (Json{{"a", {1, 2}}}));
    EXPECT_EQ(Tools::parseJSON("\"[[[\\\"[[\""), Json("[[[\"[["));
    for (std::string text : {"", "{", "[1,]", "{\"a\" 1}", "\"\xFF\"", "nul"}) {
        EXPECT_FALSE(Tools::parseJSON(text).has_value()) << text;
    }
    EXPECT_FALSE(Tools::parseJSON(std::string(100000, '[')).has_value());
    EXPECT_FALSE(Tools::parseJSON(std::string(513, '[') + std::string(513, ']')).has_value());
    EXPECT_TRUE(Tools::parseJSON(std::string(512, '[') + std::string(512, ']')).has_value());
    // Brackets inside strings do not count towards the depth.
    EXPECT_TRUE(Tools::parseJSON("[\"" + std::string(100000, '[') + "\"]").has_value());
}

TEST(ToolsTest, MessagesGoThroughTheUserInterface) {
    test::TestProfile profile;
    Tools::displayAlertViewWithMessage("Envoi terminé", "Titre caché");
    auto calls = profile.ui().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "banner");
    EXPECT_EQ(calls[0].message, "Envoi terminé");
    EXPECT_DOUBLE_EQ(calls[0].value, 3 + 17.0 * 13 / 200);

    profile.ui().clear();
    profile.ui().queueAnswer(1);
    int answeredTag = -1, answeredButton = -1;
    Tools::displayAlertViewWithConfirm("Supprimer ?", "Attention", 7, [&](int tag, int button) {
        answeredTag = tag;
        answeredButton = button;
    });
    calls = profile.ui().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "confirmation");
    EXPECT_EQ(calls[0].title, "Attention");
    EXPECT_EQ(calls[0].message, "Supprimer ?");
    EXPECT_EQ(calls[0].tag, 7);
    EXPECT_EQ(answeredTag, 7);
    EXPECT_EQ(answeredButton, 1);
}

} // namespace
} // namespace orvaneh
