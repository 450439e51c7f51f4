// The case-file client: the answer's unwrapping and the texts it builds, then against the
// simulator the session's silent recovery, its limits, and the answers that are not data.
#include "Classes/casefile/WSFendraExpert.h"

#include "Platform/network/Reachability.h"
#include "Platform/profile/Profile.h"
#include "casefile/CaseFileSession.h"

#include <filesystem>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST(WSFendraExpertTextTest, AnswerUnwrapping) {
    const struct {
        std::string bytes, expected;
    } cases[] = {
        {"", ""},
        {R"("[{\"code\":\"2019-0001\"}]")", R"([{"code":"2019-0001"}])"},
        {R"("c\\/d")", "cd"},       // an escaped slash goes entirely
        {R"("a\\\\b")", R"(a\\b)"}, // pairs of backslashes halve
        {R"("a/\b")", "a/b"},
        {"\"invalid token\"", "invalid token"},
        {"«Étude»", "Étude"}, // the outer characters are dropped whole, not bytes
        {"\"é\"", "é"},
        {"\"", ""},
        {"\xff\xfe\"x\"", ""}, // not UTF-8
        {"[1,2]", "1,2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WSFendraExpert::getJSONstring(c.bytes), c.expected) << c.bytes;
    }
}

TEST(WSFendraExpertTextTest, CreationDates) {
    const struct {
        std::string text, expected;
    } cases[] = {
        {"", ""},
        {"25122019", "25/12/2019"},
        {"25/12/2019", "25/12/2019"},
        {"25.12.2019 10:30", "25/12/2019"},
        {"2512", "2512"},           // too short to cut: shown as sent
        {"251220191", "251220191"}, // nine characters
        {"é5122019", "é5122019"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WSFendraExpert::formatDate(c.text), c.expected) << c.text;
    }
}

TEST(WSFendraExpertTextTest, PercentEscapesAndHosts) {
    const struct {
        std::string text, expected;
    } escapes[] = {
        {"", ""},
        {"a-b.c_d~e09", "a-b.c_d~e09"},
        {"érables & fils", "%C3%A9rables%20%26%20fils"},
        {"!*'();:@&=+$,/?%#[]", "%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D"},
    };
    for (const auto& c : escapes) {
        EXPECT_EQ(WSFendraExpert::encodeToPercentEscapeString(c.text), c.expected) << c.text;
    }
    const struct {
        std::string typed, host;
        bool refused;
    } hosts[] = {
        {"dossiers.cabinet.fr", "dossiers.cabinet.fr", false},
        {" https://Dossiers.cabinet.fr:8443/FendraWebMvcApp/ ", "Dossiers.cabinet.fr:8443", false},
        {"", "", false},
        {"http://dossiers.cabinet.fr", "", true},
        {"dossiers cabinet", "", true},
    };
    for (const auto& c : hosts) {
        const auto check = WSFendraExpert::normalizeHost(c.typed);
        EXPECT_EQ(check.host, c.host) << c.typed;
        EXPECT_EQ(!check.error.empty(), c.refused) << c.typed;
    }
    EXPECT_EQ(WSFendraExpert::searchUrl("h:1", "a&b"),
              "https://h:1/FendraWebMvcApp/Dossier/Rechercher?value=a%26b");
}

// Values the server should not send show nothing instead of stopping the list.
TEST(DossierTest, UnexpectedValuesShowNothing) {
    const Json object = {{"id", 5007},         {"code", "2019-0001"},    {"label", Json::array({"x"})},
                         {"nature", nullptr},  {"responsable", true},    {"datedecréation", "01022019"},
                         {"mémo", {{"a", 1}}}, {"secrétaire", "Mme Roy"}};
    const Dossier dossier = Dossier::fromJson(object);
    EXPECT_EQ(dossier.s_Id, "");
    EXPECT_EQ(dossier.s_Code, "2019-0001");
    EXPECT_EQ(dossier.s_Label, "");
    EXPECT_EQ(dossier.s_Nature, "");
    EXPECT_EQ(dossier.s_Resp, "");
    EXPECT_EQ(dossier.s_DateCreation, "01/02/2019");
    EXPECT_EQ(dossier.s_Memo, "");
    EXPECT_EQ(dossier.s_Secretaire, "Mme Roy");
    EXPECT_EQ(Dossier::fromJson(Json(42)).s_Code, "");

    std::vector<Dossier> list;
    EXPECT_TRUE(Dossier::listFromAnswer(R"([{"code":"A"}, 3, null, {"code":"B"}])", list));
    EXPECT_EQ(list.size(), 2u);
    for (const std::string& bad :
         std::vector<std::string>{"", "invalid token", "{\"code\":1}", std::string(100000, '[')}) {
        EXPECT_FALSE(Dossier::listFromAnswer(bad, list)) << bad.substr(0, 20);
        EXPECT_TRUE(list.empty());
    }
}

// What a screen hears.
struct Heard : WSFendraExpertDelegate {
    std::vector<std::string> data;
    std::vector<std::string> errors;
    std::vector<double> progress;
    void getDataRequest(const std::string& bytes) override { data.push_back(bytes); }
    void erreurRequest(const std::string& text) override { errors.push_back(text); }
    void progressBar(double fraction) override { progress.push_back(fraction); }
    bool done() const { return !data.empty() || !errors.empty(); }
};

class WSFendraExpertTest : public ::testing::Test {
protected:
    test::TestProfile profile;
};

// A session the server dropped is opened again once with the saved log-in and the request
// replayed, with its cookie kept for the next client; the caller sees only the answer.
TEST_F(WSFendraExpertTest, DroppedSessionIsReopenedOnceAndTheRequestReplayed) {
    for (const std::string refusal : {"", "--logon-page"}) {
        SCOPED_TRACE(refusal);
        std::vector<std::string> options{"--token-requests", "1"};
        if (!refusal.empty()) {
            options.push_back(refusal);
        }
        test::CaseFileServer server(options);
        auto login = test::logIn(profile, server);

        const auto cookies = Profile::current().configurationDirectory() / WSFendraExpert::kCookieFile;
        ASSERT_TRUE(std::filesystem::exists(cookies));
        EXPECT_EQ(std::filesystem::status(cookies).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        Heard heard;
        WSFendraExpert search(&heard);
        search.httpRequestAsync(WSFendraExpert::searchUrl(server.host(), "érables & fils"));
        ASSERT_TRUE(test::runUntil([&] { return heard.done(); }));
        ASSERT_THAT(heard.errors, IsEmpty());
        ASSERT_EQ(heard.data.size(), 1u);
        std::vector<Dossier> found;
        ASSERT_TRUE(Dossier::listFromAnswer(WSFendraExpert::getJSONstring(heard.data[0]), found));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].s_Label, "SCI Les Érables & fils");
        EXPECT_EQ(heard.progress.back(), 1.0);

        // The log-in screen's list used the session's one request; the search found it spent.
        EXPECT_THAT(server.callSummary(), ElementsAre("POST LogMeIn result=0", "GET Récents result=20",
                                                      "GET Rechercher result=invalid-token",
                                                      "POST LogMeIn result=0", "GET Rechercher result=1"));
        EXPECT_THAT(server.calls()[4], HasSubstr("token=ok"));
        EXPECT_THAT(server.calls()[3], HasSubstr("database=CABINET_DUPRE"));

        // The synchronous form recovers the same way.
        WSFendraExpert recent;
        ASSERT_TRUE(recent.httpRequest(WSFendraExpert::recentUrl(server.host()))) << recent.lastError();
        EXPECT_EQ(recent.s_RespJSON().front(), '[');
        EXPECT_EQ(server.calls().size(), 8u);
        EXPECT_THAT(profile.ui().messages("alert"), IsEmpty());
    }
}

// A POST is replayed with its body; a refusal after the replay ends the request instead of
// logging in again and again. (A log-in naming the database "invalid token" gets an answer
// that reads as a refused session.)
TEST_F(WSFendraExpertTest, PostIsReplayedWithItsBodyAndASecondRefusalIsAnError) {
    test::CaseFileServer server;
    auto login = test::logIn(profile, server);
    const std::size_t before = server.calls().size();

    Heard heard;
    WSFendraExpert client(&heard);
    client.postRequestAsync(WSFendraExpert::logInUrl(server.host()),
                            R"({"userlogin":"m.dupre","userpwd":"x","database":"invalid token"})");
    ASSERT_TRUE(test::runUntil([&] { return heard.done(); }));
    EXPECT_THAT(heard.data, IsEmpty());
    EXPECT_THAT(heard.errors, ElementsAre(WSFendraExpert::kSessionExpiredMessage));
    EXPECT_THAT(profile.ui().messages("alert"), ElementsAre(WSFendraExpert::kSessionExpiredMessage));
    RunLoop::main().runFor(Seconds(1));
    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), before + 3);
    EXPECT_THAT(calls[before], HasSubstr("database=\"invalid token\""));
    EXPECT_THAT(calls[before + 1], HasSubstr("database=CABINET_DUPRE"));
    EXPECT_THAT(calls[before + 2], HasSubstr("database=\"invalid token\""));
}

// Without a saved log-in the recovery posts an empty body; the server's refusal is the error.
TEST_F(WSFendraExpertTest, RefusedRecoveryStopsWithTheServersReason) {
    test::CaseFileServer server;
    profile.preferences().setString("host", server.host());
    WSFendraExpert client;
    EXPECT_FALSE(client.httpRequest(WSFendraExpert::recentUrl(server.host())));
    EXPECT_EQ(client.lastError(),
              "La reconnexion au serveur de dossiers a été refusée : Requête de connexion illisible.");
    EXPECT_THAT(server.callSummary(),
                ElementsAre("GET Récents result=invalid-token", "POST LogMeIn result=103"));
}

// An error page, an answer past the cap and a machine without network are errors, never data.
TEST_F(WSFendraExpertTest, PagesOversizedAnswersAndNoNetworkAreErrors) {
    {
        test::CaseFileServer server({"--html-error"});
        Heard heard;
        WSFendraExpert client(&heard);
        client.httpRequestAsync(WSFendraExpert::databasesUrl(server.host()));
        ASSERT_TRUE(test::runUntil([&] { return heard.done(); }));
        EXPECT_THAT(heard.data, IsEmpty());
        EXPECT_THAT(heard.errors, ElementsAre("Le serveur de dossiers a répondu par une erreur (500)."));
    }
    {
        test::CaseFileServer server;
        auto login = test::logIn(profile, server);
        WSFendraExpert client;
        client.setMaxAnswerBytes(2000);
        EXPECT_FALSE(client.httpRequest(WSFendraExpert::recentUrl(server.host())));
        EXPECT_THAT(client.lastError(), HasSubstr("trop volumineuse"));
    }
    Reachability::install(std::make_shared<Reachability>([] { return NetworkStatus::None; }));
    Heard heard;
    WSFendraExpert client(&heard);
    client.httpRequestAsync(WSFendraExpert::recentUrl("dossiers.cabinet.invalid"));
    Reachability::install(nullptr);
    EXPECT_THAT(heard.errors, ElementsAre("Aucun réseau disponible"));
}

} // namespace
} // namespace orvaneh
