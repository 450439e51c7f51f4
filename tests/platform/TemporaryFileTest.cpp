#include "Platform/files/TemporaryFile.h"

#include "Platform/files/AtomicFile.h"
#include "support/Files.h"
#include "support/TestProfile.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& contents) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(descriptor, 0) << path;
    ASSERT_EQ(::write(descriptor, contents.data(), contents.size()), static_cast<ssize_t>(contents.size()));
    ::close(descriptor);
}

// A writer in another process: it creates its temporary beside `target`, writes into it, says
// so on the pipe, then waits to be killed.
pid_t startWriter(const fs::path& target, std::string& temporaryPath) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        TemporaryFile temporary;
        if (temporary.create(target) && ::write(temporary.descriptor(), "audio", 5) == 5) {
            const std::string& name = temporary.path();
            (void)!::write(ready[1], name.data(), name.size());
        }
        ::close(ready[1]);
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char name[4096];
    const auto got = ::read(ready[0], name, sizeof name);
    ::close(ready[0]);
    temporaryPath.assign(name, got > 0 ? static_cast<std::size_t>(got) : 0);
    return child;
}

TEST(TemporaryFileTest, CommitReplacesTheTargetAndDiscardLeavesNothing) {
    test::TemporaryDirectory directory;
    const fs::path target = directory.path() / "3.wav";
    writeFile(target, "ancien");
    {
        TemporaryFile temporary;
        ASSERT_TRUE(temporary.create(target));
        EXPECT_TRUE(TemporaryFile::isTemporaryName(fs::path(temporary.path()).filename().string()));
        EXPECT_EQ(fs::status(temporary.path()).permissions() & fs::perms::mask,
                  fs::perms::owner_read | fs::perms::owner_write);
        ASSERT_EQ(::write(temporary.descriptor(), "nouveau", 7), 7);
        ASSERT_EQ(temporary.commit(target), 0);
    }
    EXPECT_EQ(AtomicFile::read(target).value_or(""), "nouveau");
    {
        TemporaryFile abandoned;
        ASSERT_TRUE(abandoned.create(target));
    }
    EXPECT_EQ(test::entryNames(directory.path()), std::vector<std::string>{"3.wav"});
}

TEST(TemporaryFileTest, CleanUpRemovesOnlyTemporariesOfDeadWriters) {
    test::TemporaryDirectory directory;
    const fs::path documents = directory.path();
    // A writer of this process, one of another live process, and one killed mid-write.
    TemporaryFile live;
    ASSERT_TRUE(live.create(documents / "1.wav"));
    std::string otherLive;
    const pid_t liveWriter = startWriter(documents / "2.wav", otherLive);
    std::string killed;
    const pid_t killedWriter = startWriter(documents / "3.wav", killed);
    ASSERT_GT(liveWriter, 0);
    ASSERT_GT(killedWriter, 0);
    ASSERT_FALSE(otherLive.empty());
    ASSERT_FALSE(killed.empty());
    ::kill(killedWriter, SIGKILL);
    ::waitpid(killedWriter, nullptr, 0);

    // Leftovers of each writer, and entries that only look like them.
    writeFile(documents / ".db_Quira.sql.sqlite.tmp-k3v9q0a1zz", "atomique");
    writeFile(documents / ".7.zip.tmp-Ab12Cd", "zip");
    writeFile(documents / "4.wav", "piste");
    writeFile(documents / "notes.tmp-1", "pas caché");
    writeFile(documents / ".tmp-seul", "sans nom");
    fs::create_directory(documents / ".dossier.tmp-123456");
    ASSERT_EQ(::mkfifo((documents / ".tube.wav.tmp-123456").c_str(), 0600), 0);
    fs::create_symlink(documents / "4.wav", documents / ".lien.wav.tmp-123456");

    EXPECT_EQ(TemporaryFile::removeAbandoned(documents), 3U);
    const auto left = test::entryNames(documents);
    const std::vector<std::string> gone{fs::path(killed).filename().string(),
                                        ".db_Quira.sql.sqlite.tmp-k3v9q0a1zz", ".7.zip.tmp-Ab12Cd"};
    for (const auto& name : gone) {
        EXPECT_EQ(std::count(left.begin(), left.end(), name), 0) << name;
    }
    for (const std::string& name :
         {fs::path(live.path()).filename().string(), fs::path(otherLive).filename().string(),
          std::string("4.wav"), std::string("notes.tmp-1"), std::string(".tmp-seul"),
          std::string(".dossier.tmp-123456"), std::string(".tube.wav.tmp-123456"),
          std::string(".lien.wav.tmp-123456")}) {
        EXPECT_EQ(std::count(left.begin(), left.end(), name), 1) << name;
    }
    EXPECT_EQ(AtomicFile::read(documents / "4.wav").value_or(""), "piste") << "a link is not followed";

    // The live writers are unharmed: they finish as if nothing had happened.
    ASSERT_EQ(::write(live.descriptor(), "prise", 5), 5);
    EXPECT_EQ(live.commit(documents / "1.wav"), 0);
    EXPECT_EQ(AtomicFile::read(documents / "1.wav").value_or(""), "prise");
    ::kill(liveWriter, SIGKILL);
    ::waitpid(liveWriter, nullptr, 0);
    EXPECT_EQ(TemporaryFile::removeAbandoned(documents), 1U) << "once its writer is gone";
}

} // namespace
} // namespace orvaneh
