#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvaneh::test {

// Collects every log line written while it lives (one capture at a time).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    // True when a line contains the text.
    bool contains(std::string_view text) const;
    void clear();
};

} // namespace orvaneh::test
