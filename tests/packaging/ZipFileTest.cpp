#include "Classes/packaging/ZipFile.h"

#include "Classes/packaging/ZipException.h"
#include "packaging/ZipTestFiles.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::ProcessRunner;
using testing::ElementsAre;

// minizip's ZIP_PARAMERROR and UNZ_PARAMERROR (its headers are private to the classes).
constexpr int kParameterError = -102;
// zlib's Z_STREAM_ERROR and Z_ERRNO.
constexpr int kStreamError = -2;
constexpr int kSystemError = -1;

class ZipFileTest : public testing::Test {
protected:
    std::string path(const std::string& name) const { return (directory_.path() / name).string(); }

    void writeArchive(const std::string& archive, ZipFileMode mode, const std::string& entry,
                      const std::string& data, int level = 9) {
        ZipFile zip(archive, mode);
        ZipWriteStream stream = zip.writeFileInZipWithName(entry, level);
        stream.writeData(data);
        stream.finishedWriting();
        zip.close();
    }

    static void expectZipException(const std::function<void()>& action, const std::string& reason,
                                   int error = 0) {
        try {
            action();
            ADD_FAILURE() << "no exception, expected: " << reason;
        } catch (const ZipException& exception) {
            EXPECT_EQ(exception.reason(), reason);
            EXPECT_EQ(exception.error(), error) << reason;
        }
    }

    test::TemporaryDirectory directory_;
};

TEST_F(ZipFileTest, ArchiveThatCannotBeOpenedOrCreated) {
    const std::string nowhere = path("missing/a.zip");
    expectZipException([&] { ZipFile zip(nowhere, ZipFileMode::Create); }, "Can't open '" + nowhere + "'");
    expectZipException([&] { ZipFile zip(path("none.zip"), ZipFileMode::Append); },
                       "Can't open '" + path("none.zip") + "'");
    expectZipException([&] { ZipFile zip(path("none.zip"), ZipFileMode::Unzip); },
                       "Can't open '" + path("none.zip") + "'");
    test::writeFile(path("text.zip"), "not an archive at all, only text\n");
    expectZipException([&] { ZipFile zip(path("text.zip"), ZipFileMode::Unzip); },
                       "Can't open '" + path("text.zip") + "'");
    expectZipException([&] { ZipFile zip(path("text.zip"), ZipFileMode::Append); },
                       "Can't open '" + path("text.zip") + "'");
    expectZipException([&] { ZipFile zip(path("a.zip"), static_cast<ZipFileMode>(3)); }, "Unknown mode 3");
    EXPECT_THAT(test::entriesOf(directory_.path()), ElementsAre("text.zip"));
    EXPECT_EQ(test::contentsOf(path("text.zip")), "not an archive at all, only text\n");
}

TEST_F(ZipFileTest, OperationsOfTheOtherMode) {
    writeArchive(path("a.zip"), ZipFileMode::Create, "a.txt", "a");
    ZipFile reading(path("a.zip"), ZipFileMode::Unzip);
    expectZipException([&] { reading.writeFileInZipWithName("b.txt", 9); },
                       "Operation not permitted with Unzip mode");
    ZipFile writing(path("b.zip"), ZipFileMode::Create);
    expectZipException([&] { writing.numFilesInZip(); }, "Operation not permitted without Unzip mode");
    expectZipException([&] { writing.goToFirstFileInZip(); }, "Operation not permitted without Unzip mode");
    expectZipException([&] { writing.readCurrentFileInZip(); }, "Operation not permitted without Unzip mode");
}

TEST_F(ZipFileTest, EntryErrorsNameTheEntryAndCarryMinizipsCode) {
    ZipFile zip(path("a.zip"), ZipFileMode::Create);
    expectZipException([&] { zip.writeFileInZipWithName("bad.txt", 10); },
                       "Error in opening 'bad.txt' in zipfile", kStreamError);

    ZipWriteStream first = zip.writeFileInZipWithName("first.txt", 9);
    ZipWriteStream second = zip.writeFileInZipWithName("second.txt", 9);
    // The first entry ended when the second opened: its stream must not write into the second.
    expectZipException([&] { first.writeData("late"); }, "Error in writing 'first.txt' in the zipfile",
                       kParameterError);
    expectZipException([&] { first.finishedWriting(); }, "Error in closing 'first.txt' in the zipfile",
                       kParameterError);
    second.writeData("second");
    zip.close();
    expectZipException([&] { second.writeData("after close"); },
                       "Error in writing 'second.txt' in the zipfile", kParameterError);
    expectZipException([&] { zip.writeFileInZipWithName("third.txt", 9); },
                       "Error in opening 'third.txt' in zipfile", kParameterError);

    const auto tested = ProcessRunner::run({"/usr/bin/unzip", "-t", path("a.zip")});
    EXPECT_EQ(tested.status, 0) << tested.out;
}

TEST_F(ZipFileTest, ArchiveIsInPlaceOnlyOnceClosed) {
    // Closing fails when the archive cannot take its final name (here a directory).
    fs::create_directory(path("taken.zip"));
    expectZipException(
        [&] {
            ZipFile zip(path("taken.zip"), ZipFileMode::Create);
            zip.writeFileInZipWithName("a.txt", 9).writeData("a");
            zip.close();
        },
        "Error in closing '" + path("taken.zip") + "'", kSystemError);
    {
        ZipFile abandoned(path("abandoned.zip"), ZipFileMode::Create);
        abandoned.writeFileInZipWithName("a.txt", 9).writeData("a");
        EXPECT_FALSE(fs::exists(path("abandoned.zip")));
    }
    EXPECT_THAT(test::entriesOf(directory_.path()), ElementsAre("taken.zip"));
}

TEST_F(ZipFileTest, CreateReplacesAndAppendAdds) {
    writeArchive(path("a.zip"), ZipFileMode::Create, "old.txt", "old");
    writeArchive(path("a.zip"), ZipFileMode::Create, "one.txt", "one");
    writeArchive(path("a.zip"), ZipFileMode::Append, "two.txt", "two", 0);

    ZipFile zip(path("a.zip"), ZipFileMode::Unzip);
    EXPECT_EQ(zip.numFilesInZip(), 2U);
    const auto infos = zip.listFileInZipInfos();
    ASSERT_EQ(infos.size(), 2U);
    EXPECT_EQ(infos[0].name, "one.txt");
    EXPECT_EQ(infos[0].level, 9);
    EXPECT_EQ(infos[1].name, "two.txt");
    EXPECT_EQ(infos[1].level, 0);
    EXPECT_EQ(infos[1].size, 3U);
    EXPECT_EQ(infos[1].crc32, test::crc32Of("two"));
    EXPECT_EQ(ProcessRunner::run({"/usr/bin/unzip", "-t", path("a.zip")}).status, 0);
}

TEST_F(ZipFileTest, ReadSideRestoresEntries) {
    const std::string data = test::audioLikeBytes(200'000, 7);
    {
        ZipFile zip(path("a.zip"), ZipFileMode::Create);
        zip.writeFileInZipWithName("empty.txt", 9).finishedWriting();
        ZipWriteStream stream = zip.writeFileInZipWithName("data.bin", 9);
        stream.writeData(std::string_view(data).substr(0, 1000));
        stream.writeData(std::string_view(data).substr(1000));
        stream.finishedWriting();
        zip.close();
    }

    ZipFile zip(path("a.zip"), ZipFileMode::Unzip);
    EXPECT_FALSE(zip.locateFileInZip("absent.bin"));
    ASSERT_TRUE(zip.locateFileInZip("data.bin"));
    const FileInZipInfo info = zip.getCurrentFileInZipInfo();
    EXPECT_EQ(info.length, data.size());
    EXPECT_LT(info.size, info.length);
    EXPECT_FALSE(info.crypted);
    ZipReadStream read = zip.readCurrentFileInZip();
    EXPECT_TRUE(read.readDataOfLength(data.size() + 10) == data);
    read.finishedReading();

    zip.close();
    expectZipException([&] { read.readDataOfLength(1); }, "Error in reading 'data.bin' in the zipfile",
                       kParameterError);
}

} // namespace
} // namespace orvaneh
