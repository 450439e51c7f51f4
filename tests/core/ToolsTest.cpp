#include "Classes/core/Tools.h"

#include "Classes/core/FileManagerHelper.h"
#include "platform/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace orvaneh {
namespace {

using namespace std::chrono;

TEST(ToolsTest, DocumentsDirectoryHasNoTrailingSlash) {
    test::TestProfile profile;
    EXPECT_EQ(FileManagerHelper::getPathForFileName("/1.wav"), profile.documents().string() + "/1.wav");
    Profile::install(Profile(profile.home() / "Documents/", profile.home() / "config"));
    EXPECT_EQ(Tools::documentsDirectory(), (profile.home() / "Documents").string());
    Profile::install(profile.profile());

    auto path = profile.writeDocument("a.txt");
    Tools::deleteFileAtPath(path.string());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NO_THROW(Tools::deleteFileAtPath(path.string()));
    EXPECT_NO_THROW(Tools::deleteFileAtPath(""));
}

TEST(ToolsTest, DatesFollowTheProcessClock) {
    test::TestProfile profile;
    const double start = duration<double>(VirtualClock::defaultStart().time_since_epoch()).count();
    profile.clock().advance(Seconds(1.5));
    EXPECT_DOUBLE_EQ(Tools::unixTsInSeconds(), start + 1.5);
    test::ScopedTimeZone paris("Europe/Paris");
    // The virtual clock starts at 2026-01-15 09:00:00 UTC; 1.5 s later, 10:00:01 in Paris.
    EXPECT_EQ(Tools::getDateStrForFormat("dd/MM/yyyy HH:mm:ss"), "15/01/2026 10:00:01");
}

TEST(ToolsTest, TimeIntervalToString) {
    const std::pair<double, const char*> cases[] = {{0, "0:00"},     {59.99, "0:59"}, {75.9, "1:15"},
                                                    {3600, "60:00"}, {-5, "0:00"},    {std::nan(""), "0:00"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(Tools::timeIntervalToString(seconds), text) << seconds;
    }
    EXPECT_FALSE(Tools::timeIntervalToString(std::numeric_limits<double>::infinity()).empty());
}

TEST(ToolsTest, Sha1HashIsBase64) {
    EXPECT_EQ(Tools::returnHashWithSHA1("abc"), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");
}

TEST(ToolsTest, ObjectToJsonUsesPhoneLayoutAndRefusesInvalidUtf8) {
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
    EXPECT_EQ(Tools::objectToJSON(Json{{"\xC3", 1}}), "");
    EXPECT_EQ(Tools::objectToJSON(Json::array({"ok", "\xE9t\xE9"})), "");
}

TEST(ToolsTest, ParseJsonNeverThrows) {
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
    profile.ui().queueAnswer(1);
    std::pair<int, int> answered{-1, -1};
    Tools::displayAlertViewWithConfirm("Supprimer ?", "Attention", 7, [&](int tag, int button) {
        answered = {tag, button};
    });
    auto calls = profile.ui().calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind + "|" + calls[0].message, "banner|Envoi terminé");
    EXPECT_DOUBLE_EQ(calls[0].value, 3 + 17.0 * 13 / 200);
    EXPECT_EQ(calls[1].kind + "|" + calls[1].title + "|" + calls[1].message,
              "confirmation|Attention|Supprimer ?");
    EXPECT_EQ(answered, (std::pair<int, int>{7, 1}));
}

} // namespace
} // namespace orvaneh
