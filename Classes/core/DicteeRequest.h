#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/core/Request.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// The only reader and writer of the dictee table. Each operation opens its own connection
// and runs one statement, so the screens and the send queue's thread can use it at once.
// Failures are logged and answered by 0, an empty record, an empty list or false.
class DicteeRequest : public Request {
public:
    // Filters of getListDictee.
    static constexpr int kAll = -1;
    static constexpr int kOutbox = 0; // not sent, drafts included
    static constexpr int kSent = 1;
    static constexpr int kToCleanse = 2; // sent, older than the clean-up delay
    // A failed attempt is retried only after this delay.
    static constexpr double kRetryDelaySeconds = 120.0;

    // Stores a new row dated now, not in transfer, never attempted. The new id, 0 on failure.
    std::int64_t insertDictee(const DicteeModel& record);
    // Rewrites the row of record.idDictee, dated now, and clears its attempt stamp so a
    // waiting dictation is eligible at once. The id, 0 on failure or when no such row exists.
    std::int64_t updateDictee(const DicteeModel& record);
    // The row with its date as "dd-MM_HH-mm" (or `datePattern`, a DateFormatter pattern in local
    // time); an empty record (idDictee 0, date "") when the id is 0 or unknown.
    DicteeModel selectDictee(std::int64_t idDictee, std::string_view datePattern = {});
    // Newest first, dates as "dd/MM/yy HH:mm" (or `datePattern`), titreAuto filled. Unknown
    // filters give nothing.
    std::vector<DicteeModel> getListDictee(int filter, std::string_view datePattern = {});
    // The highest id, 0 for an empty table.
    std::int64_t getLastId();
    // The id of the dictation of that job, 0 when there is none.
    std::int64_t idForMasterJob(const std::string& masterJobId);
    // The first dictation the send queue may take: not a draft, not sent, and never tried or
    // last tried more than kRetryDelaySeconds ago.
    std::optional<DicteeModel> getNextDicteeToSend();
    // The queue's claim: stamps the attempt with now in whole seconds.
    void updateDicteeTsTransfert(std::int64_t idDictee);

    // A dictation taken by one send attempt: the record as it was when stamped, and the stamp.
    struct Claim {
        DicteeModel record;
        std::int64_t stamp = 0;
    };
    // Which dictations a claim may take besides the sender's usual rule.
    struct ClaimRule {
        // A foreground pass asked for now: a failed attempt need not wait kRetryDelaySeconds.
        bool ignoreRetryDelay = false;
        std::int64_t onlyId = 0;           // 0: any dictation
        std::vector<std::int64_t> skipIds; // already tried in this pass
    };
    // Picks the dictation getNextDicteeToSend would (within `rule`), stamps it with now in
    // whole seconds and reads it, in one write transaction: two senders can never take the same
    // dictation. Nothing when none is eligible or the database fails (logged); `failure` then
    // receives the reason in French, or is left empty when none is eligible.
    std::optional<Claim> claimNextDicteeToSend(std::string* failure, const ClaimRule& rule);
    std::optional<Claim> claimNextDicteeToSend(std::string* failure = nullptr) {
        return claimNextDicteeToSend(failure, ClaimRule());
    }
    // Marks the dictation sent only while its stamp is still `stamp`: a save (which clears the
    // stamp) or another claim since then means the office did not receive what is stored now.
    // False when the row was not marked.
    bool updateDicteeEnvoiIfClaimed(std::int64_t idDictee, std::int64_t stamp);
    // Gives up the claim `stamp`, so that the dictation is eligible at once.
    void releaseClaim(std::int64_t idDictee, std::int64_t stamp);
    // Marks the dictation sent.
    void updateDicteeEnvoi(std::int64_t idDictee);
    // Holds a dictation back from the sender (draft, no claim) while its recordings are being
    // replaced: should the save stop half-way, nothing is sent with a record and recordings
    // that do not go together. False when no row was changed (logged on failure).
    bool holdBackForSave(std::int64_t idDictee);
    // Makes an edited dictation pending again once its new recordings are in place: an attempt
    // that confirmed it in between sent the recordings it replaced. False on failure (logged).
    bool reopenAfterEdit(std::int64_t idDictee);
    // True when a row was deleted. The caller removes the dictation's files.
    bool deleteDicteeWithId(std::int64_t idDictee);

    // The typist stored with the dictation: the record's, else the third part of a packed
    // worktype, else the worktype's default typist, else the author.
    static std::string getTypistToAssignWithWorktypeIfNeeded(const DicteeModel& record);

private:
    // Runs the insert or update `sql` of `record`: the fields both share, then `lastFields` from
    // position 14. The statement, still open to read what it changed; nothing on failure, logged
    // under the name of `operation`.
    std::optional<PreparedStatement> write(std::string_view operation, const char* sql,
                                           const DicteeModel& record,
                                           const std::vector<std::int64_t>& lastFields);
    // Runs an UPDATE that changes one dictation's transfer fields; the number of rows changed,
    // -1 on failure (logged).
    int runTransferUpdate(const char* sql, const std::vector<std::int64_t>& values);
};

} // namespace orvaneh
