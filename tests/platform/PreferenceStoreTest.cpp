#include "Platform/preferences/PreferenceStore.h"

#include "support/Files.h"
#include "support/LogCapture.h"
#include "support/TestProfile.h"

#include <clocale>
#include <fstream>
#include <gmock/gmock.h>
#include <regex>
#include <thread>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(PreferenceStoreReadingTest, TextNumbersAndBooleansReadAsTheirNaturalValue) {
    for (const char* text : {"1", "YES", "true", "T", "  +1", "-1", "0001", "y"}) {
        EXPECT_TRUE(PreferenceStore::boolFromJson(text)) << text;
    }
    for (const char* text : {"0", "no", "false", "", "000", "0.5", "abc"}) {
        EXPECT_FALSE(PreferenceStore::boolFromJson(text)) << text;
    }
    const std::pair<Json, std::int64_t> integers[] = {{"30abc", 30}, {"abc", 0}, {"  -42x", -42},
                                                      {"1.9", 1},    {-2.9, -2}, {1e30, INT64_MAX}};
    EXPECT_EQ(PreferenceStore::integerFromJson("-99999999999999999999"), INT64_MIN);
    for (const auto& [json, expected] : integers) {
        EXPECT_EQ(PreferenceStore::integerFromJson(json), expected) << json;
    }
    EXPECT_EQ(PreferenceStore::doubleFromJson(" 1.5kHz"), 1.5);
    std::string locale = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr) { // a decimal comma must not matter
        double value = PreferenceStore::doubleFromJson("1.5");
        std::setlocale(LC_NUMERIC, locale.c_str());
        EXPECT_EQ(value, 1.5);
    }
    EXPECT_TRUE(PreferenceStore::boolFromJson(0.25));
    EXPECT_FALSE(PreferenceStore::boolFromJson(Json::array({1})));

    // Numbers read as text the way the server writes them.
    PreferenceStore store;
    store.setDouble("rate", 16000.0);
    store.setDouble("ratio", 1.5);
    store.setBool("on", true);
    store.setObject("list", Json::array());
    EXPECT_EQ(store.stringForKey("rate"), "16000");
    EXPECT_EQ(store.stringForKey("ratio"), "1.5");
    EXPECT_EQ(store.stringForKey("on"), "1");
    EXPECT_EQ(store.stringForKey("list"), std::nullopt);
    EXPECT_EQ(store.dictionaryForKey("list"), std::nullopt);
}

TEST(PreferenceStoreTest, TypedValuesSurviveARestart) {
    test::TestProfile profile;
    auto& store = profile.preferences();
    auto date = VirtualClock::defaultStart() + std::chrono::nanoseconds(123456789);
    ASSERT_TRUE(store.setBool("flag", true));
    ASSERT_TRUE(store.setInteger("count", -12));
    ASSERT_TRUE(store.setFloat("gain", 0.1f));
    ASSERT_TRUE(store.setString("name", "Dupré"));
    ASSERT_TRUE(store.setDate("sent", date));
    ASSERT_TRUE(store.setObject("dict", Json{{"a", Json::array({1, "deux"})}}));
    ASSERT_TRUE(store.setObject("twoMembers", Json{{"$date", 1000.0}, {"x", 1}}));

    auto& reopened = profile.reopenPreferences();
    EXPECT_TRUE(reopened.boolForKey("flag"));
    EXPECT_EQ(reopened.integerForKey("count"), -12);
    EXPECT_EQ(reopened.floatForKey("gain"), 0.1f);
    EXPECT_EQ(reopened.stringForKey("gain"), "0.1");
    EXPECT_EQ(reopened.stringForKey("name"), "Dupré");
    EXPECT_EQ(reopened.dictionaryForKey("dict"), (Json{{"a", Json::array({1, "deux"})}}));
    // Seconds in a double keep well under a microsecond today; only the tagged form is a date.
    EXPECT_LT(std::chrono::abs(reopened.dateForKey("sent").value() - date), std::chrono::microseconds(1));
    EXPECT_EQ(reopened.dictionaryForKey("sent"), std::nullopt);
    EXPECT_EQ(reopened.dateForKey("count"), std::nullopt);
    EXPECT_EQ(reopened.dateForKey("twoMembers"), std::nullopt);

    auto file = profile.profile().preferencesFile();
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    // No temporary left beside it.
    EXPECT_EQ(test::entryNames(file.parent_path()),
              (std::vector<std::string>{"orvaneh.log", "preferences.json"}));
}

TEST(PreferenceStoreTest, DefaultsApplyUntilAValueIsWritten) {
    test::TestProfile profile;
    auto& store = profile.preferences();
    store.registerDefaults(Json{{"delay", 30}, {"server", "ftp.exemple.fr"}});
    EXPECT_FALSE(store.hasStoredValue("delay"));
    store.setInteger("delay", 5);
    EXPECT_EQ(store.integerForKey("delay"), 5);
    // Removing, by either means, brings the default back, and the file forgets the key.
    store.setObject("delay", nullptr);
    EXPECT_EQ(store.integerForKey("delay"), 30);
    store.setString("server", "autre");
    store.removeObjectForKey("server");
    EXPECT_EQ(store.stringForKey("server"), "ftp.exemple.fr");
    auto& reopened = profile.reopenPreferences();
    EXPECT_TRUE(reopened.storedValues().empty());
    EXPECT_EQ(reopened.objectForKey("delay"), std::nullopt); // defaults are not persisted
}

class CorruptPreferencesTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorruptPreferencesTest, FileIsMovedAsideAndTheStoreStartsEmpty) {
    test::TestProfile profile;
    test::LogCapture log;
    auto file = profile.profile().preferencesFile();
    if (GetParam() == "<directory>") {
        fs::create_directory(file);
    } else {
        std::ofstream(file) << GetParam();
    }
    PreferenceStore store(file);
    EXPECT_TRUE(store.storedValues().empty());
    auto files = test::entryNames(file.parent_path());
    auto aside = std::find_if(files.begin(), files.end(), [](const std::string& name) {
        return std::regex_match(name, std::regex(R"(preferences\.json\.corrompu-\d{8}-\d{6})"));
    });
    ASSERT_NE(aside, files.end());
    EXPECT_TRUE(log.contains("Préférences illisibles"));
    EXPECT_TRUE(log.contains(*aside));
    ASSERT_TRUE(store.setAsideNotice());
    EXPECT_THAT(*store.setAsideNotice(), HasSubstr(*aside)); // for the user, not only the log

    EXPECT_TRUE(store.setInteger("after", 1));
    EXPECT_EQ(PreferenceStore(file).integerForKey("after"), 1);
}

INSTANTIATE_TEST_SUITE_P(Contents, CorruptPreferencesTest,
                         ::testing::Values("{ pas du json", "[1, 2, 3]", "", "<directory>"));

TEST(PreferenceStoreTest, AFailedWriteIsKeptAndWrittenBySynchronize) {
    test::TemporaryDirectory directory;
    // The parent of the file is a plain file: nothing can be written until it is a directory.
    auto blocked = directory.path() / "config";
    std::ofstream(blocked) << "x";
    test::LogCapture log;
    PreferenceStore store(blocked / "preferences.json");
    EXPECT_FALSE(store.setString("server", "ftp.exemple.fr"));
    EXPECT_FALSE(store.setInteger("port", 21));
    EXPECT_EQ(store.stringForKey("server"), "ftp.exemple.fr");
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(log.contains("Préférences non enregistrées"));
    // Each failure is counted and explained, so a caller can tell its own from earlier ones.
    EXPECT_EQ(store.failedWriteCount(), 3u);
    ASSERT_TRUE(store.lastWriteError());
    EXPECT_THAT(*store.lastWriteError(), HasSubstr(blocked.string()));

    fs::remove(blocked);
    fs::create_directory(blocked);
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(store.lastWriteError(), std::nullopt);
    EXPECT_EQ(PreferenceStore(blocked / "preferences.json").stringForKey("server"), "ftp.exemple.fr");
}

TEST(PreferenceStoreTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root lit tous les fichiers : pas de refus de lecture à provoquer";
    }
    test::TemporaryDirectory directory;
    auto file = directory.path() / "preferences.json";
    std::ofstream(file) << R"({"OptionMaxDate": 30})";
    fs::permissions(file, fs::perms::none);
    PreferenceStore store(file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(store.setAsideNotice());
    EXPECT_THAT(*store.setAsideNotice(), HasSubstr("permission refusée"));
    EXPECT_FALSE(store.setInteger("connectionType", -1));
    EXPECT_FALSE(store.synchronize());
    EXPECT_EQ(PreferenceStore(file).integerForKey("OptionMaxDate"), 30);
    EXPECT_EQ(test::entryNames(directory.path()), std::vector<std::string>{"preferences.json"});
}

TEST(PreferenceStoreTest, ConcurrentWritersLoseNothing) {
    test::TestProfile profile;
    auto& store = profile.preferences();
    auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < 500; ++i) {
            store.setInteger(prefix + std::to_string(i), i);
        }
    };
    std::thread first(writer, "a-");
    std::thread second(writer, "b-");
    first.join();
    second.join();

    auto& reopened = profile.reopenPreferences();
    ASSERT_EQ(reopened.storedValues().size(), 1000u);
    for (int i = 0; i < 500; ++i) {
        EXPECT_EQ(reopened.integerForKey("a-" + std::to_string(i)), i);
        EXPECT_EQ(reopened.integerForKey("b-" + std::to_string(i)), i);
    }
}

} // namespace
} // namespace orvaneh
