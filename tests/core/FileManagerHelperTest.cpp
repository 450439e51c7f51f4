#include "Classes/core/FileManagerHelper.h"

#include "Classes/core/Pictures.h"
#include "support/Files.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <gmock/gmock.h>

namespace orvaneh {
namespace {

class FileManagerHelperTest : public ::testing::Test {
protected:
    test::TestProfile profile;

    void write(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            profile.writeDocument(name);
        }
    }
};

TEST_F(FileManagerHelperTest, PicturesAreMatchedByPrefixAndExtension) {
    write({"1-1.jpg", "1-2.jpg", "12-1.jpg", "1-3.JPG", "1-4.jpg.tmp", "1.jpg", "I1-1.jpg"});
    std::filesystem::create_directory(profile.documents() / "1-5.jpg");
    auto pictures = Pictures::picturesForDictation(1);
    std::sort(pictures.begin(), pictures.end());
    EXPECT_EQ(pictures, (std::vector<std::string>{"1-1.jpg", "1-2.jpg"}));
    EXPECT_EQ(Pictures::picturesForDictation(12), std::vector<std::string>{"12-1.jpg"});
    EXPECT_TRUE(Pictures::picturesForDictation(3).empty());
}

TEST_F(FileManagerHelperTest, DeletingDictationOneSparesDictationTwelve) {
    write({"1.wav", "I1.wav", "1.XML", "1-1.jpg", "1-2.jpg", "12.wav", "I12.wav", "12.XML", "12-1.jpg",
           "1.xml"});
    FileManagerHelper::deleteFilesOfDictation(1);
    EXPECT_EQ(test::entryNames(profile.documents()),
              (std::vector<std::string>{"1.xml", "12-1.jpg", "12.XML", "12.wav", "I12.wav"}));
}

TEST_F(FileManagerHelperTest, DeletingJobFilesSparesRecordings) {
    write({"Envoi_03-02_15-05.xml", "Envoi_03-02_15-05.zip", "copie-Envoi_03-02_15-05",
           "Envoi_03-02_15-06.xml", "1.wav", "I1.wav", "1.XML"});
    std::filesystem::create_directory(profile.documents() / "Envoi_03-02_15-05.d");
    FileManagerHelper::deleteFilesOfJob("Envoi_03-02_15-05");
    FileManagerHelper::deleteFilesOfJob("");
    EXPECT_EQ(test::entryNames(profile.documents()),
              (std::vector<std::string>{"1.XML", "1.wav", "Envoi_03-02_15-05.d", "Envoi_03-02_15-06.xml",
                                        "I1.wav"}));
    // A job name from an old record as short as "1" or "e" takes its own files only, never a
    // recording, a picture, a working file or the database.
    write({"1-1.jpg", "dictee.wav", "db_Quira.sql.sqlite", "db_Quira.sql.sqlite-wal", "1-i.wav"});
    // Nor what the recorder set aside, nor its journal and lock, nor an edit's temporary.
    const std::vector<std::string> setAside{".dictee2.wav.tmp-a1B2c3",
                                            "enregistreur.journal",
                                            "enregistreur.verrou",
                                            "orphelin-1-20240102-101112-1.jpg",
                                            "orphelin-1-20240102-101112-I.wav",
                                            "orphelin-1-20240102-101112.XML",
                                            "piste-dictee-20240102-101112.wav",
                                            "prise-20240102-101112-2.wav"};
    for (const auto& name : setAside) {
        profile.writeDocument(name);
    }
    for (const char* job : {"1", "e", "prise", "piste", "orphelin", "enregistreur", "2024", ".wav", "XML"}) {
        FileManagerHelper::deleteFilesOfJob(job);
    }
    auto expected = setAside;
    expected.insert(expected.end(), {"1-1.jpg", "1.wav", "Envoi_03-02_15-05.d", "I1.wav",
                                     "db_Quira.sql.sqlite", "db_Quira.sql.sqlite-wal", "dictee.wav"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::entryNames(profile.documents()), expected);
}

// Files under a number about to be reused move aside together, under one free stem; another
// dictation's files and the pictures, when asked, stay.
TEST_F(FileManagerHelperTest, FilesOfAnIdentifierAreSetAsideUnderOneFreeName) {
    write({"3.wav", "I3.wav", "3.XML", "3-1.jpg", "3-12.jpg", "33.wav", "13.wav", "3-1.jpg.tmp"});
    const auto first = FileManagerHelper::setAsideFilesOfIdentifier(3, "essai");
    ASSERT_EQ(first.size(), 5U);
    const std::string stem = first.front().substr(0, first.front().size() - 4);
    ASSERT_THAT(stem, ::testing::MatchesRegex("orphelin-3-[0-9]{8}-[0-9]{6}"));
    auto moved = first;
    std::sort(moved.begin(), moved.end());
    EXPECT_EQ(moved, (std::vector<std::string>{stem + "-1.jpg", stem + "-12.jpg", stem + "-I.wav",
                                               stem + ".XML", stem + ".wav"}));
    EXPECT_EQ(test::entryNames(profile.documents()).size(), 8U);
    for (const char* kept : {"33.wav", "13.wav", "3-1.jpg.tmp"}) {
        EXPECT_TRUE(std::filesystem::exists(profile.documents() / kept)) << kept;
    }

    // Within the same second the names are taken: a new stem, nothing replaced.
    write({"3.wav", "3-1.jpg"});
    EXPECT_EQ(FileManagerHelper::setAsideFilesOfIdentifier(3, "essai", false),
              std::vector<std::string>{stem + "-2.wav"});
    EXPECT_TRUE(std::filesystem::exists(profile.documents() / "3-1.jpg"));
    EXPECT_TRUE(FileManagerHelper::setAsideFilesOfIdentifier(4, "essai").empty());
}

} // namespace
} // namespace orvaneh
