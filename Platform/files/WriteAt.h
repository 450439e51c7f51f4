#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <unistd.h>

namespace orvaneh {

// Writes all `count` bytes at `offset` of the open file, resuming after signals and short
// writes; false (errno set) when the system refuses or writes nothing.
inline bool writeAt(int descriptor, const void* bytes, std::size_t count, std::uint64_t offset) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        const auto written = ::pwrite(descriptor, next, count, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

} // namespace orvaneh
