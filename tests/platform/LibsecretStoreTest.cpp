// The desktop keyring's store against a real Secret Service: a GNOME keyring on a session bus
// of the test's own.
#ifdef ORVANEH_HAVE_LIBSECRET

#include "Platform/secrets/LibsecretStore.h"

#include "support/LogCapture.h"
#include "support/PrivateSecretService.h"
#include "support/ScopedEnvironment.h"
#include "support/TestProfile.h"

#include <chrono>
#include <gmock/gmock.h>
#include <memory>

namespace orvaneh {
namespace {

using Status = SecretStore::Status;
using namespace std::chrono_literals;

class LibsecretStoreTest : public ::testing::Test {
protected:
    // One keyring for the program: GLib keeps its session bus connection for the process.
    static void SetUpTestSuite() {
        directory_ = new test::TemporaryDirectory;
        service_ = new test::PrivateSecretService(directory_->path());
    }
    static void TearDownTestSuite() {
        delete service_;
        delete directory_;
    }
    void SetUp() override {
        if (!service_->ready()) {
            GTEST_SKIP() << test::PrivateSecretService::kSkipMessage;
        }
    }

    static test::PrivateSecretService& service() { return *service_; }
    test::ScopedEnvironment bus_{"DBUS_SESSION_BUS_ADDRESS", service_->busAddress().c_str()};
    LibsecretStore store;

private:
    static inline test::TemporaryDirectory* directory_ = nullptr;
    static inline test::PrivateSecretService* service_ = nullptr;
};

TEST_F(LibsecretStoreTest, KeepsReplacesAndClearsOneSecretPerKey) {
    const SecretStore::Key key{"orvaneh", "/profils/jean/Documents", "site/1"};
    ASSERT_TRUE(store.available());
    EXPECT_EQ(store.lookup(key).status, Status::Absent);

    ASSERT_TRUE(store.store(key, "Orvaneh : site 1", "premier é:@/"));
    EXPECT_EQ(store.lookup(key).secret, "premier é:@/");
    ASSERT_TRUE(store.store(key, "Orvaneh : site 1", "second"));
    EXPECT_EQ(store.lookup(key).secret, "second");

    // What the keyring's own tools see: the attributes name the application, profile and item.
    const std::map<std::string, std::string> attributes{
        {"application", "orvaneh"}, {"profile", "/profils/jean/Documents"}, {"item", "site/1"}};
    EXPECT_EQ(service().lookup(attributes), "second");
    EXPECT_EQ(service().count(attributes), 1) << "a second store replaces, never adds";

    EXPECT_TRUE(store.clear(key));
    EXPECT_EQ(store.lookup(key).status, Status::Absent);
    EXPECT_EQ(service().count(attributes), 0);
    EXPECT_TRUE(store.clear(key)) << "nothing left is what clear asks for";
}

TEST_F(LibsecretStoreTest, TwoProfilesAndTwoItemsNeverShareASecret) {
    const SecretStore::Key jean{"orvaneh", "/profils/jean/Documents", "site/1"};
    const SecretStore::Key marie{"orvaneh", "/profils/marie/Documents", "site/1"};
    const SecretStore::Key other{"orvaneh", "/profils/jean/Documents", "site/2"};
    const SecretStore::Key elsewhere{"autre-programme", "/profils/jean/Documents", "site/1"};
    ASSERT_TRUE(store.store(jean, "jean", "secret de jean"));
    EXPECT_EQ(store.lookup(marie).status, Status::Absent);
    EXPECT_EQ(store.lookup(other).status, Status::Absent);
    EXPECT_EQ(store.lookup(elsewhere).status, Status::Absent);

    ASSERT_TRUE(store.store(marie, "marie", "secret de marie"));
    EXPECT_TRUE(store.clear(marie));
    EXPECT_EQ(store.lookup(jean).secret, "secret de jean");
    EXPECT_TRUE(store.clear(jean));
}

TEST_F(LibsecretStoreTest, ASessionWithoutBusIsToldAtOnceAndOnceInTheLog) {
    test::ScopedEnvironment noAddress("DBUS_SESSION_BUS_ADDRESS", nullptr);
    test::TemporaryDirectory runtime; // no "bus" in it
    test::ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", runtime.path().c_str());
    test::LogCapture log;
    LibsecretStore alone;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(alone.available());
    EXPECT_EQ(alone.lookup({"orvaneh", "p", "site/1"}).status, Status::Unavailable);
    EXPECT_FALSE(alone.store({"orvaneh", "p", "site/1"}, "x", "secret"));
    EXPECT_FALSE(alone.clear({"orvaneh", "p", "site/1"}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    const auto lines = log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find(
                                           "Trousseau du bureau indisponible (pas de bus de session)") !=
                                       std::string::npos;
                            }),
              1);
}

} // namespace
} // namespace orvaneh

#endif
