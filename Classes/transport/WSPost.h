#pragma once

#include "Classes/transport/CommunicationObject.h"
#include "Classes/transport/WSResult.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvaneh {

class WSCommunication;

// One send attempt to a web-service site: the job's files (audio, pictures, descriptor,
// optionally one zip) posted as one multipart request to the site's import service.
//
// Must be owned by a std::shared_ptr (it keeps itself alive while work is queued on the main
// run loop) and released on the main run loop. postDictations runs on the sender's thread
// (job preparation never runs on the main run loop); the request and its outcome run on the
// main run loop. Every path ends the attempt exactly once ("EnvoiClose"): success after the
// dictation is marked sent, any failure with the dictation left pending and the reason handed
// to the delegate's errorRequest (which shows it). The delegate must outlive the attempt.
class WSPost : public CommunicationObject, public std::enable_shared_from_this<WSPost> {
public:
    WSPost(std::int32_t idDictee, WSResultDelegate* delegatePst);
    ~WSPost() override;

    // Chooses the route and carries the attempt out. On the sender's thread. The transcription
    // service's route ("SendToVelmora" on, typist "Velmora") is not built: such an attempt fails
    // with a French text and the dictation stays pending.
    void postDictations();

    // The standard route, on the sender's thread: descriptor, files, zip when the settings ask
    // for it ("CompresseFile" on and "versionWS" above 1.0), body, then the request is started
    // on the main run loop.
    void postDictationsWSLumetra();
    // prepareFilesToUpload, then the descriptor appended last. False with `failure` set when
    // the job cannot be sent as it stands (failure empty: the attempt was stopped).
    bool getFilesToUpload(const std::string& descriptor, std::string& failure);
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

    // Runs `task` on the main run loop with this object kept alive until it has run.
    void onMainLoop(std::function<void(WSPost&)> task);
    // A failure found on the sender's thread, reported from the main run loop.
    void failOnMainLoop(const std::string& text);
    WSResult resultWithText(const std::string& text) const;
};

} // namespace orvaneh
