#include "Platform/files/FileLock.h"
#include "transport/OfficeFixture.h"

namespace orvaneh {
namespace {

// Screens and the command line learn that a pass is over from "EnvoiFin" rather than by
// polling the sender: it comes once per pass, after the last "EnvoiClose", with the sender
// already idle, however the pass ended.
class SendPassEndTest : public test::SendTest {
protected:
    struct Seen {
        std::vector<std::string> names;
        bool runningAtEnd = true;
    };
    Seen seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        seen_ = {};
    }
    int endsOnMainLoop = 0;

private:
    mutable std::mutex mutex_;
    Seen seen_;
    std::vector<Observation> observations_ = [this] {
        std::vector<Observation> observations;
        for (const char* name : {"EnvoiClose", "EnvoiFin"}) {
            observations.push_back(NotificationCenter::defaultCenter().addObserver(
                name, [this](const PostedNotification& posted) {
                    std::lock_guard lock(mutex_);
                    seen_.names.push_back(posted.name);
                    if (posted.name == "EnvoiFin") {
                        seen_.runningAtEnd = uploader.running();
                    }
                }));
        }
        observations.push_back(NotificationCenter::defaultCenter().addMainLoopObserver(
            "EnvoiFin", [this](const PostedNotification&) { ++endsOnMainLoop; }));
        return observations;
    }();
};

TEST_F(SendPassEndTest, EveryPassEndsWithOneEnvoiFinOnceTheSenderIsIdle) {
    // A site that takes nothing: each attempt ends at once and the dictation waits.
    addSite(3, "127.0.0.1:21");
    struct Case {
        std::string title;
        int dictations;
        bool profileHeldElsewhere;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"rien à envoyer", 0, false, {"EnvoiFin"}},
        {"deux dictées", 2, false, {"EnvoiClose", "EnvoiClose", "EnvoiFin"}},
        {"profil tenu par un autre envoi", 1, true, {"EnvoiFin"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        for (int i = 0; i < c.dictations; ++i) {
            addDictation(c.title + " " + std::to_string(i), 0.05);
        }
        std::unique_ptr<FileLock> other;
        if (c.profileHeldElsewhere) {
            other = std::make_unique<FileLock>(Uploader::senderLockPath());
            ASSERT_EQ(other->tryLock(), FileLock::Result::Acquired);
        }
        forget();
        const int endsBefore = endsOnMainLoop;
        ASSERT_TRUE(uploader.startRun());
        ASSERT_TRUE(runUntil([&] { return endsOnMainLoop > endsBefore; }));
        RunLoop::main().runPending();
        EXPECT_EQ(seen().names, c.expected);
        EXPECT_FALSE(seen().runningAtEnd);
        EXPECT_EQ(endsOnMainLoop, endsBefore + 1);
        EXPECT_FALSE(uploader.running());
    }
}

} // namespace
} // namespace orvaneh
