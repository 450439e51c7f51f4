#include "Platform/log/Log.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

class LogRotationTest : public ::testing::Test {
protected:
    test::TemporaryDirectory directory;
    fs::path file = directory.path() / "orvaneh.log";

    void TearDown() override { Log::setFile({}); }

    // The lines of the log and its rotated files, oldest first.
    std::vector<std::string> allLines() const {
        std::vector<std::string> lines;
        for (const std::string suffix : {".3", ".2", ".1", ""}) {
            std::ifstream in(file.string() + suffix);
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    void expectBoundedFiles(std::uintmax_t slack) const {
        for (const std::string suffix : {"", ".1", ".2", ".3"}) {
            std::error_code absent;
            const auto size = fs::file_size(file.string() + suffix, absent);
            EXPECT_LE(absent ? 0 : size, Log::kRotationSize + slack) << suffix;
        }
        EXPECT_FALSE(fs::exists(file.string() + ".4"));
    }
};

// Past three rotations the oldest lines go; the ones kept are in order, none missing.
TEST_F(LogRotationTest, TheLogKeepsFourBoundedFilesInOrder) {
    Log::setEchoToStderr(false);
    Log::setFile(file);
    const std::string padding(100, 'x');
    const int count = 50'000; // about 6 MiB of lines
    for (int index = 0; index < count; ++index) {
        Log::write("ligne " + std::to_string(index) + " " + padding);
    }
    Log::setEchoToStderr(true);
    expectBoundedFiles(0);
    const auto lines = allLines();
    ASSERT_GT(lines.size(), 20'000u);
    ASSERT_TRUE(fs::exists(file.string() + ".3"));
    const std::regex shape(R"(\S+ \S+ ligne (\d+) x+)");
    int expected = count - static_cast<int>(lines.size());
    for (const auto& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        ASSERT_EQ(std::stoi(match[1]), expected++);
    }
    EXPECT_EQ(fs::status(file.string() + ".2").permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Two processes writing the same log across a rotation: every line of each is kept whole.
TEST_F(LogRotationTest, TwoProcessesRotatingTogetherLoseNoLine) {
    const int perProcess = 7'000; // two of them fill the log past one rotation, not past three
    std::vector<pid_t> children;
    for (int process = 0; process < 2; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Log::setEchoToStderr(false);
            Log::setFile(file);
            for (int index = 0; index < perProcess; ++index) {
                Log::write("processus " + std::to_string(process) + " ligne " + std::to_string(index) + " " +
                           std::string(150, 'y'));
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_TRUE(fs::exists(file.string() + ".1"));
    // A line may still land in a file another process has just renamed.
    expectBoundedFiles(64 * 1024);
    std::map<std::string, std::vector<int>> seen;
    const std::regex shape(R"(\S+ \S+ (processus \d) ligne (\d+) y{150})");
    for (const auto& line : allLines()) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, shape)) << line;
        seen[match[1]].push_back(std::stoi(match[2]));
    }
    for (const auto& [process, indexes] : seen) {
        std::vector<int> sorted = indexes;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted.size(), static_cast<std::size_t>(perProcess)) << process;
        EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) << process;
    }
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace
} // namespace orvaneh
