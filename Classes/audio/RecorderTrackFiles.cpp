#include "Classes/audio/RecorderTrackFiles.h"

#include "Classes/audio/TrackPeaks.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Classes/screens/Notification.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"

#include <cerrno>
#include <filesystem>
#include <utility>
#include <vector>

namespace orvaneh {

namespace fs = std::filesystem;

namespace {

bool fileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

std::string documentPath(const std::string& name) {
    return FileManagerHelper::getPathForFileName(name);
}

std::string storedDictationPath(std::int64_t id) {
    return documentPath("/" + std::to_string(id) + ".wav");
}

std::string storedInstructionPath(std::int64_t id) {
    return documentPath("/I" + std::to_string(id) + ".wav");
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// A track is as the journal left it when its working file is still the one recorded beside an
// unchanged stored file, or was already moved to its stored name by a save cut short.
bool trackAsJournaled(const RecorderJournal::FileStamp& working, const RecorderJournal::FileStamp& stored,
                      const std::string& workingPath, const std::string& storedPath) {
    const auto now = RecorderJournal::FileStamp::of(workingPath);
    const auto storedNow = RecorderJournal::FileStamp::of(storedPath);
    return (now == working && storedNow == stored) || (!now.present && storedNow == working);
}

// Copies without ever replacing an existing destination, through `via` renamed at the end: a
// copy cut short never stands as the destination. Nothing when the copy was made or not
// needed; otherwise why it failed, in French.
std::optional<std::string> copyIfAbsent(const std::string& source, const std::string& destination,
                                        const std::string& via) {
    if (!fileExists(source) || fileExists(destination)) {
        return std::nullopt;
    }
    std::error_code error;
    fs::copy_file(source, via, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::rename(via, destination, error);
    }
    if (!error) {
        return std::nullopt;
    }
    Tools::deleteFileAtPath(via);
    Log::write("Copie impossible de « " + source + " » vers « " + destination + " » : " + error.message());
    // The kernel's copy reports a full disk as an I/O error: say what the user can act on.
    std::error_code ignored;
    const auto space = fs::space(fs::path(via).parent_path(), ignored);
    if (!ignored && space.available < fs::file_size(source, ignored) && !ignored) {
        return systemErrorText(ENOSPC);
    }
    return systemErrorText(error.value());
}

// Moves an audio file out of the recorder's way under a dated name of the documents
// directory. The new name (without directory), or nothing when the move failed.
std::optional<std::string> setAudioAside(const std::string& path, const std::string& prefix) {
    const std::string stem = prefix + "-" + Tools::getDateStrForFormat("yyyyMMdd-HHmmss");
    std::string name = stem + ".wav";
    for (int n = 2; fileExists(documentPath("/" + name)); ++n) {
        name = stem + "-" + std::to_string(n) + ".wav";
    }
    std::error_code error;
    fs::rename(path, documentPath("/" + name), error);
    if (error) {
        Log::write("Impossible de mettre de côté « " + path + " » : " + error.message());
        return std::nullopt;
    }
    Log::write("Enregistrement mis de côté : « " + path + " » devient « " + name + " »");
    return name;
}

// One rename: the track is never without a file, whatever happens in between. 0, or the errno
// of the rename that failed.
int replaceWorkingFile(const std::string& output, const std::string& working) {
    std::error_code error;
    fs::rename(output, working, error);
    if (error) {
        Log::write("Impossible de remplacer « " + working + " » : " + error.message());
        Tools::deleteFileAtPath(output);
        return error.value();
    }
    return 0;
}

} // namespace

RecorderTrackFiles::RecorderTrackFiles()
    : baseDicteeFilePath_(documentPath("/dictee.wav")), tempDicteeFilePath_(documentPath("/dicteeTemp.wav")),
      tempInstFilePath_(documentPath("/instTemp.wav")), baseInstFilePath_(documentPath("/instruction.wav")),
      tempFilePath_(documentPath("/dictee2.wav")), outputFilePath_(documentPath("/temp3.wav")),
      lock_(documentPath("/enregistreur.verrou")) {}

std::optional<std::string> RecorderTrackFiles::unavailable() {
    FileLock probe(documentPath("/enregistreur.verrou"));
    std::string error;
    switch (probe.tryLock(&error)) {
    case FileLock::Result::Acquired:
        return std::nullopt;
    case FileLock::Result::HeldElsewhere:
        return localized("AUDIO_RECORD_CONTROLLER_ENREGISTREUR_OCCUPE",
                         "Un enregistrement est déjà ouvert sur ce profil (dans l'application ou une autre "
                         "commande). Terminez-le avant d'en ouvrir un autre.");
    case FileLock::Result::Failed:
        break;
    }
    return localized("AUDIO_RECORD_CONTROLLER_VERROU_IMPOSSIBLE",
                     "L'enregistreur n'a pas pu être réservé : ") +
           error;
}

bool RecorderTrackFiles::reserve() {
    // Two screens on one profile would record into the same working files.
    reserved_ = lock_.tryLock() == FileLock::Result::Acquired;
    return reserved_;
}

void RecorderTrackFiles::setStoredPaths(std::int64_t idDictee) {
    finalDicteeFilePath_ = storedDictationPath(idDictee);
    finalInstFilePath_ = storedInstructionPath(idDictee);
}

bool RecorderTrackFiles::open(std::int64_t idDictee, const std::optional<DicteeModel>& stored,
                              bool& resumed) {
    setStoredPaths(idDictee);
    if (!stored) {
        // The pictures of the side screens are taken under this identifier from now on;
        // whatever is there already belongs to an older dictation.
        setAsideFilesOfOlderDictation(idDictee, true);
    }
    const auto found = RecorderJournal::read();
    recoverOrSetAsideWorkingFiles(idDictee, stored, found);
    setAsideLeftoverTake(found);
    // An edit's output left by an interrupted step is never a state of a track, and the
    // opening copies of earlier versions are only copies of stored tracks.
    for (const std::string* leftover : {&outputFilePath_, &tempDicteeFilePath_, &tempInstFilePath_}) {
        Tools::deleteFileAtPath(*leftover);
    }
    resumed = fileExists(baseDicteeFilePath_);
    if (stored && !copyStoredTracks()) {
        return false;
    }
    const int steps = journal_.steps;
    startJournal(idDictee, stored.has_value(), stored ? stored->masterJobId : std::string());
    journal_.steps = steps;
    writeJournal(false);
    return true;
}

bool RecorderTrackFiles::reopenStored(std::int64_t idDictee) {
    setStoredPaths(idDictee);
    if (!copyStoredTracks()) {
        return false;
    }
    startJournal(idDictee, true, DicteeRequest().selectDictee(idDictee).masterJobId);
    writeJournal(false);
    return true;
}

void RecorderTrackFiles::startJournal(std::int64_t idDictee, bool stored, const std::string& masterJobId) {
    journal_ = RecorderJournal();
    journal_.idDictee = idDictee;
    journal_.stored = stored;
    journal_.masterJobId = masterJobId;
    journal_.storedDictation = RecorderJournal::FileStamp::of(finalDicteeFilePath_);
    journal_.storedInstruction = RecorderJournal::FileStamp::of(finalInstFilePath_);
}

bool RecorderTrackFiles::copyStoredTracks() {
    const bool hadDictation = fileExists(baseDicteeFilePath_);
    const bool hadInstruction = fileExists(baseInstFilePath_);
    auto problem = copyIfAbsent(finalDicteeFilePath_, baseDicteeFilePath_, outputFilePath_);
    if (!problem) {
        problem = copyIfAbsent(finalInstFilePath_, baseInstFilePath_, outputFilePath_);
    }
    if (!problem) {
        return true;
    }
    // Without its working copy the screen would show an empty track, and saving would put
    // that over the stored recording: the dictation is not opened at all.
    if (!hadDictation) {
        Tools::deleteFileAtPath(baseDicteeFilePath_);
    }
    if (!hadInstruction) {
        Tools::deleteFileAtPath(baseInstFilePath_);
    }
    reserved_ = false;
    lock_.unlock();
    const std::string text =
        localized(
            "AUDIO_RECORD_CONTROLLER_OUVERTURE_IMPOSSIBLE",
            "La dictée ne peut pas être ouverte : la copie de travail de ses enregistrements n'a pas pu "
            "être faite (") +
        *problem + "). Elle reste telle qu'elle était.";
    Log::write(text);
    Notification::pushNotification(text);
    return false;
}

void RecorderTrackFiles::setAsideFilesOfOlderDictation(std::int64_t identifier, bool withPictures) {
    const auto names = FileManagerHelper::setAsideFilesOfIdentifier(
        identifier, "fichiers d'une dictée précédente sous l'identifiant d'une nouvelle dictée",
        withPictures);
    if (!names.empty()) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_ORPHELINS_CONSERVES",
                      "Des fichiers d'une ancienne dictée portaient le numéro de la nouvelle ; ils sont "
                      "conservés à part, sans être envoyés : ") +
            joined(names));
    }
}

// Working files found at the opening are this dictation's last complete state when the
// journal says so: taken up (and said when they hold edits). Anything else is set aside.
void RecorderTrackFiles::recoverOrSetAsideWorkingFiles(std::int64_t idDictee,
                                                       const std::optional<DicteeModel>& stored,
                                                       const std::optional<RecorderJournal>& found) {
    journal_.steps = 0;
    if (!fileExists(baseDicteeFilePath_) && !fileExists(baseInstFilePath_)) {
        return;
    }
    const bool thisDictation = found && stored && found->stored && found->idDictee == idDictee &&
                               stored->idDictee == idDictee && found->masterJobId == stored->masterJobId;
    if (thisDictation &&
        trackAsJournaled(found->dictation, found->storedDictation, baseDicteeFilePath_,
                         finalDicteeFilePath_) &&
        trackAsJournaled(found->instruction, found->storedInstruction, baseInstFilePath_,
                         finalInstFilePath_)) {
        journal_.steps = found->steps;
        if (found->steps > 0) {
            Log::write("Modification interrompue de la dictée " + std::to_string(idDictee) + " reprise (" +
                       std::to_string(found->steps) + " étape(s) terminée(s))");
            Notification::pushNotification(localized(
                "AUDIO_RECORD_CONTROLLER_MODIFICATION_REPRISE",
                "La modification interrompue de cette dictée est reprise telle qu'elle était après sa "
                "dernière étape terminée."));
        }
        return;
    }
    if (!thisDictation && found && completeInterruptedSave(*found, idDictee)) {
        return;
    }
    setAsideWorkingFiles(
        thisDictation ? localized("AUDIO_RECORD_CONTROLLER_MODIFICATION_NON_REPRISE",
                                  "Une modification interrompue de cette dictée n'a pas pu être reprise ; "
                                  "ses enregistrements sont conservés dans : ")
                      : localized("AUDIO_RECORD_CONTROLLER_PISTES_CONSERVEES",
                                  "Les enregistrements non enregistrés d'une autre dictée sont "
                                  "conservés dans : "));
}

// Working files of another dictation whose save was cut short after its record was written:
// moved to that dictation's stored names (it stays a draft), and said. False when the journal
// names no such save or the files are not exactly those it describes.
bool RecorderTrackFiles::completeInterruptedSave(const RecorderJournal& journaled, std::int64_t idDictee) {
    RecorderJournal found = journaled;
    if (found.saving && !found.stored && !found.masterJobId.empty()) {
        // A new dictation whose record may have been written before the journal could name it:
        // the record of that job, if any, and no stored track yet.
        found.idDictee = DicteeRequest().idForMasterJob(found.masterJobId);
        found.stored = found.idDictee > 0;
        found.storedDictation = {};
        found.storedInstruction = {};
    }
    if (!found.saving || !found.stored || found.idDictee == idDictee) {
        return false;
    }
    const DicteeModel owner = DicteeRequest().selectDictee(found.idDictee);
    const std::string storedDictation = storedDictationPath(found.idDictee);
    const std::string storedInstruction = storedInstructionPath(found.idDictee);
    if (owner.idDictee != found.idDictee || owner.masterJobId != found.masterJobId ||
        !trackAsJournaled(found.dictation, found.storedDictation, baseDicteeFilePath_, storedDictation) ||
        !trackAsJournaled(found.instruction, found.storedInstruction, baseInstFilePath_, storedInstruction)) {
        return false;
    }
    for (const auto& [working, storedPath] : {std::pair{&baseDicteeFilePath_, &storedDictation},
                                              std::pair{&baseInstFilePath_, &storedInstruction}}) {
        std::error_code error;
        if (fileExists(*working)) {
            fs::rename(*working, *storedPath, error);
        }
        if (error) {
            Log::write("L'enregistrement interrompu de la dictée " + std::to_string(found.idDictee) +
                       " n'a pas pu être terminé : " + error.message());
            return false;
        }
    }
    // The record stays held back: whether it was to be sent or kept is the user's to say again.
    Log::write("Enregistrement interrompu de la dictée " + std::to_string(found.idDictee) + " terminé");
    Notification::pushNotification(
        localized("AUDIO_RECORD_CONTROLLER_ENREGISTREMENT_TERMINE",
                  "L'enregistrement interrompu d'une dictée a été terminé ; elle reste en brouillon : ") +
        (owner.titre.empty() ? std::to_string(found.idDictee) : owner.titre));
    return true;
}

void RecorderTrackFiles::setAsideWorkingFiles(const std::string& why) {
    std::vector<std::string> names;
    for (const auto& [working, prefix] : {std::pair{&baseDicteeFilePath_, "piste-dictee"},
                                          std::pair{&baseInstFilePath_, "piste-instruction"}}) {
        if (fileExists(*working)) {
            if (auto name = setAudioAside(*working, prefix)) {
                names.push_back(*name);
            }
        }
    }
    Notification::pushNotification(why + joined(names));
}

void RecorderTrackFiles::setAsideLeftoverTake(const std::optional<RecorderJournal>& found) {
    if (!fileExists(tempFilePath_)) {
        return;
    }
    if (found && found->insertedTake.present &&
        RecorderJournal::FileStamp::of(tempFilePath_) == found->insertedTake) {
        // Already spliced into the state the journal names: kept once, not twice.
        Tools::deleteFileAtPath(tempFilePath_);
        return;
    }
    // A take the screen never got to insert (it was closed during the take).
    if (auto name = setAudioAside(tempFilePath_, "prise")) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_PRISE_CONSERVEE",
                      "Une prise non insérée lors d'une séance précédente est conservée dans le fichier ") +
            *name);
    }
}

void RecorderTrackFiles::writeJournal(bool edited) {
    if (!reserved_) {
        return;
    }
    const auto dictation = RecorderJournal::FileStamp::of(baseDicteeFilePath_);
    const auto instruction = RecorderJournal::FileStamp::of(baseInstFilePath_);
    if (edited && (dictation != journal_.dictation || instruction != journal_.instruction)) {
        ++journal_.steps;
    }
    journal_.dictation = dictation;
    journal_.instruction = instruction;
    journal_.write();
}

bool RecorderTrackFiles::unedited() const {
    return reserved_ && journal_.stored && journal_.steps == 0 && !journal_.saving &&
           RecorderJournal::FileStamp::of(baseDicteeFilePath_) == journal_.dictation &&
           RecorderJournal::FileStamp::of(baseInstFilePath_) == journal_.instruction;
}

void RecorderTrackFiles::setAsideUnreadable(bool dictation) {
    const std::string& working = workingPath(dictation);
    if (!fileExists(working)) {
        return;
    }
    if (auto name = setAudioAside(working, dictation ? "piste-dictee" : "piste-instruction")) {
        Notification::pushNotification(localized("AUDIO_RECORD_CONTROLLER_PISTE_ILLISIBLE",
                                                 "La piste était illisible ; elle est conservée dans le "
                                                 "fichier ") +
                                       *name);
    }
}

bool RecorderTrackFiles::mergeTake(bool dictation, double seconds) {
    lastError_ = 0;
    if (!fileExists(tempFilePath_)) {
        return true;
    }
    if (!insertTake(workingPath(dictation), seconds)) {
        return false;
    }
    Tools::deleteFileAtPath(tempFilePath_);
    return true;
}

bool RecorderTrackFiles::insertTake(const std::string& working, double seconds) {
    bool inserted =
        FileManagerHelper::insertWaveFile(tempFilePath_, working, outputFilePath_, seconds, &lastError_);
    if (inserted) {
        lastError_ = replaceWorkingFile(outputFilePath_, working);
        inserted = lastError_ == 0;
    }
    if (inserted) {
        // Until the take file is removed, the journal knows it is already in the track.
        journal_.insertedTake = RecorderJournal::FileStamp::of(tempFilePath_);
        writeJournal(true);
        return true;
    }
    std::string message = localized("AUDIO_RECORD_CONTROLLER_INSERTION_IMPOSSIBLE",
                                    "La prise n'a pas pu être insérée dans la piste, qui reste inchangée.");
    if (auto name = setAudioAside(tempFilePath_, "prise")) {
        message += " " +
                   localized("AUDIO_RECORD_CONTROLLER_PRISE_CONSERVEE_DANS",
                             "La prise est conservée dans le fichier ") +
                   *name;
    }
    Notification::pushNotification(message);
    return false;
}

bool RecorderTrackFiles::cut(bool dictation, double from, double to) {
    const std::string& working = workingPath(dictation);
    lastError_ = 0;
    bool done = FileManagerHelper::deleteChunkBetweenPos1(from, to, working, outputFilePath_, &lastError_);
    if (done) {
        lastError_ = replaceWorkingFile(outputFilePath_, working);
        done = lastError_ == 0;
    }
    if (!done) {
        Notification::pushNotification(
            localized("AUDIO_RECORD_CONTROLLER_COUPE_IMPOSSIBLE",
                      "La coupe n'a pas pu être faite ; la piste reste inchangée."));
        return false;
    }
    writeJournal(true);
    return true;
}

void RecorderTrackFiles::beginSave(std::int64_t identifier, const std::string& masterJobId) {
    setStoredPaths(identifier);
    Log::write("Le chemin du fichier : " + finalDicteeFilePath_);
    // Should the moves be cut short, the next visit of this dictation takes up its files.
    journal_.idDictee = identifier;
    journal_.stored = true;
    journal_.masterJobId = masterJobId;
    journal_.storedDictation = RecorderJournal::FileStamp::of(finalDicteeFilePath_);
    journal_.storedInstruction = RecorderJournal::FileStamp::of(finalInstFilePath_);
    journal_.saving = true;
    writeJournal(false);
}

void RecorderTrackFiles::announceNewSave(const std::string& masterJobId) {
    journal_.masterJobId = masterJobId;
    journal_.saving = true;
    writeJournal(false);
}

void RecorderTrackFiles::saveAbandoned() {
    journal_.saving = false;
    writeJournal(false);
}

bool RecorderTrackFiles::saveDicteeFile() {
    struct Track {
        const std::string& working;
        const std::string& stored;
        const char* missing;
    };
    bool saved = true;
    lastError_ = 0;
    for (const Track& track :
         {Track{baseDicteeFilePath_, finalDicteeFilePath_, "Le fichier \"Dictée\" n'existe pas !"},
          Track{baseInstFilePath_, finalInstFilePath_, "Le fichier \"Instruction\" n'existe pas !"}}) {
        if (!fileExists(track.working)) {
            Log::write(track.missing);
            continue;
        }
        // A rename replaces the stored file in one step.
        std::error_code error;
        fs::rename(track.working, track.stored, error);
        if (error) {
            lastError_ = error.value();
            Log::write("Impossible d'enregistrer « " + track.working + " » sous « " + track.stored +
                       " » : " + error.message());
            saved = false;
        }
    }
    return saved;
}

void RecorderTrackFiles::deleteFileTempFile() {
    for (const std::string* path : {&baseDicteeFilePath_, &baseInstFilePath_, &tempDicteeFilePath_,
                                    &tempInstFilePath_, &tempFilePath_}) {
        if (fileExists(*path)) {
            Tools::deleteFileAtPath(*path);
        }
    }
    // The waveform's outlines of the working tracks go with them.
    for (const std::string* path : {&baseDicteeFilePath_, &baseInstFilePath_}) {
        std::error_code error;
        std::filesystem::remove(TrackPeaks::peakFileOf(*path), error);
    }
    // Last: a journal without working files names nothing.
    RecorderJournal::remove();
}

} // namespace orvaneh
