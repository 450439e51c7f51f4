#include "Classes/core/FileManagerHelper.h"

#include "Classes/screens/Pictures.h"
#include "support/Files.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <gtest/gtest.h>

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
    FileManagerHelper::deleteFilesOfJob("1");
    FileManagerHelper::deleteFilesOfJob("e");
    EXPECT_EQ(test::entryNames(profile.documents()),
              (std::vector<std::string>{"1-1.jpg", "1.wav", "Envoi_03-02_15-05.d", "I1.wav",
                                        "db_Quira.sql.sqlite", "db_Quira.sql.sqlite-wal", "dictee.wav"}));
}

} // namespace
} // namespace orvaneh
