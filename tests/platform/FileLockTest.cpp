#include "Platform/files/FileLock.h"

#include "support/Files.h"
#include "support/TestProfile.h"

#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using Result = FileLock::Result;
using namespace std::chrono_literals;

// The holder's note tells others what it is doing, only while it holds the lock: a note left
// by a holder that ended is never read as current, and looking never takes the lock from it.
TEST(FileLockTest, NoteIsReadOnlyWhileTheLockIsHeld) {
    test::TemporaryDirectory directory;
    const fs::path path = directory.path() / "envoi.lock";
    EXPECT_EQ(FileLock::noteIfHeld(path), std::nullopt) << "no file";
    {
        FileLock holder(path);
        EXPECT_FALSE(holder.writeNote("7")) << "not held yet";
        ASSERT_EQ(holder.tryLock(), Result::Acquired);
        ASSERT_TRUE(holder.writeNote("1234"));
        ASSERT_TRUE(holder.writeNote("56"));
        EXPECT_EQ(FileLock::noteIfHeld(path), "56") << "the last note, not what the longer one left";
        EXPECT_TRUE(holder.locked());
        FileLock other(path);
        EXPECT_EQ(other.tryLock(), Result::HeldElsewhere) << "looking did not loosen the lock";
    }
    EXPECT_EQ(FileLock::noteIfHeld(path), std::nullopt) << "the holder is gone";
    FileLock next(path);
    EXPECT_EQ(next.tryLock(), Result::Acquired) << "looking left no lock behind";
}

TEST(FileLockTest, ExcludesAnyOtherHolderUntilReleased) {
    test::TemporaryDirectory directory;
    const fs::path path = directory.path() / "envoi.lock";
    FileLock first(path);
    FileLock second(path);
    ASSERT_EQ(first.tryLock(), Result::Acquired);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(first.tryLock(), Result::Acquired) << "a holder asking again keeps it";
    EXPECT_EQ(second.tryLock(), Result::HeldElsewhere);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(second.lockWithin(150ms), Result::HeldElsewhere);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 150ms);

    first.unlock();
    EXPECT_FALSE(first.locked());
    EXPECT_EQ(second.lockWithin(1s), Result::Acquired);
    EXPECT_EQ(first.tryLock(), Result::HeldElsewhere);
    {
        FileLock scoped(directory.path() / "autre.lock");
        ASSERT_EQ(scoped.tryLock(), Result::Acquired);
    }
    // The file stays: removing it would let two holders lock two different files.
    EXPECT_EQ(test::entryNames(directory.path()), (std::vector<std::string>{"autre.lock", "envoi.lock"}));
    EXPECT_EQ(FileLock(directory.path() / "autre.lock").tryLock(), Result::Acquired)
        << "released with its object";
}

TEST(FileLockTest, AChildProcessDoesNotKeepTheLock) {
    test::TemporaryDirectory directory;
    const fs::path path = directory.path() / "envoi.lock";
    FileLock held(path);
    ASSERT_EQ(held.tryLock(), Result::Acquired);
    pid_t child = 0;
    char program[] = "/bin/sleep";
    char seconds[] = "30";
    char* argv[] = {program, seconds, nullptr};
    ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
    held.unlock();
    EXPECT_EQ(FileLock(path).tryLock(), Result::Acquired);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST(FileLockTest, AFileThatCannotBeOpenedIsAFailureWithAReason) {
    test::TemporaryDirectory directory;
    std::string error;
    FileLock lock(directory.path() / "absent" / "envoi.lock");
    EXPECT_EQ(lock.tryLock(&error), Result::Failed);
    EXPECT_EQ(lock.lockWithin(1s), Result::Failed) << "a failure is not waited for";
    EXPECT_FALSE(lock.locked());
    EXPECT_NE(error.find("Impossible d'ouvrir le fichier de verrou"), std::string::npos) << error;
}

} // namespace
} // namespace orvaneh
