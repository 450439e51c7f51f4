#pragma once

#include <stdexcept>
#include <string>

namespace orvaneh {

// The one exception of the system: every failure of the zip layer. The reason is an English
// text naming the archive or the entry; `error` is minizip's code, 0 when there is none.
class ZipException : public std::runtime_error {
public:
    explicit ZipException(const std::string& reason, int error = 0);

    static constexpr const char* name = "ZipException";

    std::string reason() const { return what(); }
    int error() const { return error_; }

private:
    int error_;
};

} // namespace orvaneh
