#include "support/CliProcess.h"
#include "support/LogCapture.h"
#include "support/ProcessRunner.h"
#include "transport/OfficeFixture.h"

#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <iostream>
#include <map>
#include <regex>
#include <set>

namespace orvaneh {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ConcurrentSendTest : public test::SendTest {
protected:
    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(profile.home(), std::move(arguments));
    }
    // Starts a command-line process on its own thread, at once.
    std::future<test::ProcessResult> start(std::vector<std::string> arguments) const {
        return std::async(std::launch::async, [this, arguments] { return cli(arguments); });
    }
    // How many times the server completed each stored file.
    static std::map<std::string, int> storedCounts(const test::OfficeSimulator& server) {
        std::map<std::string, int> counts;
        for (const auto& name : server.storedInOrder()) {
            ++counts[name];
        }
        return counts;
    }
    // The uploads the server completed, in order: file name and size.
    static std::vector<std::pair<std::string, std::size_t>> uploads(const test::OfficeSimulator& server) {
        std::ifstream log(server.root() / "server.log");
        const std::regex stored(R"( STOR .*/import/(.+) completed=1 bytes=([0-9]+) )");
        std::vector<std::pair<std::string, std::size_t>> done;
        std::smatch match;
        for (std::string line; std::getline(log, line);) {
            if (std::regex_search(line, match, stored)) {
                done.emplace_back(match[1], std::stoul(match[2]));
            }
        }
        return done;
    }
};

// Senders in several threads claim at the same moment: each dictation is taken once, and a
// claimed one is not eligible again before the retry delay.
TEST_F(ConcurrentSendTest, EachDictationIsClaimedByOneSenderOnly) {
    std::set<std::int64_t> pending;
    for (int i = 0; i < 60; ++i) {
        pending.insert(addDictation("Lettre " + std::to_string(i), 0.01));
    }
    std::vector<std::future<std::vector<std::int64_t>>> senders;
    for (int thread = 0; thread < 4; ++thread) {
        senders.push_back(std::async(std::launch::async, [] {
            std::vector<std::int64_t> taken;
            while (auto claim = DicteeRequest().claimNextDicteeToSend()) {
                EXPECT_EQ(claim->record.tsTransfert, claim->stamp);
                taken.push_back(claim->record.idDictee);
            }
            return taken;
        }));
    }
    std::multiset<std::int64_t> claimed;
    for (auto& sender : senders) {
        for (std::int64_t id : sender.get()) {
            claimed.insert(id);
        }
    }
    EXPECT_EQ(claimed, std::multiset<std::int64_t>(pending.begin(), pending.end()));

    // The stamp guards the mark: a save since the claim clears it, so the mark does not take.
    const auto id = addDictation("Relue", 0.01);
    const auto claim = DicteeRequest().claimNextDicteeToSend();
    ASSERT_TRUE(claim);
    ASSERT_EQ(claim->record.idDictee, id);
    DicteeRequest().updateDictee(claim->record);
    EXPECT_FALSE(DicteeRequest().updateDicteeEnvoiIfClaimed(id, claim->stamp));
    EXPECT_EQ(record(id).envoi, 0);
    const auto again = DicteeRequest().claimNextDicteeToSend();
    ASSERT_TRUE(again) << "a saved dictation is eligible at once";
    EXPECT_TRUE(DicteeRequest().updateDicteeEnvoiIfClaimed(id, again->stamp));
    EXPECT_EQ(record(id).envoi, 1);
}

// Two real `send` processes started together on one profile: every job reaches the office
// once, every dictation ends sent, and the later process waits for the first one's pass.
TEST_F(ConcurrentSendTest, TwoSendProcessesDeliverEachJobOnce) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    std::vector<std::int64_t> all;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("passage " + std::to_string(round));
        for (int i = 0; i < 40; ++i) {
            all.push_back(addDictation("Courrier " + std::to_string(round) + "-" + std::to_string(i), 0.05));
        }
        auto first = start({"send"});
        auto second = start({"send"});
        const auto a = first.get();
        const auto b = second.get();
        EXPECT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(b.status, 0) << b.err;
        // The one that waited found nothing left; either may have started first.
        const bool aWaited = a.err.find("Un envoi est déjà en cours sur ce profil") != std::string::npos;
        const bool bWaited = b.err.find("Un envoi est déjà en cours sur ce profil") != std::string::npos;
        EXPECT_FALSE(aWaited && bWaited);
        if (aWaited || bWaited) {
            EXPECT_EQ((aWaited ? a : b).out, "Aucune dictée à envoyer.\n");
        }
    }
    const auto counts = storedCounts(server);
    std::size_t descriptors = 0;
    for (const auto& [name, times] : counts) {
        EXPECT_EQ(times, 1) << name << " reçu " << times << " fois";
        descriptors += name.ends_with(".XML") ? 1 : 0;
    }
    EXPECT_EQ(descriptors, all.size());
    for (std::int64_t id : all) {
        EXPECT_EQ(record(id).envoi, 1) << "dictée " << id;
    }
}

// While another process holds the profile's sender lock, the command line says so and waits,
// then sends; the application's timed run skips its turn quietly and leaves the dictation
// eligible for the next wake-up.
TEST_F(ConcurrentSendTest, ASenderWaitsOrSkipsWhileAnotherHoldsTheProfile) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp);
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto letter = addDictation("Lettre", 0.05);
    auto other = std::make_unique<FileLock>(Uploader::senderLockPath());
    ASSERT_EQ(other->tryLock(), FileLock::Result::Acquired);

    {
        test::LogCapture log;
        sendPass();
        EXPECT_TRUE(log.contains("Un autre envoi est en cours sur ce profil"));
        EXPECT_EQ(record(letter).envoi, 0);
        EXPECT_EQ(record(letter).tsTransfert, 0) << "skipped, not attempted";
        EXPECT_EQ(count("EnvoiOpen"), 0u);
    }

    auto waiting = start({"send"});
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(1500)), std::future_status::timeout)
        << "the command line went on while the profile was held";
    EXPECT_EQ(record(letter).envoi, 0);
    other.reset();
    const auto result = waiting.get();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.err, HasSubstr("Un envoi est déjà en cours sur ce profil : attente de sa fin…"));
    EXPECT_THAT(result.out, HasSubstr("Envoyée : dictée " + std::to_string(letter)));
    EXPECT_EQ(record(letter).envoi, 1);

    // The application's own sender is free again once its pass is over.
    const auto reminder = addDictation("Relance", 0.05);
    sendPass();
    EXPECT_EQ(record(reminder).envoi, 1);
    EXPECT_EQ(FileLock(Uploader::senderLockPath()).tryLock(), FileLock::Result::Acquired)
        << "the lock outlived the pass";
}

// `dictation delete` while another process's `send` uploads that dictation: refused, so the
// office never keeps a recording without its descriptor; once the pass is over the office holds
// the whole job and the dictation can go. `dictation list` meanwhile shows it being sent.
TEST_F(ConcurrentSendTest, ADictationBeingSentByAnotherProcessIsNotDeleted) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp, {"--read-limit", "65536"});
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto id = addDictation("En route", 6);
    const std::string job = record(id).masterJobId;
    auto send = start({"send"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(server.importDirectory() / (job + ".wav")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto listed = cli({"dictation", "list"});
    const auto deleted = cli({"dictation", "delete", std::to_string(id), "--yes"});
    const auto sent = send.get();

    EXPECT_THAT(listed.out, HasSubstr("Envoi en cours")) << listed.out;
    EXPECT_EQ(deleted.status, 1) << deleted.err;
    EXPECT_THAT(deleted.err, HasSubstr("en cours d'envoi"));
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(storedCounts(server).count(job + ".XML"), 1u) << "the office holds the whole job";
    EXPECT_EQ(record(id).envoi, 1);

    const auto later = cli({"dictation", "delete", std::to_string(id), "--yes"});
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_THAT(documentsContaining(job), ::testing::IsEmpty());
}

// `dictation edit --send` saves while a `send` of the same dictation is uploading to a slow
// office. Whatever the interleaving, once the queue is empty the office holds, for every
// dictation, the audio that is stored: an attempt that read the old version does not mark the
// dictation sent, and the next one sends it again.
TEST_F(ConcurrentSendTest, AnEditSavedDuringItsSendIsSentAgain) {
    test::OfficeSimulator server(test::OfficeSimulator::Kind::Ftp, {"--read-limit", "65536"});
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto take = profile.home() / "prise.wav";
    test::writeBytes(take, test::Wave{test::ramp(100, 16000, 5)}.bytes());
    const auto edit = [&](std::int64_t id) {
        return cli({"dictation", "edit", std::to_string(id), "--at", "0", "--take", take.string(), "--send"});
    };

    // Saved while the office is receiving the audio: the descriptor, which is what the office
    // imports, never announces the replaced audio; the same pass sends the new version.
    {
        SCOPED_TRACE("modification pendant l'envoi de l'audio");
        const auto id = addDictation("Pendant l'audio", 6);
        const std::string job = record(id).masterJobId;
        const std::size_t staleSize = recording(id).size();
        auto send = start({"send"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(server.importDirectory() / (job + ".wav")) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto edited = edit(id);
        ASSERT_EQ(edited.status, 0) << edited.err;
        ASSERT_TRUE(uploads(server).empty()) << "the audio went up before the edit: no race to check";
        const auto sent = send.get();
        EXPECT_EQ(sent.status, 0) << sent.err;
        EXPECT_THAT(sent.out, HasSubstr("Envoyée : dictée " + std::to_string(id)));
        const std::vector<std::pair<std::string, std::size_t>> expected{{job + ".wav", staleSize},
                                                                        {job + ".wav", recording(id).size()}};
        auto received = uploads(server);
        ASSERT_EQ(received.size(), 3u);
        EXPECT_EQ(received[2].first, job + ".XML");
        received.pop_back();
        EXPECT_EQ(received, expected);
    }

    int notMarked = 0;
    for (int delay : {0, 200, 400, 700, 1000, 1400}) {
        SCOPED_TRACE("modification après " + std::to_string(delay) + " ms");
        const auto id = addDictation("Compte rendu " + std::to_string(delay), 4);
        auto send = start({"send"});
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        const auto edited = edit(id);
        const auto sent = send.get();
        ASSERT_EQ(edited.status, 0) << edited.err;
        notMarked += sent.out.find("Non envoyée : dictée " + std::to_string(id)) != std::string::npos;
        // What the race left pending goes now.
        const auto last = cli({"send"});
        EXPECT_EQ(last.status, 0) << last.err;
    }
    // An edit of a dictation already sent makes a new one: every row counts.
    for (const auto& row : test::rows("select id from dictee")) {
        const auto dictee = record(std::stoll(row.at(0)));
        SCOPED_TRACE(dictee.titre);
        EXPECT_EQ(dictee.envoi, 1);
        const std::string office = test::readBytes(server.importDirectory() / (dictee.masterJobId + ".wav"));
        const std::string stored = recording(dictee.idDictee);
        EXPECT_TRUE(office == stored)
            << "the office kept " << office.size() << " bytes, the dictation has " << stored.size();
    }
    // Not asserted: which interleavings occur depends on the machine.
    std::cout << "[          ] envois non marqués après une modification : " << notMarked << " sur 6\n";
}

} // namespace
} // namespace orvaneh
