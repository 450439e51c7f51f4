#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/transport/WSResult.h"
#include "Platform/files/FileLock.h"
#include "Platform/notifications/NotificationCenter.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh {

class CommunicationObject;
class RunLoop;

// The single background sender. A run picks the next eligible dictation, stamps the attempt
// and hands it to the transport of its site; every attempt ends with exactly one
// "EnvoiClose", on which the next run is chained. Runs (and so job preparation: copies,
// Speex compression, zipping) execute on the sender's own thread, never on the main run loop;
// the transports' network callbacks run on the main run loop.
//
// `running` is set atomically before a run starts (claimRun) and cleared only when no
// dictation is left; a chained run keeps it set. The end of a pass (nothing left to send, or
// the pass gave up) is announced once by "EnvoiFin", on the sender's thread, after `running`
// is cleared. Construct and destroy it on the main thread:
// the destructor waits for a run in progress on the sender's thread.
//
// One sender per profile: a pass holds the profile's sender lock (a file lock, so also against
// other processes on the same profile) from its first run until `running` is cleared. A run
// that finds it held elsewhere ends the pass quietly; the next wake-up tries again. Each
// dictation is taken by an atomic claim in the database, whose stamp the transport checks
// before marking the dictation sent.
class Uploader : public WSResultDelegate {
public:
    Uploader();
    ~Uploader() override;
    Uploader(const Uploader&) = delete;
    Uploader& operator=(const Uploader&) = delete;

    bool running() const { return running_.load(); }
    void setRunning(bool running) { running_.store(running); }
    // Marks a run as started; false when one already is.
    bool claimRun();
    // Claims a run and starts it on the sender's thread; false when one is running. The pass
    // takes the dictations `rule` allows (a foreground pass may skip the retry delay or take a
    // single dictation); each dictation gets at most one attempt in a pass that ignores the delay.
    bool startRun(const DicteeRequest::ClaimRule& rule = {});

    // The file whose lock allows one sender per profile.
    static std::filesystem::path senderLockPath();
    // Takes the profile's sender lock for the coming pass, waiting at most `wait` for another
    // holder to let it go. Acquired when this sender holds it already; Failed (with a French
    // reason) when the lock file cannot be used.
    FileLock::Result acquireSenderLock(std::chrono::milliseconds wait, std::string* error = nullptr);

    // One run of the queue, on the sender's thread.
    void run();
    // Checks and transport choice for one dictation.
    void sendDictee(const DicteeModel& dictee);
    void envoiDicteeByFTP(const DicteeModel& dictee);
    void envoiDicteeByWS(const DicteeModel& dictee);

    // Web-service outcomes.
    void requestDidFinish(const WSResult& result) override;
    void errorRequest(const WSResult& result) override;

    // Row id of the dictation being sent, 0 when none.
    static std::int64_t uploadedDicteeId() { return uploadedDicteeId_.load(); }
    // The dictation being sent on this profile, by this process or by another one (the
    // application and the command line side by side); 0 when none. Screens and commands ask
    // it before changing or deleting a dictation.
    static std::int64_t dictationBeingSent();
    // Number of runs performed (diagnostics and tests).
    int runCount() const { return runCount_.load(); }
    // "EnvoiProgress" seen during the current attempt.
    unsigned etapeUpload() const { return etapeUpload_.load(); }
    // Why the last pass stopped before the queue was empty (the database refused the claim),
    // in French; empty when it ended because nothing was left to send.
    std::string passFailure() const;

private:
    std::atomic<bool> running_{false};
    std::atomic<int> runCount_{0};
    std::atomic<unsigned> etapeUpload_{0};
    static std::atomic<std::int64_t> uploadedDicteeId_;
    // The stamp of the dictation claimed by the current run, handed to its transport; only
    // used on the sender's thread.
    std::int64_t claimStamp_ = 0;
    // The current pass's rule: set by startRun before the first run is posted, then read and
    // extended (tried ids) on the sender's thread only.
    DicteeRequest::ClaimRule passRule_;
    mutable std::mutex passFailureMutex_;
    std::string passFailure_;
    std::mutex senderLockMutex_;
    std::unique_ptr<FileLock> senderLock_;
    std::shared_ptr<CommunicationObject> transport_; // the current attempt's
    std::mutex transportMutex_;
    std::thread worker_;
    // Runs on worker_ (made there, so it belongs to it); destroyed only after the join, since
    // stop() may still be signalling it when its thread leaves run().
    std::unique_ptr<RunLoop> workerLoop_;
    // Expires with the object, for the tasks that hop through the main run loop.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::vector<Observation> observations_;

    // On "EnvoiClose", on the thread that posted it: hides the activity indicator, forgets the
    // attempt and chains the next run (running stays set).
    void infoUploadClose();
    // Ends the pass: no dictation in flight, the sender lock released, `running` cleared,
    // then "EnvoiFin".
    // The dictation of the attempt in flight (0: none), for this process and, through the
    // sender lock's note, for the others.
    void setDictationInFlight(std::int64_t idDictee);
    void finishPass();
    void releaseSenderLock();
    // Ends an attempt refused before a transport exists: one "EnvoiClose".
    void endAttemptWithoutTransport();
    void setTransport(std::shared_ptr<CommunicationObject> transport);
    // Lets the main run loop drop the last reference, so that no transport dies on another thread.
    static void releaseOnMainLoop(std::shared_ptr<CommunicationObject> transport);
};

} // namespace orvaneh
