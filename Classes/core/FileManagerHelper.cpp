#include "Classes/core/FileManagerHelper.h"

#include "Classes/core/Pictures.h"
#include "Classes/core/Tools.h"
#include "Platform/files/TemporaryFile.h"
#include "Platform/log/Log.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <regex>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh {

namespace {

// Files that belong to no send job, whatever a job name they happen to contain: the
// recordings and pictures of every dictation, the recordings the recorder set aside, the
// recorder's working files, journal and lock, and the database. A job name read from an old
// record may be as short as "1" or "a".
bool isOwnFile(const std::string& name) {
    static const std::regex recordingOrPicture(R"(I?[0-9]+\.wav|[0-9]+-[0-9]+\.jpg)");
    static constexpr std::array<std::string_view, 8> workingFiles{
        "dictee.wav",  "instruction.wav", "dicteeTemp.wav",       "instTemp.wav",
        "dictee2.wav", "temp3.wav",       "enregistreur.journal", "enregistreur.verrou"};
    static constexpr std::array<std::string_view, 3> setAside{"prise-", "piste-", "orphelin-"};
    // A temporary is its writer's, who renames or removes it; it may be an edit in progress.
    if (std::regex_match(name, recordingOrPicture) || name.rfind("db_Quira.sql.sqlite", 0) == 0 ||
        TemporaryFile::isTemporaryName(name)) {
        return true;
    }
    for (auto prefix : setAside) {
        if (name.starts_with(prefix)) {
            return true;
        }
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

std::vector<std::string> FileManagerHelper::setAsideFilesOfIdentifier(std::int64_t dictationId,
                                                                      const std::string& reason,
                                                                      bool withPictures) {
    namespace fs = std::filesystem;
    const std::string id = std::to_string(dictationId);
    // (current name, new name's ending after the stem)
    std::vector<std::pair<std::string, std::string>> moves;
    for (const auto& [name, ending] : {std::pair<std::string, std::string>{id + ".wav", ".wav"},
                                       {"I" + id + ".wav", "-I.wav"},
                                       {id + ".XML", ".XML"}}) {
        std::error_code error;
        if (fs::is_regular_file(getPathForFileName("/" + name), error)) {
            moves.emplace_back(name, ending);
        }
    }
    if (withPictures) {
        for (const auto& picture : Pictures::picturesForDictation(dictationId)) {
            moves.emplace_back(picture, picture.substr(id.size()));
        }
    }
    if (moves.empty()) {
        return {};
    }
    // One stem for the whole set, free for every one of its names.
    const std::string base = "orphelin-" + id + "-" + Tools::getDateStrForFormat("yyyyMMdd-HHmmss");
    std::string stem = base;
    for (int n = 2;; ++n) {
        bool free = true;
        for (const auto& move : moves) {
            std::error_code error;
            free = free && !fs::exists(getPathForFileName("/" + stem + move.second), error);
        }
        if (free) {
            break;
        }
        stem = base + "-" + std::to_string(n);
    }
    std::vector<std::string> names;
    for (const auto& [name, ending] : moves) {
        std::error_code error;
        fs::rename(getPathForFileName("/" + name), getPathForFileName("/" + stem + ending), error);
        if (error) {
            Log::write("Impossible de mettre de côté « " + name + " » (" + reason + ") : " + error.message());
            continue;
        }
        Log::write("Fichier « " + name + " » mis de côté sous « " + stem + ending + " » : " + reason);
        names.push_back(stem + ending);
    }
    return names;
}

void FileManagerHelper::deleteFilesOfJob(const std::string& jobName) {
    deleteFilesOfJobs({jobName});
}

void FileManagerHelper::deleteFilesOfJobs(const std::vector<std::string>& jobNames) {
    std::vector<std::string> jobs;
    for (const auto& jobName : jobNames) {
        // Every name contains the empty text: without this guard the whole directory would go.
        if (!jobName.empty()) {
            jobs.push_back(jobName);
        }
    }
    if (jobs.empty()) {
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
        const bool ofAJob = std::any_of(jobs.begin(), jobs.end(), [&name](const std::string& job) {
            return name.find(job) != std::string::npos;
        });
        if (ofAJob && !isOwnFile(name) && entry.is_regular_file(error)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        Tools::deleteFileAtPath(path.string());
    }
}

} // namespace orvaneh
