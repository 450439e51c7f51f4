#include "Platform/preferences/PreferenceStore.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/log/Log.h"
#include "Platform/services/ProcessWide.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <locale.h>
#include <vector>

namespace orvaneh {

namespace {

constexpr const char* kDateTag = "$date";

bool isTaggedDate(const Json& value) {
    return value.is_object() && value.size() == 1 && value.contains(kDateTag) && value[kDateTag].is_number();
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::int64_t clampToInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (value >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value <= -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

// Leading white space, an optional sign, then as many digits as there are; saturates.
std::int64_t integerFromText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    std::int64_t result = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (negative) {
            if (result < (min + digit) / 10) {
                return min;
            }
            result = result * 10 - digit;
        } else {
            if (result > (max - digit) / 10) {
                return max;
            }
            result = result * 10 + digit;
        }
    }
    return result;
}

// The C locale, so that "1.5" reads 1.5 whatever locale the process runs in.
double doubleFromText(const std::string& text) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return ::strtod_l(text.c_str(), nullptr, cLocale);
}

// The shortest text that reads back as the same double ("0.1", not "0.1000000000000000055").
std::string doubleText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    std::array<char, 64> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string localStamp(WallTime time, const char* format) {
    std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    std::array<char, 64> buffer{};
    auto length = std::strftime(buffer.data(), buffer.size(), format, &local);
    return std::string(buffer.data(), length);
}

ProcessWide<PreferenceStore>& registry() {
    static auto* instance = new ProcessWide<PreferenceStore>(
        []() -> std::shared_ptr<PreferenceStore> { return std::make_shared<PreferenceStore>(); });
    return *instance;
}

} // namespace

PreferenceStore::PreferenceStore(std::filesystem::path file) : file_(std::move(file)) {
    load();
}

PreferenceStore::PreferenceStore() = default;

PreferenceStore& PreferenceStore::standard() {
    return registry().get();
}

void PreferenceStore::install(std::shared_ptr<PreferenceStore> store) {
    registry().install(std::move(store));
}

void PreferenceStore::load() {
    if (file_.empty()) {
        return;
    }
    std::error_code error;
    if (!std::filesystem::exists(file_, error) && !error) {
        return; // a first start: the file comes with the first write
    }

    std::string reason;
    const bool directory = std::filesystem::is_directory(file_, error);
    if (auto text = AtomicFile::read(file_); !text) {
        if (!directory) {
            // The errno of the failed open or read, still current: an I/O error or a refusal
            // says nothing about the contents, which must stay as they are.
            reason = systemErrorText(errno);
            unreadable_ = reason;
            setAsideNotice_ = "Les préférences « " + file_.string() + " » n'ont pas pu être lues (" + reason +
                              ") : les réglages par défaut s'appliquent et le fichier n'est pas modifié.";
            Log::write(*setAsideNotice_);
            return;
        }
        reason = "c'est un répertoire";
    } else {
        Json parsed;
        try {
            parsed = Json::parse(*text, nullptr, false);
        } catch (const std::exception&) {
            parsed = Json(Json::value_t::discarded);
        }
        if (parsed.is_discarded()) {
            reason = "pas du JSON";
        } else if (!parsed.is_object()) {
            reason = "pas un dictionnaire";
        } else {
            // A null is how a removal is written; it never counts as a value.
            for (auto it = parsed.begin(); it != parsed.end();) {
                it = it->is_null() ? parsed.erase(it) : std::next(it);
            }
            values_ = std::move(parsed);
            return;
        }
    }

    // Kept aside rather than overwritten by the next write: the user may want it back.
    auto base = file_.string() + ".corrompu-" + localStamp(Clock::current()->wallNow(), "%Y%m%d-%H%M%S");
    std::filesystem::path aside = base;
    for (int n = 2; std::filesystem::exists(aside, error) && n < 100; ++n) {
        aside = base + "-" + std::to_string(n);
    }
    if (::rename(file_.c_str(), aside.c_str()) == 0) {
        setAsideNotice_ = "Les préférences « " + file_.string() + " » étaient illisibles (" + reason +
                          ") : elles sont conservées sous « " + aside.string() +
                          " » et les réglages repartent des valeurs par défaut.";
        Log::write("Préférences illisibles (" + reason + ") : « " + file_.string() +
                   " » mis de côté sous « " + aside.string() + " », les préférences repartent de zéro");
    } else {
        std::string why = systemErrorText(errno);
        // Not moved, so not to be written over either.
        unreadable_ = reason;
        setAsideNotice_ = "Les préférences « " + file_.string() + " » sont illisibles (" + reason +
                          ") et n'ont pas pu être mises de côté (" + why +
                          ") : les réglages par défaut s'appliquent et le fichier n'est pas modifié.";
        Log::write("Préférences illisibles (" + reason + ") dans « " + file_.string() +
                   " », impossible de les mettre de côté (" + why + "), les préférences repartent de zéro");
    }
}

const Json* PreferenceStore::lookup(const std::string& key) const {
    if (auto it = values_.find(key); it != values_.end()) {
        return &*it;
    }
    if (auto it = defaults_.find(key); it != defaults_.end()) {
        return &*it;
    }
    return nullptr;
}

bool PreferenceStore::persistLocked() {
    if (file_.empty()) {
        dirty_ = false;
        return true;
    }
    // Text that is not UTF-8 is written with replacement characters rather than not at all.
    auto text = values_.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    std::error_code ignored;
    if (auto directory = file_.parent_path();
        !directory.empty() && !std::filesystem::exists(directory, ignored)) {
        std::filesystem::create_directories(directory, ignored);
    }
    std::string error;
    if (unreadable_) {
        error = "le fichier « " + file_.string() + " » n'a pas pu être lu (" + *unreadable_ +
                ") et n'est pas remplacé";
    } else if (AtomicFile::write(file_, text,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                 &error)) {
        dirty_ = false;
        writeError_.reset();
        return true;
    }
    dirty_ = true;
    writeError_ = error;
    ++failedWrites_;
    Log::write("Préférences non enregistrées : " + error);
    return false;
}

std::optional<Json> PreferenceStore::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    if (const Json* value = lookup(key)) {
        return *value;
    }
    return std::nullopt;
}

bool PreferenceStore::boolForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    return value != nullptr && boolFromJson(*value);
}

std::int64_t PreferenceStore::integerForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    return value != nullptr ? integerFromJson(*value) : 0;
}

float PreferenceStore::floatForKey(const std::string& key) const {
    return static_cast<float>(doubleForKey(key));
}

double PreferenceStore::doubleForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    return value != nullptr ? doubleFromJson(*value) : 0.0;
}

std::optional<std::string> PreferenceStore::stringForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    if (value == nullptr) {
        return std::nullopt;
    }
    switch (value->type()) {
    case Json::value_t::string:
        return value->get<std::string>();
    case Json::value_t::number_integer:
        return std::to_string(value->get<std::int64_t>());
    case Json::value_t::number_unsigned:
        return std::to_string(value->get<std::uint64_t>());
    case Json::value_t::number_float:
        return doubleText(value->get<double>());
    case Json::value_t::boolean:
        return value->get<bool>() ? "1" : "0";
    default:
        return std::nullopt;
    }
}

std::optional<WallTime> PreferenceStore::dateForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    if (value == nullptr || !isTaggedDate(*value)) {
        return std::nullopt;
    }
    double seconds = (*value)[kDateTag].get<double>();
    // Beyond about 292 years either side of 1970 the clock's nanoseconds overflow.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 9.0e9) {
        return std::nullopt;
    }
    // Split for the same reason as in setDate: nanoseconds since 1970 do not fit a double exactly.
    double whole = std::floor(seconds);
    return WallTime(std::chrono::seconds(static_cast<std::int64_t>(whole))) +
           std::chrono::round<WallTime::duration>(Seconds(seconds - whole));
}

std::optional<Json> PreferenceStore::arrayForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    if (value == nullptr || !value->is_array()) {
        return std::nullopt;
    }
    return *value;
}

std::optional<Json> PreferenceStore::dictionaryForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const Json* value = lookup(key);
    if (value == nullptr || !value->is_object() || isTaggedDate(*value)) {
        return std::nullopt;
    }
    return *value;
}

bool PreferenceStore::hasStoredValue(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return values_.contains(key);
}

Json PreferenceStore::storedValues() const {
    std::lock_guard lock(mutex_);
    return values_;
}

bool PreferenceStore::setObject(const std::string& key, const Json& value) {
    std::lock_guard lock(mutex_);
    if (value.is_null() || value.is_discarded()) {
        values_.erase(key);
    } else {
        values_[key] = value;
    }
    dirty_ = true;
    return persistLocked();
}

bool PreferenceStore::setBool(const std::string& key, bool value) {
    return setObject(key, Json(value));
}

bool PreferenceStore::setInteger(const std::string& key, std::int64_t value) {
    return setObject(key, Json(value));
}

bool PreferenceStore::setFloat(const std::string& key, float value) {
    // Stored as the float's shortest decimal (0.1f is written 0.1), which reads back as the
    // same float and as the text the user typed.
    std::array<char, 32> buffer{};
    auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    double widened = value;
    std::from_chars(buffer.data(), written.ptr, widened);
    return setObject(key, Json(widened));
}

bool PreferenceStore::setDouble(const std::string& key, double value) {
    return setObject(key, Json(value));
}

bool PreferenceStore::setString(const std::string& key, const std::string& value) {
    return setObject(key, Json(value));
}

bool PreferenceStore::setDate(const std::string& key, WallTime value) {
    // Whole seconds and fraction apart: nanoseconds since 1970 do not fit a double exactly.
    auto whole = std::chrono::floor<std::chrono::seconds>(value.time_since_epoch());
    double seconds = static_cast<double>(whole.count()) +
                     std::chrono::duration_cast<Seconds>(value.time_since_epoch() - whole).count();
    return setObject(key, Json{{kDateTag, seconds}});
}

bool PreferenceStore::removeObjectForKey(const std::string& key) {
    return setObject(key, Json());
}

void PreferenceStore::registerDefaults(const Json& dictionary) {
    if (!dictionary.is_object()) {
        return;
    }
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : dictionary.items()) {
        if (value.is_null()) {
            defaults_.erase(key);
        } else {
            defaults_[key] = value;
        }
    }
}

bool PreferenceStore::synchronize() {
    std::lock_guard lock(mutex_);
    return !dirty_ || persistLocked();
}

std::optional<std::string> PreferenceStore::lastWriteError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

std::uint64_t PreferenceStore::failedWriteCount() const {
    std::lock_guard lock(mutex_);
    return failedWrites_;
}

bool PreferenceStore::boolFromJson(const Json& value) {
    switch (value.type()) {
    case Json::value_t::boolean:
        return value.get<bool>();
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
        return value.get<std::int64_t>() != 0;
    case Json::value_t::number_float:
        return value.get<double>() != 0.0;
    case Json::value_t::string: {
        const auto& text = value.get_ref<const std::string&>();
        std::size_t i = 0;
        while (i < text.size() && isSpace(text[i])) {
            ++i;
        }
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        while (i < text.size() && text[i] == '0') {
            ++i;
        }
        if (i >= text.size()) {
            return false;
        }
        char c = text[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default:
        return false;
    }
}

std::int64_t PreferenceStore::integerFromJson(const Json& value) {
    switch (value.type()) {
    case Json::value_t::boolean:
        return value.get<bool>() ? 1 : 0;
    case Json::value_t::number_integer:
        return value.get<std::int64_t>();
    case Json::value_t::number_unsigned: {
        auto number = value.get<std::uint64_t>();
        constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        return number > max ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(number);
    }
    case Json::value_t::number_float:
        return clampToInteger(value.get<double>());
    case Json::value_t::string:
        return integerFromText(value.get_ref<const std::string&>());
    default:
        return 0;
    }
}

double PreferenceStore::doubleFromJson(const Json& value) {
    switch (value.type()) {
    case Json::value_t::boolean:
        return value.get<bool>() ? 1.0 : 0.0;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return value.get<double>();
    case Json::value_t::string:
        return doubleFromText(value.get_ref<const std::string&>());
    default:
        return 0.0;
    }
}

} // namespace orvaneh
