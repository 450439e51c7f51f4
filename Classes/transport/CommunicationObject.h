#pragma once

#include "Classes/audio/SpeexEncoder.h"
#include "Classes/core/DicteeModel.h"
#include "Classes/core/SiteModel.h"
#include "Platform/notifications/NotificationCenter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class XMLToSend;

// Base of every transport: loads the dictation of one send attempt, chooses the server,
// prepares the job's files and ends the attempt. Created for one attempt (or one fetch) and
// released after it; transports are held by shared_ptr and released on the main run loop,
// where their network callbacks run.
//
// Threads: construction and file preparation run on the sender's thread; the network
// callbacks of the subclasses on the main run loop. `stop` may be set from any thread.
class CommunicationObject {
public:
    // Loads the record (getDicteeWithID) when `idDictee` ≥ 1; an id of 0 makes a transport that
    // serves no dictation (a fetch).
    explicit CommunicationObject(std::int32_t idDictee = 0);
    virtual ~CommunicationObject();
    CommunicationObject(const CommunicationObject&) = delete;
    CommunicationObject& operator=(const CommunicationObject&) = delete;

    std::int32_t idDictee() const { return idDictee_; }
    // The loaded record; empty when it could not be loaded.
    const std::optional<DicteeModel>& getDictee() const { return dicteeM_; }
    const std::string& nameFILE() const { return nameFILE_; }
    const std::vector<std::string>& filesToUpload() const { return filesToUpload_; }
    bool stopped() const { return stop_.load(); }

    // selectDictee; a record with an empty title counts as not found: alert
    // "Une erreur est survenue lors de la récupération de la dictée" and nothing.
    std::optional<DicteeModel> getDicteeWithID();
    // The site to send to: with "LinkDictationToSite" on and a dictation site ≥ 1, that site if
    // it exists (else an empty SiteModel); otherwise the default site.
    SiteModel getServerToAsk() const;
    SiteModel getServerVelmoraToAsk() const;
    // Whether the site names a server: one without an address has nowhere to send or fetch. Nor
    // has one whose password is out of reach (kept in the keyring, which does not answer): it
    // would be asked with an empty password.
    static bool hasServerAddress(const SiteModel& site);
    // The banner that ends an attempt or a fetch to such a site.
    static std::string noServerAddressMessage(const SiteModel& site);
    // On a site of type 7 or 8, the three standard service paths become their PHP variants.
    static std::string resolveUrlVsSiteType(const SiteModel& site, const std::string& path);
    // The URL of `path` (resolved as above) on a web-service site. Web services are reached over
    // https, whether the address is written bare ("host:8443") or with "https://" or "http://".
    static std::string webServiceURL(const SiteModel& site, const std::string& path);
    // Fills the descriptor with the record, sets nameFILE from it and returns its bytes. A job
    // name that is not a plain file name leaves nameFILE empty (jobNameRefused), so that no file
    // of the job is made outside the documents directory.
    std::string generateXML(XMLToSend& descriptor);
    bool jobNameRefused() const { return jobNameRefused_; }
    // The banner that ends an attempt whose job name was refused.
    std::string jobNameRefusal() const;

    // The stamp of the send queue's claim on this dictation; without one, the stamp read with
    // the record counts.
    void setClaimStamp(std::int64_t stamp) { claimStamp_ = stamp; }
    // Marks the dictation sent if the office received what is stored: its row still carries
    // this attempt's stamp (a save clears it) and its recordings are the files this attempt
    // prepared. Otherwise logs it, makes the dictation eligible again at once and returns false.
    bool markSent();
    // Whether the office would still receive what is stored: the row carries this attempt's
    // stamp and the recordings are the files this attempt prepared. When not, logs it (`what`
    // names what is withheld) and makes the dictation eligible again at once.
    bool claimStillHolds(const std::string& what);

    // Copies (or compresses to Speex with the "spx" export format) the dictation then the
    // instruction into "<nameFILE>[-i].<format>", then the pictures; fills filesToUpload in
    // sending order. A compression that fails or is stopped adds nothing for that track
    // (never a partial file). Returns false when the attempt was stopped or a track that
    // exists could not be prepared (the attempt must then fail, not send an incomplete job).
    bool prepareFilesToUpload();
    void addPictures();
    // Writes the descriptor bytes to "/<nameFILE>.XML" and appends it to filesToUpload;
    // false when it cannot be written.
    bool addDescriptor(const std::string& bytes);
    // Removes every entry of the documents directory whose name contains nameFILE.
    void removeTempFile();
    // Set on "EnvoiClose": stops the file preparation and the running compression.
    void stop();

    // Ends the attempt: posts "EnvoiClose" the first time only, whatever path calls it.
    void endAttempt();
    bool attemptEnded() const { return ended_.load(); }

protected:
    std::int32_t idDictee_ = 0;
    std::optional<DicteeModel> dicteeM_;
    std::string nameFILE_;
    std::vector<std::string> filesToUpload_;

private:
    // What tells one version of a recording from another: a save renames a new file in.
    struct FileIdentity {
        bool exists = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
        static FileIdentity of(const std::string& path);
    };
    // The recordings as this attempt read them, taken before each copy.
    std::vector<std::pair<std::string, FileIdentity>> preparedSources_;
    std::int64_t attemptStamp() const;
    bool sameRecordings() const;
    // Logs that the dictation changed during its attempt and gives up the claim.
    void giveUpChangedDictee(const std::string& what);
    std::int64_t claimStamp_ = 0;
    bool jobNameRefused_ = false;
    std::string refusedJobName_;

    // Created on the sender's thread before `encoding_` is first set, never replaced: stop()
    // reads it only while `encoding_` is set.
    std::unique_ptr<SpeexEncoder> speexEncoder_;
    // Set while this object's compression runs, so that the end of another attempt never
    // stops it (the encoder's stop request is process-wide).
    std::atomic<bool> encoding_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    Observation stopObservation_;
};

} // namespace orvaneh
