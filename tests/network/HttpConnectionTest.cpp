#include "Platform/network/HttpConnection.h"

#include "Platform/crypto/Base64.h"
#include "Platform/files/AtomicFile.h"
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
using Events = std::vector<std::string>;

// Credentials that would break a URL or a naive split.
const std::string kAuthorization = "Basic " + Base64::encode("jean@cabinet:dictée:p@ss:w/rd");

// Everything a request delivered, in order.
struct Recorded {
    Events events;
    std::optional<HttpConnection::Response> response;
    std::string body;
    std::optional<NetworkError> failure;
    std::vector<std::thread::id> threads;
    bool ended() const {
        return !events.empty() && (events.back() == "failure" || events.back() == "finished");
    }
};

// `silence`: how long the server may keep quiet, whether bytes should move or it thinks.
HttpConnection::Request request(std::string url, Seconds silence = Seconds(60)) {
    HttpConnection::Request request;
    request.url = std::move(url);
    request.headers = {{"Authorization", kAuthorization}};
    request.stallLimit = silence;
    request.answerWait = silence;
    return request;
}

HttpConnection::Callbacks recorder(Recorded& recorded) {
    auto seen = [&recorded](const char* event) {
        if (recorded.events.empty() || recorded.events.back() != event) {
            recorded.events.push_back(event);
            recorded.threads.push_back(std::this_thread::get_id());
        }
    };
    return {[&recorded, seen](const HttpConnection::Response& response) {
                seen("response");
                recorded.response = response;
            },
            [&recorded, seen](const std::string& bytes) {
                seen("data");
                recorded.body += bytes;
            },
            [&recorded, seen](const NetworkError& error) {
                seen("failure");
                recorded.failure = error;
            },
            [seen] { seen("finished"); }};
}

// Two office simulators, each with a certificate authority of its own: only the first one's is trusted.
class HttpConnectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        directory = std::make_unique<TemporaryDirectory>();
        auto start = [](const std::string& name) {
            return std::make_unique<PeerProcess>(
                std::string(ORVANEH_SOURCE_DIR) + "/tools/office-https-server.py",
                std::vector<std::string>{"--store", (directory->path() / name).string(), "--login",
                                         "jean@cabinet:dictée", "--password", "p@ss:w/rd", "--quiet"});
        };
        office = start("office");
        stranger = start("stranger");
    }
    static void TearDownTestSuite() {
        office.reset();
        stranger.reset();
        directory.reset();
    }
    void SetUp() override {
        ASSERT_NE(office->port() * stranger->port(), 0) << "le serveur HTTPS de test n'a pas démarré";
        PreferenceStore::install(preferences);
        trustOffice();
        fault("none");
    }
    void TearDown() override { PreferenceStore::install(std::make_shared<PreferenceStore>()); }

    void trustOffice() { preferences->setString("TrustedCertificatesFile", office->value("CA")); }

    static std::string url(const std::string& path, const PeerProcess& peer = *office) {
        return "https://localhost:" + std::to_string(peer.port()) + path;
    }

    void run(HttpConnection::Request request, Recorded& recorded) {
        HttpConnection connection(std::move(request), loop, recorder(recorded));
        ASSERT_TRUE(loop.runUntil([&] { return recorded.ended(); }, Seconds(30)));
    }

    // What the office does to the next requests.
    void fault(const std::string& name) { control({{"fault", name}}); }
    void control(const Json& settings) {
        auto control = request(url("/__control"));
        control.method = "POST";
        control.body = settings.dump();
        Recorded recorded;
        run(control, recorded);
        ASSERT_EQ(recorded.events.back(), "finished");
    }

    static inline std::unique_ptr<TemporaryDirectory> directory;
    static inline std::unique_ptr<PeerProcess> office;
    static inline std::unique_ptr<PeerProcess> stranger;
    std::shared_ptr<PreferenceStore> preferences = std::make_shared<PreferenceStore>();
    RunLoop loop{std::make_shared<SystemClock>()};
};

TEST_F(HttpConnectionTest, PostReachesTheServerWithItsHeadersAndBodyAndErrorStatusesAreResponses) {
    const std::string bytes("\0\x01\xff binaire", 11);
    auto post = request(url("/Orvane.WebServices/Import/PostFile"));
    post.method = "POST";
    post.headers.emplace_back("Content-Type", "multipart/form-data; boundary=FrontiereBoundary");
    post.body = "--FrontiereBoundary\r\nContent-Disposition: form-data; name=\"f\"; "
                "filename=\"/d/JOB1.wav\"\r\n\r\n" +
                bytes + "\r\n--FrontiereBoundary--\r\n";
    Recorded recorded;
    run(post, recorded);
    ASSERT_EQ(recorded.events, (Events{"response", "data", "finished"}));
    EXPECT_EQ(recorded.response->status, 200);
    EXPECT_EQ(recorded.response->mimeType, "application/json");
    EXPECT_EQ(recorded.response->expectedContentLength, static_cast<std::int64_t>(recorded.body.size()));
    const auto job = std::filesystem::path(office->value("STORE")) / "jobs" / "1";
    EXPECT_EQ(AtomicFile::read(job / "JOB1.wav"), bytes);
    EXPECT_EQ(Json::parse(AtomicFile::read(job / "request.json").value_or("{}"))["headers"]["Authorization"],
              kAuthorization);

    for (const char* status : {"401", "404", "503"}) {
        fault(status);
        Recorded answered;
        run(request(url("/getlist.php")), answered);
        ASSERT_EQ(answered.events.back(), "finished") << status;
        EXPECT_EQ(answered.response->status, std::stol(status));
    }
}

TEST_F(HttpConnectionTest, FailuresCarryTheirKindAndText) {
    const std::string refused = "Le certificat du serveur n'est pas reconnu : la connexion est refusée.";
    const struct {
        std::string what, fault, url;
        Events events;
        NetworkFailure kind;
        std::string text;
    } cases[] = {
        {"autorité du serveur absente", "none", "", {"failure"}, NetworkFailure::Certificate, refused},
        {"certificat d'une autre autorité",
         "none",
         url("/getlist.php", *stranger),
         {"failure"},
         NetworkFailure::Certificate,
         refused},
        {"serveur muet",
         "stall",
         url("/getlist.php"),
         {"failure"},
         NetworkFailure::TimedOut,
         "Le serveur ne répond plus : délai d'attente dépassé."},
        {"connexion coupée",
         "cut",
         url("/getlist.php"),
         {"response", "data", "failure"},
         NetworkFailure::Other,
         "La connexion avec le serveur a été interrompue."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        fault(test.fault);
        if (test.url.empty()) {
            preferences->removeObjectForKey("TrustedCertificatesFile");
        }
        Recorded recorded;
        run(request(test.url.empty() ? url("/getlist.php") : test.url, Seconds(2)), recorded);
        trustOffice();
        ASSERT_EQ(recorded.events, test.events);
        EXPECT_EQ(recorded.failure->kind(), test.kind);
        EXPECT_EQ(recorded.failure->text(), test.text);
    }
}

TEST_F(HttpConnectionTest, AnOfficeMayThinkOnceTheBodyIsSentAndAnAnswerStopsAtTheSizeLimit) {
    // The office answers 4 s after the whole body: past the stall limit, not past the wait
    // for the answer.
    control({{"fault", "none"}, {"acceptDelay", 4}});
    const struct {
        std::string what;
        Seconds answerWait;
        Events events;
    } cases[] = {
        {"réponse dans le délai", Seconds(10), {"response", "data", "finished"}},
        {"réponse hors délai", Seconds(2.5), {"failure"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        auto post = request(url("/Orvane.WebServices/Import/PostFile"), Seconds(2));
        post.method = "POST";
        post.body = "travail";
        post.answerWait = test.answerWait;
        Recorded recorded;
        run(post, recorded);
        EXPECT_EQ(recorded.events, test.events);
        if (recorded.failure) {
            EXPECT_EQ(recorded.failure->kind(), NetworkFailure::TimedOut);
        }
    }

    fault("endless");
    auto endless = request(url("/getlist.php"), Seconds(5));
    endless.maxAnswerBytes = std::size_t(1) << 20;
    Recorded recorded;
    run(endless, recorded);
    ASSERT_EQ(recorded.events, (Events{"response", "data", "failure"}));
    EXPECT_EQ(recorded.failure->kind(), NetworkFailure::TooLarge);
    EXPECT_EQ(recorded.failure->text(), "Réponse du serveur trop volumineuse (plus de 1 Mio).");
    EXPECT_LE(recorded.body.size(), endless.maxAnswerBytes);
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
        connection = std::make_unique<HttpConnection>(request(url("/getlist.php")), otherLoop, callbacks);
    });
    ASSERT_EQ(ended.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);

    // A request to a silent server, cancelled before the stall limit, delivers nothing, not
    // even the failure that the limit would bring a second later.
    fault("stall");
    Recorded cancelled;
    otherLoop.post([&] {
        connection = std::make_unique<HttpConnection>(request(url("/getlist.php"), Seconds(1)), otherLoop,
                                                      recorder(cancelled));
        otherLoop.scheduleTimer(Seconds(0.5), false, [&](Timer&) { connection->cancel(); });
    });
    std::this_thread::sleep_for(std::chrono::seconds(3));
    otherLoop.post([&] {
        connection.reset();
        otherLoop.stop();
    });
    lastPostDone.set_value();
    other.join();

    EXPECT_EQ(recorded.events, (Events{"response", "data", "finished"}));
    EXPECT_NE(otherThread, std::this_thread::get_id());
    EXPECT_EQ(recorded.threads, std::vector<std::thread::id>(3, otherThread));
    EXPECT_TRUE(cancelled.events.empty());
}

} // namespace
} // namespace orvaneh
