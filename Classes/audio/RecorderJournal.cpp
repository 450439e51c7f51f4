#include "Classes/audio/RecorderJournal.h"

#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/json/Json.h"
#include "Platform/log/Log.h"

#include <sys/stat.h>

namespace orvaneh {

namespace {

Json stampToJson(const RecorderJournal::FileStamp& stamp) {
    if (!stamp.present) {
        return nullptr;
    }
    return Json{{"taille", stamp.size}, {"inode", stamp.inode}, {"modifie", stamp.modified}};
}

RecorderJournal::FileStamp stampFromJson(const Json& value) {
    RecorderJournal::FileStamp stamp;
    if (value.is_object()) {
        stamp.present = true;
        stamp.size = value.at("taille").get<std::uint64_t>();
        stamp.inode = value.at("inode").get<std::uint64_t>();
        stamp.modified = value.at("modifie").get<std::int64_t>();
    }
    return stamp;
}

} // namespace

RecorderJournal::FileStamp RecorderJournal::FileStamp::of(const std::string& path) {
    FileStamp stamp;
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return stamp;
    }
    stamp.present = true;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.inode = static_cast<std::uint64_t>(status.st_ino);
    stamp.modified =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return stamp;
}

std::string RecorderJournal::path() {
    return FileManagerHelper::getPathForFileName("/enregistreur.journal");
}

std::optional<RecorderJournal> RecorderJournal::read() {
    auto text = AtomicFile::read(path());
    if (!text) {
        return std::nullopt;
    }
    try {
        const Json value = Json::parse(*text);
        RecorderJournal journal;
        journal.idDictee = value.at("dictee").get<std::int64_t>();
        journal.stored = value.at("enregistree").get<bool>();
        journal.masterJobId = value.at("job").get<std::string>();
        journal.steps = value.at("etapes").get<int>();
        journal.saving = value.value("enregistrement_en_cours", false);
        journal.dictation = stampFromJson(value.at("piste_dictee"));
        journal.instruction = stampFromJson(value.at("piste_instruction"));
        journal.storedDictation = stampFromJson(value.at("enregistrement_dictee"));
        journal.storedInstruction = stampFromJson(value.at("enregistrement_instruction"));
        journal.insertedTake = stampFromJson(value.at("prise_inseree"));
        return journal;
    } catch (const Json::exception& error) {
        Log::write("Journal de l'enregistreur illisible : " + std::string(error.what()));
        return std::nullopt;
    }
}

bool RecorderJournal::write() const {
    const Json value{{"dictee", idDictee},
                     {"enregistree", stored},
                     {"job", masterJobId},
                     {"etapes", steps},
                     {"enregistrement_en_cours", saving},
                     {"piste_dictee", stampToJson(dictation)},
                     {"piste_instruction", stampToJson(instruction)},
                     {"enregistrement_dictee", stampToJson(storedDictation)},
                     {"enregistrement_instruction", stampToJson(storedInstruction)},
                     {"prise_inseree", stampToJson(insertedTake)}};
    std::string error;
    // Not flushed: the working files it describes are not either, and after a power cut a
    // journal that no longer matches them only sets them aside. Flushing here would also force
    // the track just written to disk, doubling the time of an edit.
    if (!AtomicFile::write(path(), value.dump(1, ' ', false, Json::error_handler_t::replace),
                           std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, &error,
                           AtomicFile::Flush::Cached)) {
        Log::write("Le journal de l'enregistreur n'a pas pu être écrit : " + error);
        return false;
    }
    return true;
}

void RecorderJournal::remove() {
    Tools::deleteFileAtPath(path());
}

} // namespace orvaneh
