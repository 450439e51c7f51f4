#include "Platform/localisation/Localization.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/files/Resources.h"
#include "Platform/json/Json.h"
#include "Platform/log/Log.h"

#include <map>
#include <mutex>

namespace orvaneh {

namespace {

// Texts are looked up from any thread, possibly while the process exits: never destroyed.
struct Table {
    std::mutex mutex;
    std::map<std::string, std::string, std::less<>> texts;
};

Table& table() {
    static auto* instance = new Table;
    return *instance;
}

void replaceTable(std::map<std::string, std::string, std::less<>> texts) {
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    shared.texts = std::move(texts);
}

} // namespace

std::string Localization::localized(const std::string& key, const std::string& frenchDefault) {
    auto& shared = table();
    std::lock_guard lock(shared.mutex);
    auto found = shared.texts.find(key);
    return found != shared.texts.end() ? found->second : frenchDefault;
}

bool Localization::loadTable(const std::filesystem::path& file) {
    auto contents = AtomicFile::read(file);
    if (!contents) {
        replaceTable({});
        Log::write("Table de traduction illisible : « " + file.string() + " »");
        return false;
    }
    auto parsed = Json::parse(*contents, nullptr, false);
    if (!parsed.is_object()) {
        replaceTable({});
        Log::write("Table de traduction invalide (pas un dictionnaire JSON) : « " + file.string() + " »");
        return false;
    }
    std::map<std::string, std::string, std::less<>> texts;
    for (const auto& [key, value] : parsed.items()) {
        if (!value.is_string()) {
            // Half a table would show some screens translated and others not: none rather.
            replaceTable({});
            Log::write("Table de traduction invalide : la clé « " + key +
                       " » n'a pas un texte pour valeur dans « " + file.string() + " »");
            return false;
        }
        texts.emplace(key, value.get<std::string>());
    }
    replaceTable(std::move(texts));
    return true;
}

void Localization::loadDefaultTable() {
    auto file = Resources::path("localisation/fr.json");
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        clear();
        return;
    }
    loadTable(file);
}

void Localization::clear() {
    replaceTable({});
}

std::string localized(const std::string& key, const std::string& frenchDefault) {
    return Localization::localized(key, frenchDefault);
}

} // namespace orvaneh
