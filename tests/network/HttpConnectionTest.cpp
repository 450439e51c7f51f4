#include "Platform/network/HttpConnection.h"

#include "Platform/crypto/Base64.h"
#include "Platform/json/Json.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "support/PeerProcess.h"
#include "support/TestProfile.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace orvaneh {
namespace {

using test::PeerProcess;
using test::TemporaryDirectory;

// Everything a request delivered, in order.
struct Recorded {
    std::vector<std::string> events;
    std::optional<HttpConnection::Response> response;
    std::string body;
    std::optional<NetworkError> failure;
    std::vector<std::thread::id> threads;
    bool ended() const {
        return !events.empty() && (events.back() == "failure" || events.back() == "finished");
    }
};

HttpConnection::Request request(std::string method, std::string url,
                                std::vector<std::pair<std::string, std::string>> headers = {},
                                std::string body = {}) {
    HttpConnection::Request request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.headers = std::move(headers);
    request.body = std::move(body);
    return request;
}

HttpConnection::Callbacks recorder(Recorded& recorded) {
    auto seen = [&recorded](const char* event) {
        recorded.events.push_back(event);
        recorded.threads.push_back(std::this_thread::get_id());
    };
    return {
        [&recorded, seen](const HttpConnection::Response& response) {
            seen("response");
            recorded.response = response;
        },
        [&recorded, seen](const std::string& bytes) {
            if (recorded.events.empty() || recorded.events.back() != "data") {
                seen("data");
            }
            recorded.body += bytes;
        },
        [&recorded, seen](const NetworkError& error) {
            seen("failure");
            recorded.failure = error;
        },
        [seen] { seen("finished"); },
    };
}

class HttpConnectionTest : public ::testing::Test {
protected:
    // One server whose certificate comes from the run's authority, one self-signed.
    static void SetUpTestSuite() {
        certificates = std::make_unique<TemporaryDirectory>();
        const std::string directory = certificates->path().string();
        trusted = std::make_unique<PeerProcess>(
            std::string(ORVANEH_SOURCE_DIR) + "/tests/network/peers/https_peer.py",
            std::vector<std::string>{"--dir", directory, "--identity", "trusted"});
        selfSigned = std::make_unique<PeerProcess>(
            std::string(ORVANEH_SOURCE_DIR) + "/tests/network/peers/https_peer.py",
            std::vector<std::string>{"--dir", directory, "--identity", "self-signed"});
    }
    static void TearDownTestSuite() {
        trusted.reset();
        selfSigned.reset();
        certificates.reset();
    }
    void SetUp() override {
        ASSERT_NE(trusted->port(), 0) << "le serveur HTTPS de test n'a pas démarré";
        ASSERT_NE(selfSigned->port(), 0) << "le serveur HTTPS de test n'a pas démarré";
        PreferenceStore::install(preferences);
        trustRunAuthority(true);
    }
    void TearDown() override { PreferenceStore::install(std::make_shared<PreferenceStore>()); }

    void trustRunAuthority(bool trust) {
        if (trust) {
            preferences->setString("TrustedCertificatesFile", (certificates->path() / "ca.pem").string());
        } else {
            preferences->removeObjectForKey("TrustedCertificatesFile");
        }
    }

    static std::string url(const std::string& path, const PeerProcess& peer = *trusted) {
        return "https://localhost:" + std::to_string(peer.port()) + path;
    }

    void run(HttpConnection::Request request, Recorded& recorded) {
        HttpConnection connection(std::move(request), loop, recorder(recorded));
        ASSERT_TRUE(loop.runUntil([&] { return recorded.ended(); }, Seconds(30)));
    }

    static inline std::unique_ptr<TemporaryDirectory> certificates;
    static inline std::unique_ptr<PeerProcess> trusted;
    static inline std::unique_ptr<PeerProcess> selfSigned;
    std::shared_ptr<PreferenceStore> preferences = std::make_shared<PreferenceStore>();
    RunLoop loop{std::make_shared<SystemClock>()};
};

TEST_F(HttpConnectionTest, PostReachesTheServerWithItsHeadersAndBody) {
    const std::string authorization = "Basic " + Base64::encode("jean@cabinet:p@ss:w/rd");
    std::string body = "--FrontiereBoundary\r\n";
    body += std::string("\0\x01\xff binaire", 11);
    Recorded recorded;
    run(request("POST", url("/echo"),
                {{"Authorization", authorization}, {"Content-Type", "multipart/form-data"}}, body),
        recorded);

    ASSERT_EQ(recorded.events, (std::vector<std::string>{"response", "data", "finished"}));
    EXPECT_EQ(recorded.response->status, 200);
    EXPECT_EQ(recorded.response->mimeType, "application/json");
    EXPECT_EQ(recorded.response->expectedContentLength, static_cast<std::int64_t>(recorded.body.size()));
    auto echo = Json::parse(recorded.body);
    EXPECT_EQ(echo["method"], "POST");
    EXPECT_EQ(echo["headers"]["Authorization"], authorization);
    EXPECT_EQ(Base64::decode(echo["body"].get<std::string>()), body);
}

TEST_F(HttpConnectionTest, ErrorStatusesAreResponsesNotFailures) {
    for (long status : {401, 404, 503}) {
        Recorded recorded;
        run(request("GET", url("/status/" + std::to_string(status))), recorded);
        ASSERT_EQ(recorded.events, (std::vector<std::string>{"response", "data", "finished"})) << status;
        EXPECT_EQ(recorded.response->status, status);
        EXPECT_EQ(recorded.response->mimeType, "text/plain");
    }
}

TEST_F(HttpConnectionTest, RefusesServersWhoseCertificateIsNotTrusted) {
    struct Case {
        std::string what;
        bool trustRunAuthority;
        const PeerProcess* peer;
    };
    for (const auto& test : {Case{"autorité du test absente", false, trusted.get()},
                             Case{"certificat auto-signé", true, selfSigned.get()}}) {
        SCOPED_TRACE(test.what);
        trustRunAuthority(test.trustRunAuthority);
        Recorded recorded;
        run(request("GET", url("/echo", *test.peer)), recorded);
        ASSERT_EQ(recorded.events, std::vector<std::string>{"failure"});
        EXPECT_EQ(recorded.failure->kind(), NetworkFailure::Certificate);
        EXPECT_EQ(recorded.failure->text(),
                  "Le certificat du serveur n'est pas reconnu : la connexion est refusée.");
    }
}

TEST_F(HttpConnectionTest, FailsAfterTheResponseWhenTheServerStallsOrHangsUp) {
    auto stall = request("GET", url("/stall"));
    stall.stallLimit = Seconds(2);
    Recorded stalled;
    run(stall, stalled);
    ASSERT_EQ(stalled.events, (std::vector<std::string>{"response", "failure"}));
    EXPECT_EQ(stalled.response->expectedContentLength, 100);
    EXPECT_EQ(stalled.failure->kind(), NetworkFailure::TimedOut);
    EXPECT_EQ(stalled.failure->text(), "Le serveur ne répond plus : délai d'attente dépassé.");

    Recorded cut;
    run(request("GET", url("/cut")), cut);
    ASSERT_EQ(cut.events, (std::vector<std::string>{"response", "data", "failure"}));
    EXPECT_EQ(cut.body.size(), 100u);
    EXPECT_EQ(cut.failure->kind(), NetworkFailure::Other);
    EXPECT_EQ(cut.failure->text(), "La connexion avec le serveur a été interrompue.");
}

TEST_F(HttpConnectionTest, CallbacksArriveOnTheNamedLoopAndStopAtCancel) {
    // A loop on a thread of its own, as a background sender would name one.
    std::promise<RunLoop*> started;
    std::promise<void> lastPostDone; // the loop must outlive every post() to it
    std::thread other([&] {
        RunLoop own(std::make_shared<SystemClock>());
        started.set_value(&own);
        own.run();
        lastPostDone.get_future().wait();
    });
    RunLoop& otherLoop = *started.get_future().get();
    const auto otherThread = otherLoop.threadId();

    Recorded recorded;
    std::promise<void> ended;
    std::unique_ptr<HttpConnection> connection;
    otherLoop.post([&] {
        auto callbacks = recorder(recorded);
        callbacks.finished = [&, finished = callbacks.finished] {
            finished();
            ended.set_value();
        };
        connection = std::make_unique<HttpConnection>(request("GET", url("/echo")), otherLoop, callbacks);
    });
    ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);

    // A stalled request cancelled at its response delivers nothing more, not even the
    // failure that the stall limit would bring a second later.
    Recorded cancelled;
    otherLoop.post([&] {
        auto callbacks = recorder(cancelled);
        callbacks.response = [&](const HttpConnection::Response&) {
            cancelled.events.push_back("response");
            connection->cancel();
        };
        auto stall = request("GET", url("/stall"));
        stall.stallLimit = Seconds(1);
        connection = std::make_unique<HttpConnection>(stall, otherLoop, callbacks);
    });
    std::this_thread::sleep_for(std::chrono::seconds(3));
    otherLoop.post([&] {
        connection.reset();
        otherLoop.stop();
    });
    lastPostDone.set_value();
    other.join();

    EXPECT_EQ(recorded.events, (std::vector<std::string>{"response", "data", "finished"}));
    EXPECT_NE(otherThread, std::this_thread::get_id());
    EXPECT_EQ(recorded.threads, std::vector<std::thread::id>(3, otherThread));
    EXPECT_EQ(cancelled.events, std::vector<std::string>{"response"});
}

} // namespace
} // namespace orvaneh
