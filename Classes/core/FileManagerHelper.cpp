#include "Classes/core/FileManagerHelper.h"

#include "Classes/core/Tools.h"
#include "Classes/screens/Pictures.h"

#include <filesystem>
#include <vector>

namespace orvaneh {

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
        if (entry.path().filename().string().find(jobName) != std::string::npos &&
            entry.is_regular_file(error)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        Tools::deleteFileAtPath(path.string());
    }
}

} // namespace orvaneh
