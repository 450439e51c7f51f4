#include "Classes/core/FileManagerHelper.h"

#include "Classes/core/Tools.h"
#include "Classes/screens/Pictures.h"

#include <array>
#include <filesystem>
#include <regex>
#include <string_view>
#include <vector>

namespace orvaneh {

namespace {

// Files that belong to no send job, whatever a job name they happen to contain: the
// recordings and pictures of every dictation, the recorder's working files and the database.
// A job name read from an old record may be as short as "1" or "a".
bool isOwnFile(const std::string& name) {
    static const std::regex recordingOrPicture(R"(I?[0-9]+\.wav|[0-9]+-[0-9]+\.jpg)");
    static constexpr std::array<std::string_view, 6> workingFiles{
        "dictee.wav", "instruction.wav", "dicteeTemp.wav", "instTemp.wav", "dictee2.wav", "temp3.wav"};
    if (std::regex_match(name, recordingOrPicture) || name.rfind("db_Quira.sql.sqlite", 0) == 0) {
        return true;
    }
    for (auto working : workingFiles) {
        if (name == working) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string FileManagerHelper::getPathForFileName(const std::string& name) {
    return Tools::documentsDirectory() + name;
}

void FileManagerHelper::deleteFilesOfDictation(std::int64_t dictationId) {
    const std::string id = std::to_string(dictationId);
    // Exact names only: a prefix match would take dictation 12's files with dictation 1's.
    Tools::deleteFileAtPath(getPathForFileName("/" + id + ".wav"));
    Tools::deleteFileAtPath(getPathForFileName("/I" + id + ".wav"));
    Tools::deleteFileAtPath(getPathForFileName("/" + id + ".XML"));
    Pictures::deletePicturesForDictation(dictationId);
}

void FileManagerHelper::deleteFilesOfJob(const std::string& jobName) {
    // Every name contains the empty text: without this guard the whole directory would go.
    if (jobName.empty()) {
        return;
    }
    std::vector<std::filesystem::path> doomed;
    std::error_code error;
    std::filesystem::directory_iterator entries(Tools::documentsDirectory(), error);
    if (error) {
        return;
    }
    // Collected first: removing entries while reading the directory may skip some.
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (name.find(jobName) != std::string::npos && !isOwnFile(name) && entry.is_regular_file(error)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        Tools::deleteFileAtPath(path.string());
    }
}

} // namespace orvaneh
