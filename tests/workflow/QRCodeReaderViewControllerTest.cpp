// The code reader screen: camera frames read only inside the target and only when one code is
// seen, pictures and the clipboard, the camera-access alert, and closing.
#include "Classes/workflow/QRCodeReaderViewController.h"

#include "Classes/screens/NavigationController.h"
#include "Platform/runloop/RunLoop.h"
#include "support/CodeImages.h"
#include "support/TestImages.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

using Reader = QRCodeReaderViewController;
using test::CodeImages;

// A camera on the test's side: the frames it "takes" are the pictures the test hands it.
class TestCamera : public Reader::Camera {
public:
    bool available = true;
    int starts = 0;
    int stops = 0;
    FrameHandler handler;

    bool start(FrameHandler frames) override {
        if (!available) {
            return false;
        }
        ++starts;
        handler = std::move(frames);
        return true;
    }
    void stop() override { ++stops; }
    bool running() const { return starts > stops; }
    void show(const RgbImage& picture) const {
        if (handler) {
            handler(CodeReader::Frame::of(picture));
        }
    }
};

class QRCodeReaderViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    CodeImages codes{profile.home()};
    NavigationController navigation;
    std::shared_ptr<Reader> reader = std::make_shared<Reader>();
    std::shared_ptr<TestCamera> camera = std::make_shared<TestCamera>();
    std::vector<std::string> heard;

    void SetUp() override {
        reader->setCallback([this](Reader& scanner, const std::string& text) {
            EXPECT_EQ(&scanner, reader.get());
            heard.push_back(text);
        });
        navigation.present(reader);
    }
    void TearDown() override {
        navigation.popToRoot();
        RunLoop::main().runPending();
    }
    RgbImage qr(const std::string& text) { return CodeImages::read(codes.qrFile(text, 3)); }
    // The alerts shown, as (message, buttons).
    std::vector<std::pair<std::string, std::vector<std::string>>> alerts() {
        std::vector<std::pair<std::string, std::vector<std::string>>> shown;
        for (const auto& call : profile.ui().calls()) {
            if (call.kind == "choices") {
                std::vector<std::string> buttons;
                for (const auto& choice : call.choices) {
                    buttons.push_back(choice.title);
                }
                shown.emplace_back(call.message, buttons);
            }
        }
        return shown;
    }
};

TEST_F(QRCodeReaderViewControllerTest, CameraFramesAreReadInsideTheTargetOnceOneCodeIsSeen) {
    EXPECT_EQ(Reader::helpLabel(), "Placez le code dans le cadre");
    // The capture area as large as the camera's frames: the target is their centre.
    reader->setCaptureBounds({0, 0, 640, 480});
    ASSERT_EQ(reader->holeBounds(), (Rect{215, 135, 210, 210}));
    reader->setCamera(camera);
    EXPECT_FALSE(reader->captureSessionOpen());
    ASSERT_TRUE(reader->startReading());
    EXPECT_TRUE(reader->captureSessionOpen());
    EXPECT_TRUE(camera->running());

    const RgbImage inside = qr("DANS-LE-CADRE");
    const RgbImage other = qr("AUTRE");
    auto frame = [](std::vector<std::pair<const RgbImage*, std::pair<int, int>>> pasted) {
        RgbImage picture = CodeImages::busyBackground(640, 480);
        for (const auto& [code, at] : pasted) {
            picture.paste(*code, at.first, at.second);
        }
        return picture;
    };
    // Nothing, a code outside the target only, two codes inside it: reading goes on.
    const RgbImage outsideOnly = frame({{&other, {20, 20}}});
    ASSERT_EQ(CodeReader::readImage(outsideOnly).symbols.size(), 1u) << "visible in the frame";
    for (const RgbImage& picture :
         {frame({}), outsideOnly, frame({{&inside, {220, 140}}, {&other, {330, 250}}})}) {
        camera->show(picture);
        EXPECT_TRUE(heard.empty());
        EXPECT_TRUE(reader->reading());
        EXPECT_TRUE(reader->shape().empty());
    }

    // One code inside, whatever lies outside: read, the camera stops, the outline is drawn.
    camera->show(frame({{&inside, {260, 180}}, {&other, {20, 20}}}));
    EXPECT_EQ(heard, std::vector<std::string>{"DANS-LE-CADRE"});
    EXPECT_FALSE(reader->reading());
    EXPECT_FALSE(camera->running());
    ASSERT_EQ(reader->shape().size(), 4u);
    for (const auto& corner : reader->shape()) {
        EXPECT_TRUE(corner.x >= 260 && corner.x <= 260 + inside.width()) << corner.x;
        EXPECT_TRUE(corner.y >= 180 && corner.y <= 180 + inside.height()) << corner.y;
    }
    // A frame already on its way is not read again.
    camera->show(frame({{&inside, {260, 180}}}));
    EXPECT_EQ(heard.size(), 1u);

    // Appearing again restarts the same session; closing stops and forgets it.
    reader->viewDidAppear();
    EXPECT_EQ(camera->starts, 2);
    EXPECT_TRUE(reader->reading());
    // A code that carries no text is handed over as the empty text.
    reader->captureOutput({CodeReader::Symbol{"QR", "", {}}}, 640, 480);
    EXPECT_EQ(heard, (std::vector<std::string>{"DANS-LE-CADRE", ""}));
    reader->viewDidAppear();
    reader->close();
    EXPECT_FALSE(camera->running());
    EXPECT_FALSE(reader->captureSessionOpen());
    EXPECT_EQ(navigation.presented(), nullptr);
    EXPECT_TRUE(alerts().empty());
}

TEST_F(QRCodeReaderViewControllerTest, ThePictureFillsTheCaptureAreaAndTheTargetFollows) {
    // A phone held upright over frames wider than high: the frame's sides are cut off.
    reader->setCaptureBounds({0, 0, 320, 568});
    reader->setCamera(camera);
    ASSERT_TRUE(reader->startReading());
    const Rect hole = reader->holeBounds();
    const RgbImage code = qr("REMPLI");

    // Shown on screen (the frame's middle), yet left of the target: not read.
    RgbImage picture(640, 480, 255);
    picture.paste(code, 200, 200);
    camera->show(picture);
    EXPECT_TRUE(heard.empty());

    // In the middle of the frame, under the target: read, its outline over the target.
    picture = RgbImage(640, 480, 255);
    picture.paste(code, 320 - code.width() / 2, 240 - code.height() / 2);
    camera->show(picture);
    EXPECT_EQ(heard, std::vector<std::string>{"REMPLI"});
    ASSERT_EQ(reader->shape().size(), 4u);
    for (const auto& corner : reader->shape()) {
        EXPECT_TRUE(corner.x > hole.x && corner.x < hole.x + hole.width) << corner.x;
        EXPECT_TRUE(corner.y > hole.y && corner.y < hole.y + hole.height) << corner.y;
    }
}

TEST_F(QRCodeReaderViewControllerTest, WithoutACameraTheAccessAlertIsShownAndTheScreenStays) {
    const std::string text =
        "Le lecteur de code ne peut accèder à l'appareil photo.\n\nVeuillez vérifier vos "
        "paramètres de confidentialité.";
    camera->available = false;
    for (const auto& given : {std::shared_ptr<TestCamera>(), camera}) {
        profile.ui().clear();
        reader->setCamera(given);
        EXPECT_FALSE(reader->startReading());
        EXPECT_FALSE(reader->reading());
        EXPECT_FALSE(reader->captureSessionOpen());
        ASSERT_EQ(alerts().size(), 1u);
        EXPECT_EQ(alerts()[0].first, text);
        EXPECT_EQ(alerts()[0].second, std::vector<std::string>{"Ok"});
        EXPECT_EQ(navigation.presented(), reader);
    }
    // A picture can still be read.
    EXPECT_TRUE(reader->readPictureFile(codes.qrFile("SANS-CAMERA")));
    EXPECT_EQ(heard, std::vector<std::string>{"SANS-CAMERA"});
    reader->close();
    EXPECT_EQ(camera->stops, 0) << "never started";
    EXPECT_EQ(navigation.presented(), nullptr);
}

TEST_F(QRCodeReaderViewControllerTest, APictureGivesItsSingleCodeOrSaysWhyNot) {
    RgbImage two = CodeImages::busyBackground(500, 300);
    two.paste(qr("UN"), 20, 20);
    two.paste(qr("DEUX"), 300, 150);
    const auto write = [&](const std::string& name, const std::string& bytes) {
        const auto path = profile.home() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    struct Case {
        std::filesystem::path file;
        std::string text;  // the code handed over
        std::string error; // or the start of the alert
    };
    const std::vector<Case> cases{
        {codes.qrFile("Dossier Noël-42"), "Dossier Noël-42", ""},
        {codes.zintFile("CODE128", "D-1204"), "D-1204", ""},
        {write("rien.jpg", test::jpeg(CodeImages::busyBackground(300, 200))), "",
         "Aucun code n'a été trouvé dans l'image."},
        {write("deux.jpg", test::jpeg(two)), "",
         "L'image contient plusieurs codes : choisissez une image qui n'en montre qu'un."},
        {write("coupe.png", "\x89PNG\r\n\x1A\n tronqué"), "", "L'image n'a pas pu être lue : "},
    };
    reader->setCamera(camera);
    for (const auto& each : cases) {
        SCOPED_TRACE(each.file.filename().string());
        heard.clear();
        profile.ui().clear();
        ASSERT_TRUE(reader->startReading());
        const auto alone = Reader::readSingleCode(each.file);
        EXPECT_EQ(alone.text, each.text);
        EXPECT_EQ(alone.error.rfind(each.error, 0), 0u) << alone.error;
        EXPECT_EQ(alone.ok(), each.error.empty());

        EXPECT_EQ(reader->readPictureFile(each.file), each.error.empty());
        if (each.error.empty()) {
            EXPECT_EQ(heard, std::vector<std::string>{each.text});
            EXPECT_FALSE(camera->running()) << "a code was read";
            EXPECT_TRUE(alerts().empty());
        } else {
            EXPECT_TRUE(heard.empty());
            EXPECT_TRUE(camera->running()) << "the camera goes on reading";
            ASSERT_EQ(alerts().size(), 1u);
            EXPECT_EQ(alerts()[0].first, alone.error);
        }
    }

    // The clipboard's image comes as a frame.
    heard.clear();
    EXPECT_TRUE(reader->readPicture(CodeReader::Frame::of(qr("PRESSE-PAPIERS"))));
    EXPECT_EQ(heard, std::vector<std::string>{"PRESSE-PAPIERS"});
    EXPECT_FALSE(reader->readPicture(CodeReader::Frame::of(two)));
}

} // namespace
} // namespace orvaneh
