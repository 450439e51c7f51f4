#include "Platform/network/FtpConnection.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/network/FtpListingParser.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"
#include "support/Files.h"
#include "support/PeerProcess.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::PeerProcess;
using test::TemporaryDirectory;

// Credentials that would break a URL carrying them.
const std::string kLogin = "jean@cabinet:dictée";
const std::string kPassword = "p@ss:w/rd";

void writeFile(const fs::path& file, const std::string& contents) {
    std::ofstream(file, std::ios::binary) << contents;
}

std::string patternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7919) >> 5);
    }
    return bytes;
}

// A port where nothing listens.
int closedPort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), length);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

struct Block {
    std::size_t bytes;
    std::uint64_t total;
    std::uint64_t fileSize;
    bool operator==(const Block&) const = default;
};

// Everything an operation delivered, in order.
struct Recorded {
    std::vector<std::string> events;
    std::optional<std::uint64_t> willStart;
    std::vector<Block> blocks;
    std::string data;
    std::optional<std::optional<NetworkError>> completion;
    bool offLoopThread = false;
};

class FtpConnectionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = std::make_unique<TemporaryDirectory>();
        fs::create_directories(root->path() / "config" / "Cabinet Été");
        fs::create_directories(root->path() / "config" / "Autre cabinet");
        writeFile(root->path() / "config" / "Catalogue.xml",
                  "<Catalogue>" + patternBytes(70000) + "</Catalogue>");
        peer = std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/office-ftp-server.py",
                                             std::vector<std::string>{"--root", root->path().string(),
                                                                      "--login", kLogin, "--password",
                                                                      kPassword, "--quiet"});
    }
    static void TearDownTestSuite() {
        peer.reset();
        root.reset();
    }
    void SetUp() override { ASSERT_NE(peer->port(), 0) << "le serveur FTP de test n'a pas démarré"; }

    static std::string url(const std::string& path, int port = peer->port()) {
        return "ftp://127.0.0.1:" + std::to_string(port) + path;
    }

    FtpConnection::Callbacks recorder(Recorded& recorded) {
        auto onLoop = [this, &recorded] { recorded.offLoopThread |= !loop.isCurrentThread(); };
        return {
            [&recorded, onLoop](std::uint64_t size) {
                onLoop();
                recorded.events.push_back("willStart");
                recorded.willStart = size;
            },
            [&recorded, onLoop](std::size_t bytes, std::uint64_t total, std::uint64_t size) {
                onLoop();
                recorded.events.push_back("block");
                recorded.blocks.push_back({bytes, total, size});
            },
            [&recorded, onLoop](const std::string& bytes) {
                onLoop();
                recorded.data += bytes;
            },
            [&recorded, onLoop](const std::optional<NetworkError>& failure) {
                onLoop();
                recorded.events.push_back("completion");
                recorded.completion = failure;
            },
        };
    }

    void waitFor(const Recorded& recorded) {
        ASSERT_TRUE(loop.runUntil([&] { return recorded.completion.has_value(); }, Seconds(30)));
    }

    static inline std::unique_ptr<TemporaryDirectory> root;
    static inline std::unique_ptr<PeerProcess> peer;
    RunLoop loop{std::make_shared<SystemClock>()};
    FtpConnection ftp{loop, kLogin, kPassword};
    TemporaryDirectory local;
};

TEST_F(FtpConnectionTest, UploadArrivesIdenticalWithProgressPerBlock) {
    const std::string contents = patternBytes(300 * 1024 + 1234);
    writeFile(local.path() / "source.wav", contents);
    Recorded recorded;
    ftp.upload(url("/import"), "Dictée 42 du 15 été.wav", local.path() / "source.wav", recorder(recorded));
    EXPECT_TRUE(ftp.isRunning());
    waitFor(recorded);

    ASSERT_EQ(*recorded.completion, std::nullopt) << recorded.completion->value().text();
    EXPECT_FALSE(ftp.isRunning());
    EXPECT_FALSE(recorded.offLoopThread);
    EXPECT_TRUE(AtomicFile::read(root->path() / "import" / "Dictée 42 du 15 été.wav") == contents);
    EXPECT_EQ(recorded.willStart, contents.size());
    std::vector<Block> expected;
    for (std::uint64_t total = 0; total < contents.size();) {
        auto block = std::min<std::uint64_t>(FtpConnection::kBlockSize, contents.size() - total);
        total += block;
        expected.push_back({static_cast<std::size_t>(block), total, contents.size()});
    }
    EXPECT_EQ(recorded.blocks, expected);
    EXPECT_EQ(recorded.events.front(), "willStart");
    EXPECT_EQ(recorded.events.back(), "completion");
}

TEST_F(FtpConnectionTest, DownloadReplacesTheFileOnlyWhenItArrivedWhole) {
    const auto destination = local.path() / "Catalogue.xml";
    writeFile(destination, "ancien");
    Recorded fetched;
    ftp.download(url("/config/Catalogue.xml"), destination, recorder(fetched));
    waitFor(fetched);
    ASSERT_EQ(*fetched.completion, std::nullopt) << fetched.completion->value().text();
    EXPECT_TRUE(AtomicFile::read(destination) == AtomicFile::read(root->path() / "config" / "Catalogue.xml"));
    EXPECT_EQ(test::entryNames(local.path()), std::vector<std::string>{"Catalogue.xml"}); // no temporary left
}

TEST_F(FtpConnectionTest, ListingDeliversTheRawLinesOfTheDirectory) {
    Recorded recorded;
    ftp.list(url("/config"), recorder(recorded));
    waitFor(recorded);
    ASSERT_EQ(*recorded.completion, std::nullopt) << recorded.completion->value().text();

    std::vector<std::string> directories;
    std::vector<std::string> files;
    std::string_view pending = recorded.data;
    std::optional<FtpListingEntry> entry;
    for (std::ptrdiff_t consumed; (consumed = FtpListingParser::parse(pending, entry)) > 0;) {
        pending.remove_prefix(static_cast<std::size_t>(consumed));
        if (entry) {
            (entry->type == FtpListingEntry::kDirectory ? directories : files).push_back(entry->name);
        }
    }
    EXPECT_EQ(pending, "");
    std::sort(directories.begin(), directories.end());
    EXPECT_EQ(directories, (std::vector<std::string>{"Autre cabinet", "Cabinet Été"}));
    EXPECT_EQ(files, std::vector<std::string>{"Catalogue.xml"});
}

TEST_F(FtpConnectionTest, FailuresCarryTheirKindAndReplyCode) {
    struct Case {
        std::string what;
        std::function<void(FtpConnection&, FtpConnection::Callbacks)> start;
        std::string password;
        NetworkFailure kind;
        long replyCode;
    };
    const fs::path source = local.path() / "source.wav";
    const fs::path kept = local.path() / "kept.xml";
    writeFile(source, "RIFF");
    writeFile(kept, "ancien");
    const std::vector<Case> cases = {
        {"mot de passe erroné", [](auto& c, auto callbacks) { c.list(url("/import"), callbacks); }, "faux",
         NetworkFailure::Authentication, 530},
        {"fichier absent",
         [&](auto& c, auto callbacks) { c.download(url("/config/Absent.xml"), kept, callbacks); }, kPassword,
         NetworkFailure::MissingFile, 550},
        {"répertoire absent",
         [&](auto& c, auto callbacks) { c.upload(url("/absent"), "a.wav", source, callbacks); }, kPassword,
         NetworkFailure::MissingFile, 550},
        {"fichier local absent",
         [&](auto& c, auto callbacks) {
             c.upload(url("/import"), "a.wav", local.path() / "absent.wav", callbacks);
         },
         kPassword, NetworkFailure::LocalRead, 0},
        {"aucun serveur", [](auto& c, auto callbacks) { c.list(url("/", closedPort()), callbacks); },
         kPassword, NetworkFailure::CannotConnect, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        FtpConnection connection(loop, kLogin, test.password);
        Recorded recorded;
        test.start(connection, recorder(recorded));
        waitFor(recorded);
        ASSERT_TRUE(recorded.completion->has_value());
        const NetworkError& error = **recorded.completion;
        EXPECT_EQ(error.kind(), test.kind) << error.text();
        EXPECT_EQ(error.replyCode(), test.replyCode) << error.text();
        EXPECT_FALSE(error.text().empty());
    }
    EXPECT_EQ(AtomicFile::read(kept), "ancien"); // a failed download replaces nothing
}

TEST_F(FtpConnectionTest, WhatIsFetchedStopsAtTheSizeLimit) {
    const fs::path kept = local.path() / "kept.xml";
    writeFile(kept, "ancien");
    const struct {
        std::string what;
        std::size_t limit;
        std::function<void(FtpConnection&, FtpConnection::Callbacks)> start;
    } cases[] = {
        {"catalogue", 65536,
         [&](auto& c, auto callbacks) { c.download(url("/config/Catalogue.xml"), kept, callbacks); }},
        {"listage", 100, [](auto& c, auto callbacks) { c.list(url("/config"), callbacks); }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        FtpConnection connection(loop, kLogin, kPassword);
        connection.setFetchLimits(Seconds(30), test.limit);
        Recorded recorded;
        test.start(connection, recorder(recorded));
        waitFor(recorded);
        ASSERT_TRUE(recorded.completion->has_value());
        EXPECT_EQ((*recorded.completion)->kind(), NetworkFailure::TooLarge);
        EXPECT_LE(recorded.data.size(), test.limit);
    }
    EXPECT_EQ(AtomicFile::read(kept), "ancien");
    EXPECT_EQ(NetworkError::answerTooLarge(std::size_t(64) << 20).text(),
              "Réponse du serveur trop volumineuse (plus de 64 Mio).");
}

TEST_F(FtpConnectionTest, NothingIsDeliveredOnceTheConnectionIsDropped) {
    writeFile(local.path() / "long.wav", patternBytes(8 * 1024 * 1024));
    auto connection = std::make_unique<FtpConnection>(loop, kLogin, kPassword);
    Recorded recorded;
    auto callbacks = recorder(recorded);
    auto recordBlock = callbacks.bytesWritten;
    callbacks.bytesWritten = [&, recordBlock](std::size_t bytes, std::uint64_t total, std::uint64_t size) {
        recordBlock(bytes, total, size);
        connection.reset(); // from inside its own callback
    };
    connection->upload(url("/import"), "long.wav", local.path() / "long.wav", callbacks);
    ASSERT_TRUE(loop.runUntil([&] { return !recorded.blocks.empty(); }, Seconds(30)));
    loop.runFor(Seconds(1));
    EXPECT_EQ(recorded.blocks.size(), 1u);
    EXPECT_FALSE(recorded.completion.has_value());
}

// FTP over TLS against the simulator offering TLS, requiring it, not knowing it, and offering
// it with a certificate from an authority that is not trusted.
class FtpsConnectionTest : public FtpConnectionTest {
protected:
    static void SetUpTestSuite() {
        servers = std::make_unique<TemporaryDirectory>();
        const std::string trusted = (servers->path() / "autorite").string();
        plain = start("clair", {});
        offered = start("propose", {"--tls", "--cert-dir", trusted});
        required = start("exige", {"--tls-required", "--cert-dir", trusted});
        stranger = start("inconnu", {"--tls", "--cert-dir", (servers->path() / "autre-autorite").string()});
    }
    static void TearDownTestSuite() {
        for (auto* server : {&plain, &offered, &required, &stranger}) {
            server->reset();
        }
        servers.reset();
    }
    void SetUp() override {
        for (const auto* server : {&plain, &offered, &required, &stranger}) {
            ASSERT_NE((*server)->port(), 0) << "un serveur FTP de test n'a pas démarré";
        }
        PreferenceStore::install(preferences);
        preferences->setString("TrustedCertificatesFile", required->value("CA"));
    }
    void TearDown() override { PreferenceStore::install(std::make_shared<PreferenceStore>()); }

    static std::unique_ptr<PeerProcess> start(const std::string& name, std::vector<std::string> options) {
        std::vector<std::string> arguments{
            "--root",     (servers->path() / name).string(), "--login", kLogin, "--password", kPassword,
            "--seed-demo"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/office-ftp-server.py",
                                             arguments, (servers->path() / (name + ".log")).string());
    }
    static std::string at(const PeerProcess& server, const std::string& path) {
        return url(path, server.port());
    }
    static fs::path rootOf(const PeerProcess& server) { return server.value("ROOT"); }
    // The server's journal lines that hold `text`.
    static std::vector<std::string> journal(const PeerProcess& server, const std::string& text) {
        std::ifstream in(rootOf(server).parent_path() / (rootOf(server).filename().string() + ".log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            if (line.find(text) != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    static std::size_t logins(const PeerProcess& server) { return journal(server, " logged in.").size(); }

    std::optional<NetworkError>
    run(FtpSecurity security, const std::function<void(FtpConnection&, FtpConnection::Callbacks)>& start,
        Recorded& recorded) {
        FtpConnection connection(loop, kLogin, kPassword);
        connection.setSecurity(security);
        start(connection, recorder(recorded));
        EXPECT_TRUE(loop.runUntil([&] { return recorded.completion.has_value(); }, Seconds(30)));
        return recorded.completion.value_or(NetworkError::cancelled());
    }
    // Uploads `name` (its name as contents) to `server`'s import directory.
    std::optional<NetworkError> upload(const PeerProcess& server, FtpSecurity security,
                                       const std::string& name) {
        writeFile(local.path() / name, name);
        Recorded recorded;
        return run(
            security,
            [&](auto& c, auto callbacks) {
                c.upload(at(server, "/import"), name, local.path() / name, callbacks);
            },
            recorded);
    }

    static inline std::unique_ptr<TemporaryDirectory> servers;
    static inline std::unique_ptr<PeerProcess> plain;
    static inline std::unique_ptr<PeerProcess> offered;
    static inline std::unique_ptr<PeerProcess> required;
    static inline std::unique_ptr<PeerProcess> stranger;
    std::shared_ptr<PreferenceStore> preferences = std::make_shared<PreferenceStore>();
};

TEST_F(FtpsConnectionTest, RequiredTlsUploadsListsAndDownloadsWithBothChannelsEncrypted) {
    for (const auto* server : {&offered, &required}) {
        const PeerProcess& office = **server;
        SCOPED_TRACE(rootOf(office).filename().string());
        const auto failure = upload(office, FtpSecurity::TlsRequired, "chiffre.wav");
        ASSERT_EQ(failure, std::nullopt) << failure->text();
        EXPECT_EQ(AtomicFile::read(rootOf(office) / "import" / "chiffre.wav"), "chiffre.wav");

        Recorded listed;
        ASSERT_EQ(run(
                      FtpSecurity::TlsRequired,
                      [&](auto& c, auto callbacks) { c.list(at(office, "/config"), callbacks); }, listed),
                  std::nullopt);
        EXPECT_THAT(listed.data, ::testing::HasSubstr("Service Cardiologie"));

        Recorded fetched;
        const auto destination = local.path() / "Catalogue.xml";
        ASSERT_EQ(run(
                      FtpSecurity::TlsRequired,
                      [&](auto& c, auto callbacks) {
                          c.download(at(office, "/config/Catalogue.xml"), destination, callbacks);
                      },
                      fetched),
                  std::nullopt);
        EXPECT_TRUE(AtomicFile::read(destination) ==
                    AtomicFile::read(rootOf(office) / "config" / "Catalogue.xml"));

        // The data connections were encrypted too, not only the commands.
        std::vector<std::string> transfers;
        for (const char* command : {"/import/chiffre.wav ", "LIST ", "RETR "}) {
            for (const auto& line : journal(office, command)) {
                transfers.push_back(line);
            }
        }
        EXPECT_EQ(transfers.size(), 3u);
        EXPECT_THAT(transfers, ::testing::Each(::testing::HasSubstr("control=TLS data=TLS")));
    }
}

TEST_F(FtpsConnectionTest, WhenOfferedTlsIsTakenAndOtherwisePlainFtpGoesOn) {
    ASSERT_EQ(upload(*offered, FtpSecurity::TlsWhenOffered, "si-propose.wav"), std::nullopt);
    EXPECT_THAT(journal(*offered, "si-propose.wav"),
                ::testing::ElementsAre(::testing::HasSubstr("completed=1 bytes=14 ")));
    EXPECT_THAT(journal(*offered, "si-propose.wav"),
                ::testing::Each(::testing::HasSubstr("control=TLS data=TLS")));

    // A server that does not know AUTH TLS is asked again in clear.
    const auto failure = upload(*plain, FtpSecurity::TlsWhenOffered, "en-clair.wav");
    ASSERT_EQ(failure, std::nullopt) << failure->text();
    EXPECT_THAT(journal(*plain, "en-clair.wav"),
                ::testing::ElementsAre(::testing::HasSubstr("control=clear data=clear")));

    // And sites left on plain FTP do not ask for TLS even where it is offered.
    ASSERT_EQ(upload(*offered, FtpSecurity::Plain, "sans-tls.wav"), std::nullopt);
    EXPECT_THAT(journal(*offered, "sans-tls.wav"),
                ::testing::ElementsAre(::testing::HasSubstr("control=clear data=clear")));
}

TEST_F(FtpsConnectionTest, RequiredTlsAgainstAServerWithoutItSendsNothing) {
    const std::size_t before = logins(*plain);
    const auto failure = upload(*plain, FtpSecurity::TlsRequired, "jamais.wav");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->kind(), NetworkFailure::Unencrypted);
    EXPECT_EQ(failure->text(),
              "Le serveur FTP n'accepte pas le chiffrement (FTPS) exigé pour ce site : rien ne "
              "lui a été envoyé en clair.");
    EXPECT_FALSE(fs::exists(rootOf(*plain) / "import" / "jamais.wav"));
    EXPECT_EQ(logins(*plain), before) << "the login went out in clear";
}

// The server requiring TLS turns the clear login down with 550: neither a missing file nor
// a wrong password, whatever the operation.
TEST_F(FtpsConnectionTest, APlainClientOfAServerRequiringTlsIsToldItWantsEncryption) {
    Recorded listed;
    Recorded fetched;
    const std::optional<NetworkError> failures[] = {
        upload(*required, FtpSecurity::Plain, "refusé.wav"),
        run(
            FtpSecurity::Plain, [&](auto& c, auto callbacks) { c.list(at(*required, "/config"), callbacks); },
            listed),
        run(
            FtpSecurity::Plain,
            [&](auto& c, auto callbacks) {
                c.download(at(*required, "/config/Catalogue.xml"), local.path() / "Catalogue.xml", callbacks);
            },
            fetched),
    };
    for (const auto& failure : failures) {
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->kind(), NetworkFailure::EncryptionRequired) << failure->text();
        EXPECT_EQ(failure->replyCode(), 550);
        EXPECT_THAT(failure->text(), ::testing::HasSubstr("--ftps required"));
    }
    EXPECT_FALSE(fs::exists(rootOf(*required) / "import" / "refusé.wav"));
    EXPECT_FALSE(fs::exists(local.path() / "Catalogue.xml"));
}

TEST_F(FtpsConnectionTest, AnUntrustedCertificateIsRefusedInBothTlsModes) {
    for (FtpSecurity security : {FtpSecurity::TlsWhenOffered, FtpSecurity::TlsRequired}) {
        SCOPED_TRACE(static_cast<int>(security));
        const std::size_t before = logins(*stranger);
        const auto failure = upload(*stranger, security, "inconnu.wav");
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->kind(), NetworkFailure::Certificate) << failure->text();
        EXPECT_FALSE(fs::exists(rootOf(*stranger) / "import" / "inconnu.wav"));
        EXPECT_EQ(logins(*stranger), before) << "never downgraded to clear text";
    }
    // Its authority trusted, the same server is accepted: the refusal was the certificate's.
    preferences->setString("TrustedCertificatesFile", stranger->value("CA"));
    ASSERT_EQ(upload(*stranger, FtpSecurity::TlsRequired, "reconnu.wav"), std::nullopt);
}

} // namespace
} // namespace orvaneh
