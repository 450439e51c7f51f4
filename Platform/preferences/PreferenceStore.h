#pragma once

#include "Platform/json/Json.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace orvaneh {

// The application's persisted key/value preferences (the phone's standard user defaults).
//
// Values are typed (boolean, integer, float, double, text, date, list, dictionary) and kept
// as JSON; a date is stored as {"$date": seconds since 1970 UTC}. A read looks at the
// written values first, then at the registered defaults; a key found in neither reads as
// false, 0 or nothing. Text read as a number or a boolean reads as its natural value
// ("30" reads 30, "1" reads true, "YES" reads true), as the phone's store does.
//
// Thread-safe. Every write is persisted before it returns: the whole file is replaced
// atomically (temporary file, flush, rename), so a crash during a write leaves the previous
// file intact; the file is readable by its owner only (0600). A file that cannot be parsed
// is moved aside (same name with ".corrompu-<date>" appended), logged, and the store starts
// from its defaults. A file that cannot be read at all (I/O error, permission) is left alone
// and never written over: the store starts from its defaults and refuses to persist. Either
// is said by setAsideNotice() for the user.
class PreferenceStore {
public:
    // A store persisted to `file` (created on the first write).
    explicit PreferenceStore(std::filesystem::path file);
    // A store kept in memory only.
    PreferenceStore();
    PreferenceStore(const PreferenceStore&) = delete;
    PreferenceStore& operator=(const PreferenceStore&) = delete;

    // The process-wide store (the profile's). An in-memory store until one is installed.
    static PreferenceStore& standard();
    static void install(std::shared_ptr<PreferenceStore> store);

    // Reads. objectForKey returns the stored JSON value (dates in their tagged form).
    std::optional<Json> objectForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // Text as stored; a number or boolean reads as its text; anything else reads nothing.
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<WallTime> dateForKey(const std::string& key) const;
    std::optional<Json> arrayForKey(const std::string& key) const;
    std::optional<Json> dictionaryForKey(const std::string& key) const;
    // True when a value was written under the key (registered defaults do not count).
    bool hasStoredValue(const std::string& key) const;
    // Every written value, as one JSON object.
    Json storedValues() const;

    // Writes. Setting a null JSON value removes the key. Each returns false when the value
    // could not be persisted (lastWriteError() says why; the value is kept in memory all the
    // same, for this process, and written with the next successful write).
    bool setObject(const std::string& key, const Json& value);
    bool setBool(const std::string& key, bool value);
    bool setInteger(const std::string& key, std::int64_t value);
    bool setFloat(const std::string& key, float value);
    bool setDouble(const std::string& key, double value);
    bool setString(const std::string& key, const std::string& value);
    bool setDate(const std::string& key, WallTime value);
    bool removeObjectForKey(const std::string& key);

    // Registers defaults, used while a key has no written value. Not persisted.
    void registerDefaults(const Json& dictionary);

    // Writes the file again if an earlier write failed. True when the file is up to date.
    bool synchronize();

    // Why the file is behind the values in memory (French), nothing while it is up to date.
    std::optional<std::string> lastWriteError() const;
    // How many writes failed since the store was made: a caller tells its own failures from
    // earlier ones by comparing the count before and after.
    std::uint64_t failedWriteCount() const;
    // What the user must be told about the file found at start (kept aside, or unreadable and
    // left alone), in French; nothing when it was read or absent.
    const std::optional<std::string>& setAsideNotice() const { return setAsideNotice_; }

    // The backing file (empty for an in-memory store).
    const std::filesystem::path& file() const { return file_; }

    // Natural readings of a stored value, shared with other readers of loosely typed data.
    static bool boolFromJson(const Json& value);
    static std::int64_t integerFromJson(const Json& value);
    static double doubleFromJson(const Json& value);

private:
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    Json values_ = Json::object();
    Json defaults_ = Json::object();
    bool dirty_ = false;
    std::optional<std::string> writeError_;
    std::uint64_t failedWrites_ = 0;
    // Set when the file exists but could not be read: it must not be replaced by a write.
    std::optional<std::string> unreadable_;
    std::optional<std::string> setAsideNotice_;

    const Json* lookup(const std::string& key) const; // caller holds mutex_
    bool persistLocked();                             // caller holds mutex_
    void load();
};

} // namespace orvaneh
