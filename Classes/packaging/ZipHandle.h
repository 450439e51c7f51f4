#pragma once

#include <cstdint>

namespace orvaneh {

// A minizip handle (zipFile or unzFile) shared by an archive and the streams it hands out.
// The archive clears it when it closes, and each new entry gets a new number, so a stream
// that outlives its archive or its entry fails instead of writing through a freed handle or
// into another entry.
struct ZipHandle {
    void* handle = nullptr;
    std::uint64_t openEntry = 0; // number of the entry open for writing or reading, 0 when none
    std::uint64_t lastEntry = 0;
};

} // namespace orvaneh
