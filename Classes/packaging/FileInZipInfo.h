#pragma once

#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// What the central directory says about one entry (the read side only).
struct FileInZipInfo {
    std::string name;
    std::uint64_t length = 0; // uncompressed bytes
    // Compression level as the entry's flags record it: 0 stored, 9 best, 1 fastest,
    // -1 deflated at the default level.
    int level = 0;
    bool crypted = false;
    std::uint64_t size = 0; // compressed bytes
    WallTime date;          // read as local time, as it was written
    std::uint32_t crc32 = 0;

    // The level recorded by an entry's compression method and general-purpose flags.
    static int levelFromMethodAndFlags(unsigned long method, unsigned long flags);
};

} // namespace orvaneh
