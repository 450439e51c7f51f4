#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvaneh {

// What the recording screen's working files held after its last complete step (the opening,
// a take inserted, a cut, the record written), kept atomically beside them. A screen that
// finds working files (left by a crash, a kill or a screen closed without a choice) takes them
// up again only when they are exactly that state and belong to the dictation it opens;
// anything else is a half-done step or another dictation's work, and is set aside.
//
// A file is recognised by its size, inode and modification time rather than by its contents:
// every step puts a new file in place by a rename, so each step changes all three, and
// nothing has to read a track of an hour.
struct RecorderJournal {
    struct FileStamp {
        bool present = false;
        std::uint64_t size = 0;
        std::uint64_t inode = 0;
        std::int64_t modified = 0; // nanoseconds

        // Absent for a missing file or anything that is not a regular file.
        static FileStamp of(const std::string& path);
        bool operator==(const FileStamp&) const = default;
    };

    // The dictation the files belong to: stored (a row with that job) or new (idDictee is
    // then only the identifier it was expected to get).
    std::int64_t idDictee = 0;
    bool stored = false;
    std::string masterJobId;
    // Edits completed since the files were opened from the stored tracks.
    int steps = 0;
    // The user chose to save: the record is written (held back) and the working files are
    // being moved to the stored names. Such files are the dictation's, whoever finds them.
    bool saving = false;
    FileStamp dictation; // working file of each track
    FileStamp instruction;
    FileStamp storedDictation; // stored file of each track, as the working files started from
    FileStamp storedInstruction;
    FileStamp insertedTake; // the take file once spliced in, until it is removed

    // "enregistreur.journal" in the documents directory.
    static std::string path();
    // Nothing when there is no journal or it cannot be read.
    static std::optional<RecorderJournal> read();
    // Whole or not at all; false (logged) when it could not be written.
    bool write() const;
    static void remove();
};

} // namespace orvaneh
