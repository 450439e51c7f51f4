#pragma once

#include "Classes/soap/WSVelmoraHelperDelegate.h"
#include "Classes/transport/CommunicationObject.h"
#include "Classes/transport/WSResult.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class WSCommunication;
class WSVelmoraHelper;

// One send attempt to a web-service site: the job's files (audio, pictures, descriptor,
// optionally one zip) posted as one multipart request to the site's import service. A
// dictation for the transcription service goes instead to that service (the site of type 6):
// log-in, document models and dates of return, then the chunked upload of its audio with the
// job XML; it is marked sent only when the service confirmed the whole file.
//
// Must be owned by a std::shared_ptr (it keeps itself alive while work is queued on the main
// run loop) and released on the main run loop. postDictations runs on the sender's thread
// (job preparation never runs on the main run loop); the request and its outcome run on the
// main run loop. Every path ends the attempt exactly once ("EnvoiClose"): success after the
// dictation is marked sent, any failure with the dictation left pending and the reason handed
// to the delegate's errorRequest (which shows it). The delegate must outlive the attempt.
class WSPost : public CommunicationObject,
               public WSVelmoraHelperDelegate,
               public std::enable_shared_from_this<WSPost> {
public:
    static constexpr const char* kTranscriptionServiceTypist = "Velmora";

    WSPost(std::int32_t idDictee, WSResultDelegate* delegatePst);
    ~WSPost() override;

    // Whether a dictation goes to the transcription service: "SendToVelmora" on and the typist
    // "Velmora", or a destination site that is the transcription service itself.
    static bool routesToTranscriptionService(const DicteeModel& dictee, const SiteModel& destination);
    // The model the job asks for: the one named like the dictation's worktype, else the first.
    static std::optional<ModelDocument> chooseModel(const std::vector<ModelDocument>& models,
                                                    const std::string& worktype);
    // The earliest date of return offered (the first that is not a heading).
    static std::optional<PossibleDate> chooseDate(const std::vector<PossibleDate>& dates);

    // Chooses the route and carries the attempt out. On the sender's thread.
    void postDictations();

    // The transcription service's route. On the sender's thread: the job's files and the
    // digest of its audio; then, on the main run loop, the log-in and the rest.
    void postDictationsWSVelmora();
    // The job XML for the chosen date and model.
    std::string generateXMLForVelmora(const PossibleDate* date, const ModelDocument* model) const;
    void startAuthentication();
    const WSVelmoraHelper* helper() const { return helper_.get(); }

    // The transcription service's outcomes, on the main run loop.
    void requestAuthenticateDidFinished() override;
    void requestGetModelListDidFinishedWithReturnValue(const std::vector<ModelDocument>& models) override;
    void requestGetPossibleDatesDidFinishedWithReturnValue(const std::vector<PossibleDate>& dates) override;
    void requestUploadFinishDidFinishedWithReturnValue(bool ok) override;
    void requestDidFailed(const std::string& message, const std::string& method) override;
    void uploadProgress(std::int32_t sent, std::int32_t total) override;

    // The standard route, on the sender's thread: descriptor, files, zip when the settings ask
    // for it ("CompresseFile" on and "versionWS" above 1.0), body, then the request is started
    // on the main run loop.
    void postDictationsWSLumetra();
    // prepareFilesToUpload, then the descriptor appended last. False with `failure` set when
    // the job cannot be sent as it stands (failure empty: the attempt was stopped).
    bool getFilesToUpload(const std::string& descriptor, std::string& failure);
    // The same without the descriptor, which the transcription route writes once it knows the
    // date and model.
    bool prepareJobFiles(std::string& failure);
    // Packs filesToUpload into "/<nameFILE>.zip", which then travels alone; false with the
    // ZipException's reason.
    bool createZip(std::string& failure);
    // The site, URL and body (built here, on the sender's thread), then the POST started on
    // the main run loop.
    void postRequest();

    // Outcomes, on the main run loop.
    void getDataRequest(const std::string& text);
    void erreurRequest(const std::string& text);
    // Removes the job's files, marks the dictation sent and ends the attempt.
    void finalizeUploading();

private:
    WSResultDelegate* delegatePst_;
    std::shared_ptr<WSCommunication> wsCommunication_;
    bool zipped_ = false;
    std::string zipPath_;
    // The transcription route: its driver, the digest of the audio (made on the sender's
    // thread), the lists awaited before the upload, and this object kept alive meanwhile.
    std::shared_ptr<WSVelmoraHelper> helper_;
    std::string clientHash_;
    bool isAuthenticated_ = false;
    std::optional<std::vector<ModelDocument>> models_;
    std::optional<std::vector<PossibleDate>> dates_;
    bool uploadStarted_ = false;
    std::shared_ptr<WSPost> keepAlive_;

    void startUploadWhenChosen();
    // Drops the transcription driver and the keep-alive once the current callback is over.
    void releaseHelperLater();

    // Runs `task` on the main run loop with this object kept alive until it has run.
    void onMainLoop(std::function<void(WSPost&)> task);
    // A failure found on the sender's thread, reported from the main run loop.
    void failOnMainLoop(const std::string& text);
    WSResult resultWithText(const std::string& text) const;
};

} // namespace orvaneh
