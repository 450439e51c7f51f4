#include "Classes/audio/DictationSaver.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Platform/log/Log.h"

#include <string>

namespace orvaneh {

DictationSaver::Outcome DictationSaver::save(const Request& asked, ParamWorkflow& parameters,
                                             RecorderTrackFiles& files) {
    const std::int32_t idSite =
        ConfigurationManager::shouldLinkDictationToSite() ? siteRequest().selectDefaultSite().idSite : -1;

    DicteeRequest request;
    const std::string firstFieldBefore = parameters.firstField;
    DicteeModel record;
    std::int64_t identifier = 0;
    bool newRow = true;
    if (asked.isNew) {
        record.idSite = idSite;
        parameters.setToDicteeModel(record);
        record.dureeDictee = static_cast<std::int64_t>(asked.dictationDuration);
        record.dureeInstruction = static_cast<std::int64_t>(asked.instructionDuration);
        record.envoi = 0;
        record.masterJobId = Tools::generateUUID();
        record.brouillon = true;
        record.tsTransfert = static_cast<std::int64_t>(Tools::unixTsInSeconds());
        files.announceNewSave(record.masterJobId);
        identifier = request.insertDictee(record);
        record.idDictee = identifier;
    } else {
        record = request.selectDictee(asked.idDictee);
        record.idSite = idSite;
        record.dureeDictee = static_cast<std::int64_t>(asked.dictationDuration);
        record.dureeInstruction = static_cast<std::int64_t>(asked.instructionDuration);
        parameters.setToDicteeModel(record);
        record.brouillon = true;
        if (record.envoi == 1) {
            // A sent dictation stays as it was sent; the edit becomes a dictation of its own.
            parameters.firstField = parameters.firstField + "-1";
            record.titre = parameters.firstField;
            record.masterJobId = Tools::generateUUID();
            record.envoi = 0;
            identifier = request.insertDictee(record);
            record.idDictee = identifier;
        } else {
            if (record.masterJobId.empty()) {
                record.masterJobId = Tools::generateUUID();
            }
            record.envoi = 0;
            record.titre = parameters.firstField;
            identifier = record.idDictee == asked.idDictee && request.holdBackForSave(asked.idDictee)
                             ? asked.idDictee
                             : 0;
            newRow = false;
        }
    }

    if (identifier < 1) {
        // Nothing is stored under identifier 0: the working files stay for a new attempt.
        parameters.firstField = firstFieldBefore;
        files.saveAbandoned();
        Log::write("La dictée n'a pas pu être enregistrée ; les fichiers de travail sont conservés");
        return {0, std::nullopt, request.diskError()};
    }

    if (newRow) {
        // The pictures taken on the side screens of a new dictation are its own when it got
        // the identifier it expected; anything else under its identifier is an older one's.
        const bool ownPictures = asked.isNew && identifier == asked.idDictee;
        RecorderTrackFiles::setAsideFilesOfOlderDictation(identifier, !ownPictures);
        if (asked.isNew && identifier != asked.idDictee) {
            Pictures::renumberPictures(asked.idDictee, identifier);
        }
    }
    Log::write("id de la dictée : " + std::to_string(identifier));
    files.beginSave(identifier, record.masterJobId);
    if (!files.saveDicteeFile()) {
        // Editing goes on: these files are not a save in progress until the user saves again.
        const int moveError = files.lastError();
        files.saveAbandoned();
        return {identifier, std::nullopt, moveError};
    }
    record.brouillon = asked.draft;
    if (request.updateDictee(record) < 1 || (!newRow && !request.reopenAfterEdit(identifier))) {
        // The recordings are stored; the dictation stays a draft until it is saved again.
        Log::write("La dictée " + std::to_string(identifier) +
                   " est enregistrée mais reste en brouillon : sa fiche n'a pas pu être mise à jour");
        return {identifier, std::nullopt, request.diskError()};
    }
    files.deleteFileTempFile();
    return {identifier, record};
}

} // namespace orvaneh
