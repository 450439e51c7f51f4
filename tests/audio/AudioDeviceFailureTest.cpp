// The recording screen when the microphone or the take's file fails mid-take: the back-end posts
// its notice on the main run loop; the take so far must stay in the track exactly as a stopped
// take would, the transport must be stopped, and the user told in a banner.
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace orvaneh {
namespace {

using Screen = AudioRecordControllerThree;
using test::operator+;

class AudioDeviceFailureTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    std::filesystem::path database = test::createDatabase(profile);
    OrvanehAppDelegate application;
    test::TemporaryDirectory inputs;
    std::unique_ptr<Screen> screen;

    void SetUp() override {
        screen = std::make_unique<Screen>(application, std::nullopt, ParamWorkflow{});
        screen->viewDidLoad();
        screen->viewWillAppear();
    }

    void hear(const test::Samples& samples) {
        const auto path = inputs.path() / ("input" + std::to_string(++heard_) + ".wav");
        test::writeBytes(path, test::Wave{.samples = samples}.bytes());
        profile.media().setInput(SimulatedAudioInput::file(path.string()));
    }
    void startTake() {
        screen->recordAction();
        screen->performPlayerAction();
        ASSERT_EQ(screen->etatLecteur(), Screen::kRecording);
    }
    static void run(double seconds) { RunLoop::main().runFor(Seconds(seconds)); }
    test::Samples dictation() const { return test::audioOf(profile.documents() / "dictee.wav"); }
    std::vector<std::string> banners() { return profile.ui().messages("banner"); }

private:
    int heard_ = 0;
};

TEST_F(AudioDeviceFailureTest, TakeCutShortByTheDeviceOrTheDiskIsKeptAndTheTransportStops) {
    struct Case {
        const char* notice;
        const char* message;
    };
    for (const Case& failure :
         {Case{MediaBackend::kDeviceLostNotification, "Le micro n'est plus disponible."},
          Case{MediaBackend::kRecordingFailedNotification, "Le fichier ne peut plus être écrit."}}) {
        SCOPED_TRACE(failure.notice);
        SetUp();
        const auto base = test::signal(1, 2);
        hear(base);
        startTake();
        run(2);
        NotificationCenter::defaultCenter().post(failure.notice,
                                                 Json{{"message", failure.message}, {"path", "x.wav"}});
        EXPECT_EQ(screen->etatLecteur(), Screen::kRecording) << "delivered on the main loop, not inside post";
        run(0.05);
        EXPECT_EQ(screen->etatLecteur(), Screen::kPlayer);
        EXPECT_FALSE(screen->isRecording());
        EXPECT_EQ(dictation(), base);
        EXPECT_DOUBLE_EQ(screen->dureeDictee(), 2);
        EXPECT_EQ(screen->view().durationText, "0:02");
        ASSERT_FALSE(banners().empty());
        EXPECT_EQ(banners().back(), failure.message);

        // The screen goes on: a later take is inserted at the cursor as usual.
        screen->progressSliderMoved(1);
        const auto added = test::signal(-1, 1);
        hear(added);
        startTake();
        run(1);
        screen->performPlayerAction();
        EXPECT_EQ(dictation(), test::part(base, 0, 1) + added + test::part(base, 1, 2));
        screen->cancelDictation();
    }
}

TEST_F(AudioDeviceFailureTest, NoticeOutsideATakeOnlyTellsAndEndsWithTheScreen) {
    NotificationCenter::defaultCenter().post(MediaBackend::kDeviceLostNotification,
                                             Json{{"message", "La sortie audio n'est plus disponible."}});
    run(0.05);
    EXPECT_EQ(screen->etatLecteur(), Screen::kPlayer);
    ASSERT_EQ(banners().size(), 1U);
    EXPECT_EQ(banners().back(), "La sortie audio n'est plus disponible.");

    screen.reset();
    EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(MediaBackend::kDeviceLostNotification), 0U);
    EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(MediaBackend::kRecordingFailedNotification),
              0U);
    NotificationCenter::defaultCenter().post(MediaBackend::kDeviceLostNotification, Json{{"message", "x"}});
    run(0.05);
    EXPECT_EQ(banners().size(), 1U);
}

} // namespace
} // namespace orvaneh
