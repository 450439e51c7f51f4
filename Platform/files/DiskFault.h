#pragma once

#include <string>

namespace orvaneh {

// The last failure of the disk itself (full, failing, read-only) met by a file or database
// operation, kept for the message the user finally gets: the code that sees the errno (a
// write, SQLite) is far from the screen or the command that says what failed, and only
// answers "failed" to it. Shared by every thread: the recorder writes on its own.
class DiskFault {
public:
    // Keeps `errorNumber` when it is the disk's doing (ENOSPC, EDQUOT, EIO, EROFS); other
    // errors (a missing file, a refused permission) are said where they happen.
    static void note(int errorNumber);
    // Forgets the last one: before an operation whose failure is to be told.
    static void clear();
    // The last one kept, in French ("plus de place sur le disque"), and forgets it; empty
    // when none.
    static std::string take();
    // "prefix" followed by " (the cause)" when one was kept, or by nothing.
    static std::string withCause(const std::string& prefix);
};

} // namespace orvaneh
