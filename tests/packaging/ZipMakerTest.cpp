#include "Classes/packaging/ZipMaker.h"

#include "Classes/packaging/ZipException.h"
#include "Classes/packaging/ZipFile.h"
#include "packaging/ZipTestFiles.h"
#include "support/ProcessRunner.h"
#include "support/TestProfile.h"

#include <ctime>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::contentsOf;
using test::ProcessRunner;
using testing::ElementsAre;

class ZipMakerTest : public testing::Test {
protected:
    // The three files of a job, as the post hands them over: full paths in the documents
    // directory, the dictation larger than one copy block, the instruction empty.
    std::vector<std::string> writeJob() {
        const std::string dictation = test::audioLikeBytes(300'000, 1);
        return {profile_.writeDocument("JOB42.wav", dictation).string(),
                profile_.writeDocument("JOB42-i.wav", "").string(),
                profile_.writeDocument("JOB42.XML", "<?xml version=\"1.0\"?>\n<Job>é</Job>\n").string()};
    }

    // The clock's moment as zipinfo -T shows a local date.
    std::string localStamp() {
        const std::time_t seconds = std::chrono::system_clock::to_time_t(profile_.clock().wallNow());
        std::tm local{};
        ::localtime_r(&seconds, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y%m%d.%H%M%S", &local);
        return text;
    }

    test::TestProfile profile_;
};

TEST_F(ZipMakerTest, ArchiveHoldsTheJobInOrderWithOneDateAndUnpacksIdentically) {
    const auto inputs = writeJob();
    const std::string archive = ZipMaker::createZipFiles(inputs, "JOB42");
    EXPECT_EQ(archive, (profile_.documents() / "JOB42.zip").string());

    const auto tested = ProcessRunner::run({"/usr/bin/unzip", "-t", archive});
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    EXPECT_THAT(tested.out, testing::HasSubstr("No errors detected"));

    // zipinfo -T: one line per entry, "… defX yyyymmdd.hhmmss name"; defX is deflate at the
    // maximum level.
    const auto listed = ProcessRunner::run({"/usr/bin/zipinfo", "-T", archive});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::vector<std::string> names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
        if (words.size() == 8 && words[0].front() == '-') {
            EXPECT_EQ(words[6], localStamp()) << line;
            EXPECT_EQ(words[5], "defX") << line;
            names.push_back(words[7]);
        }
    }
    EXPECT_THAT(names, ElementsAre("JOB42.wav", "JOB42-i.wav", "JOB42.XML"));

    for (const auto& input : inputs) {
        const std::string entry = fs::path(input).filename().string();
        const auto restored = ProcessRunner::run({"/usr/bin/unzip", "-p", archive, entry});
        EXPECT_EQ(restored.status, 0) << restored.err;
        EXPECT_TRUE(restored.out == contentsOf(input)) << entry << " differs";
    }

    // Extraction into a directory, as the server does, gives the same files.
    const test::TemporaryDirectory out;
    ASSERT_EQ(ProcessRunner::run({"/usr/bin/unzip", "-q", archive, "-d", out.path().string()}).status, 0);
    for (const auto& input : inputs) {
        EXPECT_TRUE(contentsOf(out.path() / fs::path(input).filename()) == contentsOf(input));
    }
}

TEST_F(ZipMakerTest, ReplacesAnEarlierArchiveAndLeavesNoTemporaryFile) {
    profile_.writeDocument("old.txt", "from an earlier attempt");
    ZipMaker::createZipFiles({(profile_.documents() / "old.txt").string()}, "JOB42");
    fs::remove(profile_.documents() / "old.txt");

    ZipMaker::createZipFiles(writeJob(), "JOB42");

    ZipFile zip((profile_.documents() / "JOB42.zip").string(), ZipFileMode::Unzip);
    std::vector<std::string> names;
    for (const auto& info : zip.listFileInZipInfos()) {
        names.push_back(info.name);
        EXPECT_EQ(info.level, 9);
        EXPECT_EQ(info.date, profile_.clock().wallNow()); // an even second: exact in a zip date
    }
    EXPECT_THAT(names, ElementsAre("JOB42.wav", "JOB42-i.wav", "JOB42.XML"));
    EXPECT_THAT(test::entriesOf(profile_.documents()),
                ElementsAre("JOB42-i.wav", "JOB42.XML", "JOB42.wav", "JOB42.zip"));
}

TEST_F(ZipMakerTest, MissingInputFailsAndLeavesNoArchiveAtAll) {
    auto inputs = writeJob();
    ZipMaker::createZipFiles(inputs, "JOB42");
    inputs.insert(inputs.begin() + 1, (profile_.documents() / "absent.jpg").string());
    try {
        ZipMaker::createZipFiles(inputs, "JOB42");
        FAIL() << "no exception";
    } catch (const ZipException& exception) {
        EXPECT_STREQ(exception.what(), "Error in opening 'absent.jpg' in zipfile");
        EXPECT_NE(exception.error(), 0);
    }
    // Neither a half archive nor the earlier one may be posted.
    EXPECT_THAT(test::entriesOf(profile_.documents()), ElementsAre("JOB42-i.wav", "JOB42.XML", "JOB42.wav"));
}

} // namespace
} // namespace orvaneh
