#include "Classes/packaging/ZipException.h"
#include "Classes/packaging/ZipFile.h"
#include "Classes/packaging/ZipMaker.h"
#include "Platform/files/AtomicFile.h"
#include "support/Files.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::ProcessRunner;
using testing::ElementsAre;

// A noisy, repetitive signal: deflates, but not to nothing, and crosses several copy blocks.
std::string audioLikeBytes(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t index = 0; index < length; ++index) {
        bytes[index] = static_cast<char>((index % 251) ^ ((index * 2654435761U) >> 28));
    }
    return bytes;
}

// minizip's ZIP_PARAMERROR/UNZ_PARAMERROR, zlib's Z_STREAM_ERROR and Z_ERRNO (the headers
// are private to the classes).
constexpr int kParameterError = -102;
constexpr int kStreamError = -2;
constexpr int kSystemError = -1;

class ZipTest : public testing::Test {
protected:
    std::string path(const std::string& name) const { return (profile_.documents() / name).string(); }

    static void expectZipException(const std::function<void()>& action, const std::string& reason,
                                   int error = 0) {
        SCOPED_TRACE(reason);
        try {
            action();
            ADD_FAILURE() << "no exception";
        } catch (const ZipException& exception) {
            EXPECT_EQ(exception.reason(), reason);
            EXPECT_EQ(exception.error(), error);
        }
    }

    // The three files of a job as the post hands them over: the dictation larger than one copy
    // block, the instruction empty.
    std::vector<std::string> writeJob() {
        return {profile_.writeDocument("JOB42.wav", audioLikeBytes(300'000)).string(),
                profile_.writeDocument("JOB42-i.wav", "").string(),
                profile_.writeDocument("JOB42.XML", "<?xml version=\"1.0\"?>\n<Job>é</Job>\n").string()};
    }

    test::TestProfile profile_;
};

TEST_F(ZipTest, OpeningAndModeErrorsAreReportedAndTouchNothing) {
    std::ofstream(path("text.zip")) << "only text\n";
    const struct {
        std::string file;
        ZipFileMode mode;
    } unopenable[] = {{path("missing/a.zip"), ZipFileMode::Create},
                      {path("none.zip"), ZipFileMode::Append},
                      {path("none.zip"), ZipFileMode::Unzip},
                      {path("text.zip"), ZipFileMode::Unzip},
                      {path("text.zip"), ZipFileMode::Append}};
    for (const auto& [file, mode] : unopenable) {
        expectZipException([&] { ZipFile zip(file, mode); },
                           "Impossible d'ouvrir l'archive « " + file + " »");
    }
    expectZipException([&] { ZipFile zip(path("a.zip"), static_cast<ZipFileMode>(3)); },
                       "Mode d'ouverture d'archive inconnu : 3");
    EXPECT_THAT(test::entryNames(profile_.documents()), ElementsAre("text.zip"));
    EXPECT_EQ(AtomicFile::read(path("text.zip")), "only text\n");

    ZipFile created(path("a.zip"), ZipFileMode::Create);
    created.writeFileInZipWithName("a.txt", 9).writeData("a");
    created.close();
    ZipFile reading(path("a.zip"), ZipFileMode::Unzip);
    expectZipException([&] { reading.writeFileInZipWithName("b.txt", 9); },
                       "Opération impossible : l'archive est ouverte en lecture");
    ZipFile writing(path("b.zip"), ZipFileMode::Create);
    expectZipException([&] { writing.readCurrentFileInZip(); },
                       "Opération impossible : l'archive est ouverte en écriture");
}

TEST_F(ZipTest, EntryAndClosingErrorsNameTheirFileAndCarryTheCode) {
    ZipFile zip(path("a.zip"), ZipFileMode::Create);
    for (int level : {10, -2}) {
        expectZipException([&] { zip.writeFileInZipWithName("bad.txt", level); },
                           "Impossible d'ouvrir l'élément « bad.txt » dans l'archive", kStreamError);
    }
    ZipWriteStream first = zip.writeFileInZipWithName("first.txt", 9);
    ZipWriteStream second = zip.writeFileInZipWithName("second.txt", 9);
    // The first entry ended when the second opened: its stream must not write into the second.
    expectZipException([&] { first.writeData("late"); },
                       "Impossible d'écrire l'élément « first.txt » dans l'archive", kParameterError);
    second.writeData("second");
    zip.close();
    expectZipException([&] { zip.writeFileInZipWithName("third.txt", 9); },
                       "Impossible d'ouvrir l'élément « third.txt » dans l'archive", kParameterError);
    EXPECT_EQ(ProcessRunner::run({"/usr/bin/unzip", "-t", path("a.zip")}).status, 0);

    // Closing fails when the archive cannot take its final name (here a directory); nothing is left.
    fs::create_directory(path("taken.zip"));
    expectZipException(
        [&] {
            ZipFile taken(path("taken.zip"), ZipFileMode::Create);
            taken.writeFileInZipWithName("a.txt", 9).writeData("a");
            taken.close();
        },
        "Impossible de terminer l'archive « " + path("taken.zip") + " »", kSystemError);
    EXPECT_THAT(test::entryNames(profile_.documents()), ElementsAre("a.zip", "taken.zip"));
}

TEST_F(ZipTest, ReplacesAnEarlierArchiveWithTheJobInOrderWithOneDateUnpackingIdentically) {
    profile_.writeDocument("old.txt", "from an earlier attempt");
    ZipMaker::createZipFiles({path("old.txt")}, "JOB42");
    fs::remove(path("old.txt"));

    const auto inputs = writeJob();
    const std::string archive = ZipMaker::createZipFiles(inputs, "JOB42");
    EXPECT_EQ(archive, (profile_.documents() / "JOB42.zip").string());
    EXPECT_THAT(test::entryNames(profile_.documents()),
                ElementsAre("JOB42-i.wav", "JOB42.XML", "JOB42.wav", "JOB42.zip"));

    ZipFile zip(archive, ZipFileMode::Unzip);
    std::vector<std::string> names;
    for (const auto& info : zip.listFileInZipInfos()) {
        names.push_back(info.name);
        EXPECT_EQ(info.level, 9) << info.name;
        EXPECT_EQ(info.date, profile_.clock().wallNow()) << info.name; // an even second: exact in a zip date
    }
    EXPECT_THAT(names, ElementsAre("JOB42.wav", "JOB42-i.wav", "JOB42.XML"));
    for (const auto& input : inputs) {
        const std::string entry = fs::path(input).filename().string();
        const auto restored = ProcessRunner::run({"/usr/bin/unzip", "-p", archive, entry});
        EXPECT_EQ(restored.status, 0) << restored.err;
        EXPECT_TRUE(restored.out == AtomicFile::read(input)) << entry << " differs";
    }
}

TEST_F(ZipTest, MissingInputFailsAndLeavesNoArchiveAtAll) {
    auto inputs = writeJob();
    ZipMaker::createZipFiles(inputs, "JOB42");
    inputs.insert(inputs.begin() + 1, (profile_.documents() / "absent.jpg").string());
    try {
        ZipMaker::createZipFiles(inputs, "JOB42");
        FAIL() << "no exception";
    } catch (const ZipException& exception) {
        EXPECT_STREQ(exception.what(),
                     "Impossible de lire le fichier « absent.jpg » à mettre dans l'archive");
        EXPECT_NE(exception.error(), 0);
    }
    // Neither a half archive nor the earlier one may be posted.
    EXPECT_THAT(test::entryNames(profile_.documents()), ElementsAre("JOB42-i.wav", "JOB42.XML", "JOB42.wav"));
}

} // namespace
} // namespace orvaneh
