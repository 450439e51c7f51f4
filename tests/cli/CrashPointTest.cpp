// The real program killed, or refused by a full or failing disk, at operations spread over all
// those a save, an edit and a send make on the profile's files: nothing is lost, nothing is
// said sent that the office does not hold whole, every track reads back, the next start-up
// leaves no temporary, and the same command once the disk is fine again succeeds.
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "audio/WaveTestFiles.h"
#include "support/CliProcess.h"
#include "support/FaultInjection.h"
#include "support/Files.h"
#include "transport/OfficeFixture.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using Kind = test::Fault::Kind;
using test::operator+;

class CrashPointTest : public test::OfficeTest {
protected:
    test::TemporaryDirectory inputs;
    test::TemporaryDirectory saved;
    const test::Samples base = test::signal(1, 3);
    const test::Samples take = test::signal(-1, 1);

    void SetUp() override {
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        ASSERT_GT(author.insertUser(), 0);
        worktypeRequest worktype;
        worktype.name = "Courrier";
        worktype.insertWorktype();
    }

    test::ProcessResult cli(std::vector<std::string> arguments) const {
        return test::runCli(profile.home(), std::move(arguments));
    }
    std::string input(const std::string& name, const test::Samples& samples) const {
        test::writeBytes(inputs.path() / name, test::Wave{.samples = samples}.bytes());
        return (inputs.path() / name).string();
    }
    fs::path documents() const { return profile.documents(); }

    // The profile as it is now, to start each run from.
    void save() const {
        fs::remove_all(saved.path() / "profil");
        fs::copy(profile.home(), saved.path() / "profil", fs::copy_options::recursive);
    }
    void restore() const {
        for (const auto& entry : fs::directory_iterator(profile.home())) {
            fs::remove_all(entry.path());
        }
        fs::copy(saved.path() / "profil", profile.home(), fs::copy_options::recursive);
    }

    // The audio of a track of the documents directory; nothing when it does not read back.
    std::optional<test::Samples> audio(const std::string& name) const {
        std::string why;
        auto header = WaveHeader::readFile((documents() / name).string(), &why);
        if (!header || header->isTruncated() || header->bitsPerSample != 16) {
            return std::nullopt;
        }
        const std::string bytes = test::readBytes(documents() / name);
        return test::samplesFrom(std::string_view(bytes).substr(0, header->audioOffset() + header->audioSize),
                                 header->audioOffset());
    }
    // What a start-up leaves: every track readable, no temporary.
    void expectWholeDocuments() const {
        for (const auto& name : test::entryNames(documents())) {
            EXPECT_FALSE(name.find(".tmp-") != std::string::npos || name.ends_with(".partiel")) << name;
            if (name.ends_with(".wav")) {
                EXPECT_TRUE(audio(name)) << name << " ne se relit pas";
            }
        }
    }
    static std::string rowsText(const std::string& sql) {
        std::string text;
        for (const auto& row : test::rows(sql)) {
            for (const auto& column : row) {
                text += column + "|";
            }
            text += "\n";
        }
        return text;
    }
    // The command's failure said in French, without a word of success, never as a missing file;
    // with `cause`, naming what the disk did.
    static void expectToldInFrench(const test::ProcessResult& result, Kind kind, bool cause = true) {
        EXPECT_THAT(result.err, testing::ContainsRegex("Erreur|n'a pas pu|n'ont pas pu|ne peut pas"))
            << "code " << result.status << ", sortie : " << result.out;
        if (cause) {
            // A read-write error SQLite met while opening the database comes back without its
            // errno: said as unknown, never as a missing file.
            EXPECT_THAT(result.err,
                        kind == Kind::NoSpace
                            ? testing::Matcher<const std::string&>(HasSubstr("plus de place sur le disque"))
                            : testing::ContainsRegex("erreur d'entrée-sortie|n'en dit pas la cause"));
        }
        EXPECT_THAT(result.err, Not(HasSubstr("introuvable")));
        for (const char* english : {"error", "disk is full", "success", "Success", "Envoyée"}) {
            EXPECT_THAT(result.err + result.out, Not(HasSubstr(english)));
        }
        // A database that cannot be read is not a dictation or a workflow that does not exist.
        for (const char* misleading : {"aucune dictée n'a l'identifiant", "Vous devez importer"}) {
            EXPECT_THAT(result.err, Not(HasSubstr(misleading)));
        }
    }
    // Runs `arguments` once with each fault of `kind` at about `wanted` points spread over the
    // operations of a clean run (a kill also before each of its renames and removals), the
    // profile put back before each, and checks each.
    template <typename Check>
    void acrossPoints(const std::vector<std::string>& arguments, const test::FaultyResult& clean, Kind kind,
                      long wanted, Check check) {
        const auto points = test::spreadPoints(clean.operations, wanted,
                                               kind == Kind::Kill ? clean.moves : std::vector<long>{});
        for (long at : points) {
            const test::Fault fault{kind, at};
            SCOPED_TRACE(fault.describe());
            restore();
            check(test::runCliWithFault(profile.home(), arguments, fault));
            if (HasFatalFailure()) {
                return;
            }
        }
    }
    test::FaultyResult cleanRun(const std::vector<std::string>& arguments) {
        restore();
        auto clean = test::runCliWithFault(profile.home(), arguments, {});
        EXPECT_EQ(clean.result.status, 0) << clean.result.err;
        EXPECT_GT(clean.operations, 0) << "the injector was not loaded";
        EXPECT_FALSE(clean.moves.empty());
        return clean;
    }
};

TEST_F(CrashPointTest, NewDictationIsWholeOrAbsent) {
    const std::vector<std::string> create{"dictation", "new",     "--audio",    input("take.wav", base),
                                          "--author",  "jdupont", "--worktype", "Courrier",
                                          "--title",   "Lettre"};
    save();
    const auto reference = cleanRun(create);
    ASSERT_EQ(audio("1.wav"), base);
    RecordProperty("operations", static_cast<int>(reference.operations));

    // After the kill or the refusal: the dictation whole, or none, or its record written and its
    // track still in the recorder's working file, for the next opening to finish the save.
    const auto wholeOrNone = [&] {
        const auto stored = test::rows("select id from dictee");
        ASSERT_LE(stored.size(), 1U);
        if (!stored.empty()) {
            EXPECT_TRUE(audio(stored[0][0] + ".wav") == base || audio("dictee.wav") == base)
                << "dictée " << stored[0][0] << " sans son enregistrement";
        }
    };
    // The same command from there succeeds, and finishes what the first one left.
    const auto retried = [&] {
        const auto again = cli(create);
        ASSERT_EQ(again.status, 0) << again.err;
        for (const auto& row : test::rows("select id from dictee")) {
            EXPECT_EQ(audio(row[0] + ".wav"), base) << "dictée " << row[0];
        }
        EXPECT_TRUE(audio(std::to_string(std::stoll(again.out)) + ".wav"));
        expectWholeDocuments();
    };
    acrossPoints(create, reference, Kind::Kill, 24, [&](const test::FaultyResult& run) {
        if (!run.killed()) {
            return;
        }
        ASSERT_EQ(cli({"dictation", "list", "--all"}).status, 0);
        expectWholeDocuments();
        wholeOrNone();
        retried();
    });
    for (Kind kind : {Kind::NoSpace, Kind::InputOutput}) {
        acrossPoints(create, reference, kind, 8, [&](const test::FaultyResult& run) {
            if (run.result.status == 0) {
                EXPECT_EQ(audio(std::to_string(std::stoll(run.result.out)) + ".wav"), base);
            } else {
                expectToldInFrench(run.result, kind);
                wholeOrNone();
            }
            retried();
        });
    }
}

TEST_F(CrashPointTest, EditedTrackIsBeforeOrAfterNeverBetween) {
    const auto made =
        cli({"dictation", "new", "--audio", input("base.wav", base), "--author", "jdupont", "--draft"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string takeFile = input("take.wav", take);
    save();
    using test::part;
    const test::Samples inserted = part(base, 0, 1) + take + part(base, 1, 3);
    const test::Samples twice = part(base, 0, 1) + take + take + part(base, 1, 3);
    const test::Samples cut = part(base, 0, 1) + part(base, 2, 3);
    struct Edit {
        std::vector<std::string> arguments;
        test::Samples after;
        test::Samples retried; // when the first one already counted
    };
    const std::vector<Edit> edits{
        {{"dictation", "edit", "1", "--at", "1", "--take", takeFile}, inserted, twice},
        {{"dictation", "edit", "1", "--cut", "1", "2", "--yes"}, cut, part(base, 0, 1)},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.arguments[3]);
        const auto reference = cleanRun(edit.arguments);
        ASSERT_EQ(audio("1.wav"), edit.after);
        const auto duration = [] {
            return std::stoll(test::rows("select duree_dictee from dictee where id = 1").at(0).at(0));
        };
        // The track before the edit or after it, never a mix; the retry from there.
        const auto retried = [&](bool editDone) {
            const auto again = cli(edit.arguments);
            ASSERT_EQ(again.status, 0) << again.err;
            const bool resumed =
                again.err.find("modification interrompue de cette dictée est reprise") != std::string::npos;
            EXPECT_EQ(audio("1.wav"), editDone || resumed ? edit.retried : edit.after) << again.err;
            EXPECT_EQ(duration(), static_cast<long long>(audio("1.wav")->size() / test::kRate));
            expectWholeDocuments();
        };
        const auto beforeOrAfter = [&]() -> bool {
            const auto now = audio("1.wav");
            EXPECT_TRUE(now == base || now == edit.after) << (now ? now->size() : 0);
            return now == edit.after;
        };
        acrossPoints(edit.arguments, reference, Kind::Kill, 12, [&](const test::FaultyResult& run) {
            if (!run.killed()) {
                return;
            }
            ASSERT_EQ(cli({"dictation", "list", "--all"}).status, 0);
            expectWholeDocuments();
            retried(beforeOrAfter());
        });
        for (Kind kind : {Kind::NoSpace, Kind::InputOutput}) {
            acrossPoints(edit.arguments, reference, kind, 6, [&](const test::FaultyResult& run) {
                if (run.result.status == 0) {
                    EXPECT_EQ(audio("1.wav"), edit.after);
                } else {
                    expectToldInFrench(run.result, kind);
                }
                retried(beforeOrAfter());
            });
        }
    }
}

class CrashPointSendTest : public CrashPointTest {
protected:
    test::OfficeSimulator server{test::OfficeSimulator::Kind::Ftp};

    // The office's files: the job's name replaced, so two sends of the same dictation compare.
    std::map<std::string, std::string> office() const { return test::filesIn(server.importDirectory()); }
    void clearOffice() const {
        for (const auto& entry : fs::directory_iterator(server.importDirectory())) {
            fs::remove_all(entry.path());
        }
    }
    static bool sent() { return test::rows("select envoi from dictee where id = 1").at(0).at(0) == "1"; }
};

TEST_F(CrashPointSendTest, SentOnlyWhenTheOfficeHoldsTheWholeJob) {
    ASSERT_NE(server.port(), 0);
    addSite(1, server.address());
    const auto made = cli({"dictation", "new", "--audio", input("take.wav", base), "--author", "jdupont",
                           "--worktype", "Courrier", "--title", "Lettre", "--send"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string job = test::rows("select masterJobId from dictee where id = 1").at(0).at(0);
    save();
    const std::vector<std::string> send{"send"};
    const auto reference = cleanRun(send);
    ASSERT_TRUE(sent());
    const auto clean = office();
    ASSERT_EQ(clean.size(), 2U);
    ASSERT_TRUE(clean.contains(job + ".XML"));

    // The descriptor goes last and is what the office imports: with it, the whole job.
    const auto officeConsistent = [&] {
        const auto now = office();
        if (now.contains(job + ".XML") || sent()) {
            EXPECT_EQ(now, clean) << "the office holds a job that is not the one sent";
        }
        for (const auto& [name, contents] : now) {
            EXPECT_EQ(contents, clean.at(name)) << name << " differs from the clean send";
        }
    };
    // Sent again after the restart, the same job, and the documents back to the dictation's own.
    const auto retried = [&] {
        const auto again = cli({"send", "--now"});
        ASSERT_EQ(again.status, 0) << again.err << again.out;
        EXPECT_TRUE(sent());
        EXPECT_EQ(office(), clean);
        EXPECT_EQ(audio("1.wav"), base);
        expectWholeDocuments();
        for (const auto& name : test::entryNames(documents())) {
            EXPECT_EQ(name.find(job), std::string::npos) << name << " left by the send";
        }
    };
    acrossPoints(send, reference, Kind::Kill, 20, [&](const test::FaultyResult&) {
        officeConsistent();
        ASSERT_EQ(audio("1.wav"), base);
        retried();
        clearOffice();
    });
    for (Kind kind : {Kind::NoSpace, Kind::InputOutput}) {
        acrossPoints(send, reference, kind, 6, [&](const test::FaultyResult& run) {
            officeConsistent();
            // Failed before the office held the job: said, with what the disk did when it stays so.
            if (run.result.status != 0 && !sent()) {
                expectToldInFrench(run.result, kind, kind == Kind::NoSpace);
            }
            ASSERT_EQ(audio("1.wav"), base);
            retried();
            clearOffice();
        });
    }
}

} // namespace
} // namespace orvaneh
