#include "Classes/core/FileManagerHelper.h"

#include "Classes/screens/Pictures.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace orvaneh {
namespace {

std::set<std::string> documentNames(const test::TestProfile& profile) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(profile.documents())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

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
    EXPECT_EQ(documentNames(profile),
              (std::set<std::string>{"12.wav", "I12.wav", "12.XML", "12-1.jpg", "1.xml"}));
    // Nothing left to remove: still quiet.
    EXPECT_NO_THROW(FileManagerHelper::deleteFilesOfDictation(1));
}

TEST_F(FileManagerHelperTest, DeletingJobFilesSparesRecordings) {
    write({"Envoi_03-02_15-05.xml", "Envoi_03-02_15-05.zip", "copie-Envoi_03-02_15-05",
           "Envoi_03-02_15-06.xml", "1.wav", "I1.wav", "1.XML"});
    std::filesystem::create_directory(profile.documents() / "Envoi_03-02_15-05.d");
    FileManagerHelper::deleteFilesOfJob("Envoi_03-02_15-05");
    EXPECT_EQ(documentNames(profile), (std::set<std::string>{"Envoi_03-02_15-06.xml", "1.wav", "I1.wav",
                                                             "1.XML", "Envoi_03-02_15-05.d"}));

    FileManagerHelper::deleteFilesOfJob("");
    EXPECT_EQ(documentNames(profile).size(), 5u);
}

} // namespace
} // namespace orvaneh
