#include "Classes/core/Pictures.h"

#include "Classes/core/Tools.h"
#include "Platform/log/Log.h"

#include <filesystem>

namespace orvaneh {

std::vector<std::string> Pictures::picturesForDictation(std::int64_t dictationId) {
    // The "-" after the identifier keeps "12-1.jpg" out of dictation 1's pictures.
    const std::string prefix = std::to_string(dictationId) + "-";
    const std::string suffix = ".jpg";
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(Tools::documentsDirectory(), error);
    if (error) {
        return names;
    }
    for (const auto& entry : entries) {
        std::string name = entry.path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
            name.ends_with(suffix) && entry.is_regular_file(error)) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

void Pictures::deletePicturesForDictation(std::int64_t dictationId) {
    const std::string directory = Tools::documentsDirectory();
    for (const auto& name : picturesForDictation(dictationId)) {
        Tools::deleteFileAtPath(directory + "/" + name);
    }
}

void Pictures::renumberPictures(std::int64_t from, std::int64_t to) {
    const std::string directory = Tools::documentsDirectory() + "/";
    const std::size_t prefixLength = std::to_string(from).size();
    for (const auto& name : picturesForDictation(from)) {
        const std::string renamed = std::to_string(to) + name.substr(prefixLength);
        std::error_code error;
        if (std::filesystem::exists(directory + renamed, error)) {
            Log::write("Photo « " + name + " » non renommée : « " + renamed + " » existe déjà");
            continue;
        }
        std::filesystem::rename(directory + name, directory + renamed, error);
        if (error) {
            Log::write("Photo « " + name + " » non renommée : " + error.message());
        }
    }
}

} // namespace orvaneh
