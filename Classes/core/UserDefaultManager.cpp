#include "Classes/core/UserDefaultManager.h"

#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace orvaneh {

namespace {

PreferenceStore& store() {
    return PreferenceStore::standard();
}

// How a value read back is shown in the log: text as it stands, anything else as JSON.
std::string describe(const std::optional<Json>& value) {
    if (!value || value->is_null()) {
        return "(null)";
    }
    if (value->is_string()) {
        return value->get<std::string>();
    }
    return value->dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string formatFloat(double value) {
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%f", value);
    return buffer.data();
}

} // namespace

bool UserDefaultManager::isSecretKey(const std::string& key) {
    std::string lower(key);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::array<std::string, 6> secretWords{"mdp", "password",   "passwd",
                                                        "pwd", "motdepasse", "secret"};
    return std::any_of(secretWords.begin(), secretWords.end(),
                       [&](const std::string& word) { return lower.find(word) != std::string::npos; });
}

bool UserDefaultManager::setObject(const Json& value, const std::string& key) {
    bool written = store().setObject(key, value);
    if (isSecretKey(key)) {
        if (value.is_string()) {
            Log::registerSecret(value.get<std::string>());
        }
        Log::write(" after set " + key + " : object ****");
        return written;
    }
    Log::write(" after set " + key + " : object " + describe(store().objectForKey(key)));
    return written;
}

bool UserDefaultManager::setInt(std::int64_t value, const std::string& key) {
    bool written = store().setInteger(key, value);
    Log::write(" after set " + key + " :  int " + std::to_string(store().integerForKey(key)));
    return written;
}

bool UserDefaultManager::setFloat(float value, const std::string& key) {
    bool written = store().setFloat(key, value);
    Log::write(" after set " + key + " :  float " + formatFloat(store().floatForKey(key)));
    return written;
}

bool UserDefaultManager::setBool(bool value, const std::string& key) {
    bool written = store().setBool(key, value);
    Log::write(" after set " + key + " : " + std::to_string(store().boolForKey(key) ? 1 : 0));
    return written;
}

bool UserDefaultManager::setDate(WallTime value, const std::string& key) {
    bool written = store().setDate(key, value);
    Log::write(" after set " + key + " : object " + describe(store().objectForKey(key)));
    return written;
}

std::optional<Json> UserDefaultManager::getObjectForKey(const std::string& key) {
    return store().objectForKey(key);
}

std::int64_t UserDefaultManager::getIntForKey(const std::string& key) {
    auto value = store().integerForKey(key);
    Log::write("get " + key + " : " + std::to_string(value));
    return value;
}

float UserDefaultManager::getFloatForKey(const std::string& key) {
    auto value = store().floatForKey(key);
    Log::write("get " + key + " : " + formatFloat(value));
    return value;
}

bool UserDefaultManager::getBoolForKey(const std::string& key) {
    bool value = store().boolForKey(key);
    Log::write("get " + key + " : " + std::to_string(value ? 1 : 0));
    return value;
}

std::optional<std::string> UserDefaultManager::getStringForKey(const std::string& key) {
    return store().stringForKey(key);
}

std::optional<WallTime> UserDefaultManager::getDateForKey(const std::string& key) {
    return store().dateForKey(key);
}

void UserDefaultManager::addEntriesFromDictionary(const Json& dictionary) {
    store().registerDefaults(dictionary);
}

void UserDefaultManager::synchronize() {
    if (!store().synchronize()) {
        Log::write("Impossible d'enregistrer les préférences sur le disque");
    }
}

} // namespace orvaneh
