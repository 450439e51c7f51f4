#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace orvaneh::test {

// Sets (or, given nullptr, removes) an environment variable for the life of the object, then
// puts the previous value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* previous = std::getenv(name)) {
            previous_ = previous;
        }
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { previous_ ? ::setenv(name_, previous_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// Sets the local time zone for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) : variable_("TZ", zone) { ::tzset(); }

private:
    // Declared first so that it reloads the zone after the variable is put back.
    struct Reload {
        ~Reload() { ::tzset(); }
    } reload_;
    ScopedEnvironment variable_;
};

} // namespace orvaneh::test
