#include "support/LogCapture.h"

#include "Platform/log/Log.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace orvaneh::test {

namespace {

// Lines may come from the sender's thread too.
struct Captured {
    std::mutex mutex;
    std::vector<std::string> lines;
};

Captured& captured() {
    static Captured instance;
    return instance;
}

} // namespace

LogCapture::LogCapture() {
    clear();
    Log::setObserver([](const std::string& line) {
        std::lock_guard lock(captured().mutex);
        captured().lines.push_back(line);
    });
}

LogCapture::~LogCapture() {
    Log::setObserver({});
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(captured().mutex);
    return captured().lines;
}

bool LogCapture::contains(std::string_view text) const {
    std::lock_guard lock(captured().mutex);
    return std::any_of(captured().lines.begin(), captured().lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

void LogCapture::clear() {
    std::lock_guard lock(captured().mutex);
    captured().lines.clear();
}

} // namespace orvaneh::test
