#pragma once

#include "Classes/audio/RecorderJournal.h"
#include "Classes/core/DicteeModel.h"
#include "Platform/files/FileLock.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvaneh {

// The files behind the recording screen's two tracks, in the documents directory: the working
// copies ("dictee.wav", "instruction.wav") the screen records into, the stored tracks
// ("N.wav", "IN.wav") they come from and go back to, the take file ("dictee2.wav") and the
// edits' output ("temp3.wav").
//
// Audio is never given up silently: an insertion or cut that fails leaves the track as it was,
// a take that cannot be inserted is kept as "prise-<date>.wav", and a failed move leaves the
// working file in place. After every complete step (opening, take, cut, record written) the
// state of the working files goes to a journal (RecorderJournal): reopening the same dictation
// after a crash takes that state up and says so; working files that do not match it, or belong
// to another dictation, are kept as "piste-…-<date>.wav". Files found under the identifier a
// new dictation is stored with belong to an older one and are kept as "orphelin-N-<date>…".
// Each case is told by a banner.
//
// The files are reserved for one screen at a time per profile, whatever the process, by a lock
// on "enregistreur.verrou"; nothing is written while the lock is not held. Main run loop only.
class RecorderTrackFiles {
public:
    RecorderTrackFiles();

    // Why the files cannot be reserved now (another screen holds them, here or in another
    // process), in French; nothing when they can.
    static std::optional<std::string> unavailable();
    // Takes the lock; false when another screen holds it.
    bool reserve();
    bool reserved() const { return reserved_; }

    const std::string& workingPath(bool dictation) const {
        return dictation ? baseDicteeFilePath_ : baseInstFilePath_;
    }
    const std::string& storedPath(bool dictation) const {
        return dictation ? finalDicteeFilePath_ : finalInstFilePath_;
    }
    // Where a take goes while its track already holds audio.
    const std::string& takePath() const { return tempFilePath_; }

    // Prepares the working files for dictation `idDictee`: its stored row for an existing one,
    // nothing for a new one (whose files left under its number are set aside). Leftovers are
    // taken up or set aside as the journal says, then the stored tracks are copied where no
    // working file is. `resumed` tells whether a working dictation file was already there.
    // False when a copy failed: what it made is removed, the lock released, the user told.
    bool open(std::int64_t idDictee, const std::optional<DicteeModel>& stored, bool& resumed);
    // Starts again from the stored tracks of `idDictee` (after a save that left the screen
    // open). False as for open.
    bool reopenStored(std::int64_t idDictee);

    // Records the working files' state as the last complete step; with `edited`, a change of
    // the files since the last record counts as one edit.
    void writeJournal(bool edited);
    // Working files as opened from the stored tracks and untouched since.
    bool unedited() const;

    // A working file that no player could read, before a take replaces it: kept aside.
    void setAsideUnreadable(bool dictation);
    // Splices the take file into the track at `seconds` and removes it. False (the track
    // unchanged, the take kept aside, the user told) when it could not be inserted; true when
    // there was no take file.
    bool mergeTake(bool dictation, double seconds);
    // Removes the passage from the track. False (the track unchanged, the user told) when it
    // could not be done.
    bool cut(bool dictation, double from, double to);

    // Files under `identifier` that belong to an older dictation are set aside (said by a
    // banner); pictures too when `withPictures`.
    static void setAsideFilesOfOlderDictation(std::int64_t identifier, bool withPictures);
    // The record of `identifier` is written: the stored paths become its own and the journal
    // says a save is under way, so that a save cut short is completed by the next screen.
    void beginSave(std::int64_t identifier, const std::string& masterJobId);
    // Before a new dictation's record is written: should the save stop before beginSave(), the
    // record of that job gets these files at the next opening.
    void announceNewSave(const std::string& masterJobId);
    // Moves the working files to the stored names; false (logged) when a move failed, the
    // working file then stays.
    bool saveDicteeFile();
    // The moves failed: editing goes on, these files are not a save in progress any more.
    void saveAbandoned();
    // Removes the working files and the journal.
    void deleteFileTempFile();
    // The errno behind the last take insertion, cut or move to the stored names that failed (a
    // full disk, a read-write error), for the message that says so; 0 when that step succeeded
    // or an input, not the system, was the cause.
    int lastError() const { return lastError_; }

private:
    std::string baseDicteeFilePath_, finalDicteeFilePath_, tempDicteeFilePath_, tempInstFilePath_,
        baseInstFilePath_, finalInstFilePath_, tempFilePath_, outputFilePath_;
    FileLock lock_;
    bool reserved_ = false;
    int lastError_ = 0;
    // What the journal says of the working files; its stamps are refreshed at each write.
    RecorderJournal journal_;

    void setStoredPaths(std::int64_t idDictee);
    void startJournal(std::int64_t idDictee, bool stored, const std::string& masterJobId);
    bool copyStoredTracks();
    bool completeInterruptedSave(const RecorderJournal& found, std::int64_t idDictee);
    void recoverOrSetAsideWorkingFiles(std::int64_t idDictee, const std::optional<DicteeModel>& stored,
                                       const std::optional<RecorderJournal>& found);
    void setAsideWorkingFiles(const std::string& why);
    void setAsideLeftoverTake(const std::optional<RecorderJournal>& found);
    bool insertTake(const std::string& working, double seconds);
};

} // namespace orvaneh
