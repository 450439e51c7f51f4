#pragma once

#include "Platform/json/Json.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvaneh {

// Typed access to the preference store that logs every write (with the value read back) and
// the typed reads. Values of keys that hold secrets (passwords) never reach the log.
// Safe from any thread.
class UserDefaultManager {
public:
    // Each returns false when the value could not be written to the file (the store's
    // lastWriteError() says why); it is kept in memory for this process all the same.
    static bool setObject(const Json& value, const std::string& key);
    static bool setInt(std::int64_t value, const std::string& key);
    static bool setFloat(float value, const std::string& key);
    static bool setBool(bool value, const std::string& key);
    static bool setDate(WallTime value, const std::string& key);

    // The stored value (or registered default), nothing when absent.
    static std::optional<Json> getObjectForKey(const std::string& key);
    // Natural readings: 0, 0.0 or false when absent; text reads as its number or boolean.
    static std::int64_t getIntForKey(const std::string& key);
    static float getFloatForKey(const std::string& key);
    static bool getBoolForKey(const std::string& key);
    // Text as stored (a number or boolean as its text); nothing when absent.
    static std::optional<std::string> getStringForKey(const std::string& key);
    static std::optional<WallTime> getDateForKey(const std::string& key);

    // Registers defaults used while a key is absent.
    static void addEntriesFromDictionary(const Json& dictionary);
    // Makes sure everything written is on disk.
    static void synchronize();

    // True for the keys whose values are never logged.
    static bool isSecretKey(const std::string& key);
};

} // namespace orvaneh
