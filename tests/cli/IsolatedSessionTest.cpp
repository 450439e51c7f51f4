// A test program started from a desktop session never reaches that session's bus, hence its
// keyring: this program runs itself again with a session bus in its environment, as a
// developer's shell gives one, where the passwords would otherwise go.
#ifdef ORVANEH_HAVE_LIBSECRET

#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/secrets/LibsecretStore.h"
#include "support/CliProcess.h"
#include "support/SilentSocket.h"
#include "support/TestProfile.h"

#include <cstdlib>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;

// Set (to the session's runtime directory) in the program run again: the part to run there.
constexpr const char* kLaunchedFromSession = "ORVANEH_TEST_LAUNCHED_FROM_SESSION";

const std::string kPassword = "mot-de-passe-du-cabinet";

test::ProcessResult addSite(const std::filesystem::path& home,
                            const std::map<std::string, std::string>& environment = {}) {
    return test::runCli(home,
                        {"site", "add", "--name=Cabinet", "--type=2", "--address=office.example",
                         "--login=jean", "--password-stdin"},
                        kPassword + "\n", environment);
}

std::string storedPassword(const std::filesystem::path& home) {
    auto connection = SqlConnection::open(home / "Documents" / "db_Quira.sql.sqlite");
    SqlStatement select(*connection, "select mdp from site where name = 'Cabinet'");
    return select.step() == SqlStatement::Step::Row ? select.columnText(0) : "<aucun site>";
}

// What runs in the program started with the session's variables.
void runAsLaunchedFromSession(const std::string& sessionRuntime) {
    EXPECT_EQ(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    ASSERT_NE(runtime, nullptr);
    EXPECT_NE(std::filesystem::path(runtime), std::filesystem::path(sessionRuntime));
    EXPECT_TRUE(std::filesystem::is_empty(runtime));

    LibsecretStore inProcess;
    EXPECT_FALSE(inProcess.available());

    test::TemporaryDirectory home;
    auto added = addSite(home.path());
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(storedPassword(home.path()), kPassword);
}

TEST(IsolatedSessionTest, ADevelopersSessionBusIsNeverReachedAndPasswordsStayInTheProfile) {
    if (const char* sessionRuntime = std::getenv(kLaunchedFromSession)) {
        runAsLaunchedFromSession(sessionRuntime);
        return;
    }
    // The session: its bus in the runtime directory and named by the address, as on a desktop.
    test::TemporaryDirectory runtime;
    test::SilentSocket bus(runtime.path() / "bus");
    ASSERT_TRUE(bus.ready());
    const std::map<std::string, std::string> session{{"DBUS_SESSION_BUS_ADDRESS", bus.busAddress()},
                                                     {"XDG_RUNTIME_DIR", runtime.path().string()}};

    // The bus would be reached by an orvaneh-cli given it (so that the check below can fail).
    test::TemporaryDirectory home;
    auto reaching = addSite(home.path(), session);
    EXPECT_EQ(reaching.status, 0) << reaching.err;
    EXPECT_GE(bus.takeConnections(), 1);

    auto environment = session;
    environment[kLaunchedFromSession] = runtime.path().string();
    // This test alone, whatever sharding or report the runner asked of this run.
    for (const char* name :
         {"GTEST_OUTPUT", "GTEST_SHARD_INDEX", "GTEST_TOTAL_SHARDS", "GTEST_SHARD_STATUS_FILE"}) {
        environment[name] = "";
    }
    auto launched =
        test::ProcessRunner::run({"/proc/self/exe", "--gtest_filter=IsolatedSessionTest.*"}, environment);
    EXPECT_EQ(launched.status, 0) << launched.out << launched.err;
    EXPECT_THAT(launched.out, HasSubstr("[  PASSED  ] 1 test"));
    EXPECT_EQ(bus.takeConnections(), 0);
}

} // namespace
} // namespace orvaneh

#endif
