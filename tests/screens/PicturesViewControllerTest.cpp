#include "Classes/screens/PicturesViewController.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Pictures.h"
#include "Platform/image/ImageFile.h"
#include "support/Files.h"
#include "support/TestDatabase.h"
#include "support/TestImages.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <fstream>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Style = UserInterface::Choice::Style;

// The signature and a header chunk, with its checksum, of an image 0 pixels wide.
std::string pngOfWidthZero() {
    const std::string header("IHDR\0\0\0\0\0\0\0\x10\x08\x02\0\0\0", 17);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char byte : header) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    crc = ~crc;
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12);
    bytes += header;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += static_cast<char>((crc >> shift) & 0xFF);
    }
    return bytes;
}

class PicturesViewControllerTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    test::TemporaryDirectory elsewhere;

    // An image file outside the profile, as the user picks it.
    fs::path imageFile(const std::string& name, const std::string& bytes) const {
        const auto path = elsewhere.path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path photo(int width, int height) const {
        return imageFile("photo.jpg", test::jpeg(test::quarters(width, height, test::kRed, test::kGreen,
                                                                test::kBlue, test::kWhite)));
    }
    static std::unique_ptr<PicturesViewController> screenFor(std::int32_t dicteeId) {
        auto screen = std::make_unique<PicturesViewController>();
        screen->setDicteeId(dicteeId);
        screen->loadPictures();
        return screen;
    }
    static std::vector<std::string> sorted(std::vector<std::string> names) {
        std::sort(names.begin(), names.end());
        return names;
    }
    RgbImage stored(const std::string& name) const {
        const auto decoded = ImageFile::read(profile.documents() / name);
        EXPECT_TRUE(decoded.ok()) << decoded.error;
        return decoded.image;
    }
};

TEST_F(PicturesViewControllerTest, NamesFollowTheCounterAndSkipThoseTaken) {
    auto screen = screenFor(7);
    EXPECT_EQ(screen->screenName(), "PicturesViewController");
    EXPECT_EQ(screen->title(), "Photos");
    int changes = 0;
    screen->setChangeCallback([&] { ++changes; });
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(screen->addPictureFromFile(photo(60, 40))) << screen->message();
    }
    EXPECT_EQ(screen->lastSavedName(), "7-3.jpg");
    EXPECT_EQ(sorted(screen->pictures()), (std::vector<std::string>{"7-1.jpg", "7-2.jpg", "7-3.jpg"}));
    EXPECT_GE(changes, 3);

    // A new screen counts from 1 again, and passes over the names in use.
    screen = screenFor(7);
    ASSERT_TRUE(screen->addPictureFromFile(photo(60, 40)));
    EXPECT_EQ(screen->lastSavedName(), "7-4.jpg");
    EXPECT_EQ(screen->pictures().size(), 4u);
    // Written whole, owner-only, no temporary left.
    EXPECT_EQ(fs::status(profile.documents() / "7-4.jpg").permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::entryNames(profile.documents()),
              (std::vector<std::string>{"7-1.jpg", "7-2.jpg", "7-3.jpg", "7-4.jpg"}));
}

TEST_F(PicturesViewControllerTest, EveryPictureIsStoredAt1200By800) {
    struct Case {
        int width;
        int height;
        Rect frame;
    };
    const Case cases[] = {
        {400, 800, {400, 0, 400, 800}},  {3000, 4000, {300, 0, 600, 800}}, {3, 2000, {599, 0, 1, 800}},
        {1000, 1000, {0, 0, 1200, 800}}, {4000, 3000, {0, 0, 1200, 800}},  {20000, 1, {0, 0, 1200, 800}},
        {1, 20000, {599, 0, 1, 800}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " × " + std::to_string(c.height));
        EXPECT_EQ(PicturesViewController::sizeForPickedImage(c.width, c.height), c.frame);
    }

    auto screen = screenFor(3);
    // A portrait keeps its proportions between black bands.
    ASSERT_TRUE(screen->addPictureFromFile(photo(300, 600)));
    const auto portrait = stored(screen->lastSavedName());
    ASSERT_EQ(portrait.width(), 1200);
    ASSERT_EQ(portrait.height(), 800);
    for (const auto& [x, y, colour] :
         std::vector<std::tuple<int, int, test::Rgb>>{{10, 400, test::kBlack},
                                                      {395, 100, test::kBlack},
                                                      {500, 200, test::kRed},
                                                      {700, 200, test::kGreen},
                                                      {500, 600, test::kBlue},
                                                      {700, 600, test::kWhite},
                                                      {805, 700, test::kBlack},
                                                      {1190, 10, test::kBlack}}) {
        EXPECT_TRUE(test::near(test::colourAt(portrait, x, y), colour)) << x << "," << y;
    }
    // A square is stretched over the whole picture.
    ASSERT_TRUE(screen->addPictureFromFile(photo(100, 100)));
    const auto square = stored(screen->lastSavedName());
    ASSERT_EQ(square.width(), 1200);
    ASSERT_EQ(square.height(), 800);
    const auto quarters = test::quarterColours(square);
    const std::array<test::Rgb, 4> expected{test::kRed, test::kGreen, test::kBlue, test::kWhite};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(test::near(quarters[i], expected[i])) << "quart " << i;
    }
    EXPECT_TRUE(test::near(test::colourAt(square, 2, 2), test::kRed));
    EXPECT_TRUE(test::near(test::colourAt(square, 1197, 797), test::kWhite));

    // Turned upright first: a landscape stored by a camera held sideways is a portrait.
    const auto sideways = imageFile(
        "sideways.jpg", test::withSegment(test::jpeg(test::quarters(600, 300, test::kRed, test::kGreen,
                                                                    test::kBlue, test::kWhite)),
                                          test::exifSegment(6)));
    ASSERT_TRUE(screen->addPictureFromFile(sideways));
    const auto upright = stored(screen->lastSavedName());
    EXPECT_TRUE(test::near(test::colourAt(upright, 100, 400), test::kBlack));
    EXPECT_TRUE(test::near(test::colourAt(upright, 500, 200), test::kBlue));
    EXPECT_TRUE(test::near(test::colourAt(upright, 700, 200), test::kRed));
}

TEST_F(PicturesViewControllerTest, AnImageThatCannotBeReadOrStoredLeavesNothing) {
    auto screen = screenFor(5);
    EXPECT_FALSE(screen->addPictureFromFile(imageFile("note.jpg", "pas une image")));
    EXPECT_EQ(screen->message(), "La photo n'a pas pu être ajoutée : ce n'est pas une image JPEG ni PNG");
    // A PNG whose header is well formed but says nothing sensible: the reason is French.
    EXPECT_FALSE(screen->addPictureFromFile(imageFile("vide.png", pngOfWidthZero())));
    EXPECT_EQ(screen->message(),
              "La photo n'a pas pu être ajoutée : le fichier PNG est endommagé (en-tête invalide)");
    EXPECT_FALSE(screen->addPictureFromFile(elsewhere.path() / "absente.png"));
    EXPECT_THAT(screen->message(), HasSubstr("La photo n'a pas pu être ajoutée : impossible de lire"));

    // The documents directory cannot take the file.
    const fs::path documents = profile.documents();
    fs::rename(documents, elsewhere.path() / "Documents");
    std::ofstream(documents) << "un fichier à la place du dossier";
    EXPECT_FALSE(screen->addPictureFromFile(photo(60, 40)));
    EXPECT_THAT(screen->message(), HasSubstr("La photo n'a pas pu être enregistrée : "));
    fs::remove(documents);
    fs::rename(elsewhere.path() / "Documents", documents);

    EXPECT_TRUE(test::entryNames(documents).empty());
    EXPECT_TRUE(screen->pictures().empty());
    EXPECT_THAT(profile.ui().messages("banner"),
                ElementsAre(HasSubstr("n'a pas pu être ajoutée"), HasSubstr("n'a pas pu être ajoutée"),
                            HasSubstr("n'a pas pu être ajoutée"), HasSubstr("n'a pas pu être enregistrée")));
}

TEST_F(PicturesViewControllerTest, TheGridShowsEachPictureOrItsPlaceholder) {
    EXPECT_EQ(PicturesViewController::itemWidth(336), 160);
    EXPECT_EQ(PicturesViewController::itemWidth(16), 0);
    auto screen = screenFor(9);
    ASSERT_TRUE(screen->addPictureFromFile(photo(60, 40)));
    profile.writeDocument("9-7.jpg", "abîmée");
    screen->loadPictures();
    auto items = screen->items();
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].name, "9-1.jpg");
    EXPECT_EQ(items[0].path, (profile.documents() / "9-1.jpg").string());
    EXPECT_EQ(items[0].placeholderImage, "");
    EXPECT_EQ(items[1].placeholderImage, "noPicture");
}

TEST_F(PicturesViewControllerTest, DeletingAsksFirstAndTouchesNoOtherDictation) {
    auto one = screenFor(1);
    ASSERT_TRUE(one->addPictureFromFile(photo(60, 40)));
    auto twelve = screenFor(12);
    ASSERT_TRUE(twelve->addPictureFromFile(photo(60, 40)));
    ASSERT_TRUE(one->addPictureFromFile(photo(60, 40)));
    EXPECT_EQ(sorted(one->pictures()), (std::vector<std::string>{"1-1.jpg", "1-2.jpg"}));
    EXPECT_THAT(twelve->pictures(), ElementsAre("12-1.jpg"));

    EXPECT_FALSE(one->deletePictureAtIndex(2));
    EXPECT_TRUE(profile.ui().messages("choices").empty());

    struct Case {
        int answer;
        bool deleted;
    };
    for (const auto& c : {Case{1, false}, Case{0, true}}) {
        SCOPED_TRACE(c.answer);
        profile.ui().clear();
        const std::string name = one->pictures().front();
        profile.ui().queueAnswer(c.answer);
        std::optional<bool> outcome;
        EXPECT_TRUE(one->deletePictureAtIndex(0, [&](bool deleted) { outcome = deleted; }));
        EXPECT_EQ(outcome, c.deleted);
        EXPECT_EQ(fs::exists(profile.documents() / name), !c.deleted);
        EXPECT_EQ(one->pictures().size(), c.deleted ? 1u : 2u);
        const auto calls = profile.ui().calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].kind, "choices");
        EXPECT_EQ(calls[0].title, "Supprimer la photo ?");
        ASSERT_EQ(calls[0].choices.size(), 2u);
        EXPECT_EQ(calls[0].choices[0].title, "Supprimer");
        EXPECT_EQ(calls[0].choices[0].style, Style::Destructive);
        EXPECT_EQ(calls[0].choices[1].title, "Annuler");
        EXPECT_EQ(calls[0].choices[1].style, Style::Cancel);
    }

    // The answer comes after the screen is gone: nothing happens.
    {
        auto leaving = screenFor(1);
        leaving->deletePictureAtIndex(0);
    }
    EXPECT_TRUE(profile.ui().answerPending(0));
    EXPECT_EQ(Pictures::picturesForDictation(1).size(), 1u);

    Pictures::deletePicturesForDictation(1);
    EXPECT_EQ(test::entryNames(profile.documents()), std::vector<std::string>{"12-1.jpg"});
}

// The pictures are listed by their number, not in the directory's order.
TEST_F(PicturesViewControllerTest, PicturesAreListedByTheirNumber) {
    const std::string bytes =
        test::jpeg(test::quarters(60, 40, test::kRed, test::kGreen, test::kBlue, test::kWhite));
    for (const char* name : {"4-4.jpg", "4-10.jpg", "4-2.jpg", "4-3.jpg", "4-1.jpg", "4-x.jpg"}) {
        std::ofstream(profile.documents() / name, std::ios::binary) << bytes;
    }
    auto screen = screenFor(4);
    EXPECT_THAT(screen->pictures(),
                ElementsAre("4-1.jpg", "4-2.jpg", "4-3.jpg", "4-4.jpg", "4-10.jpg", "4-x.jpg"));
    const auto items = screen->items();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[1].name, "4-2.jpg");
    EXPECT_EQ(items[4].name, "4-10.jpg");
}

// Once the dictation is sent, or while it is being sent, its pictures are shown but no longer
// change: the office has (or is getting) the set read when the send began.
TEST_F(PicturesViewControllerTest, PicturesOfASentOrSendingDictationDoNotChange) {
    test::createDatabase(profile);
    DicteeModel draft;
    draft.titre = "Brouillon";
    const std::int32_t waiting = static_cast<std::int32_t>(DicteeRequest().insertDictee(draft));
    DicteeModel done = draft;
    done.titre = "Envoyée";
    const std::int32_t sent = static_cast<std::int32_t>(DicteeRequest().insertDictee(done));
    ASSERT_NE(waiting, 0);
    ASSERT_NE(sent, 0);
    // Pictures taken before the send.
    for (const auto id : {waiting, sent}) {
        ASSERT_TRUE(screenFor(id)->addPictureFromFile(photo(60, 40)));
    }
    DicteeRequest().updateDicteeEnvoi(sent);
    std::int64_t beingSent = 0;
    const auto probe = [&beingSent] { return beingSent; };

    struct Case {
        const char* what;
        std::int32_t id;
        std::int64_t beingSent;
        const char* banner;
    };
    const Case cases[] = {
        {"envoyée", sent, 0, "est envoyée : ses photos ne changent plus."},
        {"en cours d'envoi", waiting, waiting, "Cette dictée est en cours d'envoi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        beingSent = c.beingSent;
        profile.ui().clear();
        auto screen = screenFor(c.id);
        screen->setSendingProbe(probe);
        const auto before = test::entryNames(profile.documents());

        EXPECT_FALSE(screen->editable());
        ASSERT_EQ(screen->pictures().size(), 1u) << "viewing stays allowed";
        EXPECT_TRUE(screen->items()[0].placeholderImage.empty());
        EXPECT_FALSE(screen->addPictureFromFile(photo(60, 40)));
        EXPECT_THAT(screen->message(), HasSubstr(c.banner));
        EXPECT_FALSE(screen->deletePictureAtIndex(0));
        EXPECT_THAT(screen->message(), HasSubstr(c.banner));
        EXPECT_TRUE(profile.ui().messages("choices").empty()) << "nothing is asked";
        EXPECT_EQ(test::entryNames(profile.documents()), before);
    }

    // Another dictation being sent does not hold this one; a send that begins while the delete
    // question waits keeps the picture.
    beingSent = sent;
    auto screen = screenFor(waiting);
    screen->setSendingProbe(probe);
    EXPECT_TRUE(screen->editable());
    std::optional<bool> outcome;
    ASSERT_TRUE(screen->deletePictureAtIndex(0, [&](bool deleted) { outcome = deleted; }));
    beingSent = waiting;
    profile.ui().answerPending(0);
    EXPECT_EQ(outcome, false);
    EXPECT_THAT(screen->message(), HasSubstr("en cours d'envoi"));
    EXPECT_EQ(Pictures::picturesForDictation(waiting).size(), 1u);

    // A dictation the recorder has not stored yet takes pictures.
    auto fresh = screenFor(sent + 1);
    fresh->setSendingProbe(probe);
    EXPECT_TRUE(fresh->editable());
    EXPECT_TRUE(fresh->addPictureFromFile(photo(60, 40))) << fresh->message();
}

} // namespace
} // namespace orvaneh
