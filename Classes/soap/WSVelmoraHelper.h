#pragma once

#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"
#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBindingResponse.h"
#include "Classes/soap/WSVelmoraSoapBindingResponseDelegate.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvaneh {

class HttpSession;
class WSVelmoraHelperDelegate;
class WSVelmoraSoapBindingOperation;

// Drives the transcription service for one dictation: authentication, the document models and
// dates of return, then the upload: the init call with the job XML, the first file in numbered
// chunks of kChunkSize bytes (a refused chunk is sent again up to kMaxRetries times), and the
// finish call with the SHA-1 of the whole file, which the service checks.
//
// Use it on one thread whose run loop runs (the main run loop): each call completes there and
// the next call follows from that completion, so at most one upload call is in flight. The
// delegate must outlive it; destroying it cancels the calls in flight, and nothing is reported
// afterwards. A fault or an error stops the sequence; the upload's outcome is reported once.
class WSVelmoraHelper : public WSVelmoraSoapBindingResponseDelegate {
public:
    static constexpr std::int64_t kChunkSize = 65537;
    static constexpr int kMaxRetries = 3;

    WSVelmoraHelper(std::string siteAddress, WSVelmoraHelperDelegate* delegate);
    ~WSVelmoraHelper() override;
    WSVelmoraHelper(const WSVelmoraHelper&) = delete;
    WSVelmoraHelper& operator=(const WSVelmoraHelper&) = delete;

    const WSVelmoraMessage& header() const { return header_; }
    const std::string& guidFile() const { return guidFile_; }
    const std::string& masterJobId() const { return masterJobId_; }
    void setMasterJobId(std::string id) { masterJobId_ = std::move(id); }
    const std::vector<std::string>& filesToUpload() const { return filesToUpload_; }
    // Only the first file is uploaded and digested.
    void setFilesToUpload(std::vector<std::string> files) { filesToUpload_ = std::move(files); }
    const std::optional<PossibleDate>& pDate() const { return pDate_; }
    void setPDate(std::optional<PossibleDate> date) { pDate_ = std::move(date); }
    const std::optional<ModelDocument>& mDocument() const { return mDocument_; }
    void setMDocument(std::optional<ModelDocument> model) { mDocument_ = std::move(model); }
    std::int32_t chunkID() const { return chunkID_; }
    std::int32_t nbChunk() const { return nbChunk_; }
    std::int32_t nbTry() const { return nbTry_; }
    bool packetReceived() const { return packetReceived_; }
    // The digest, when the caller computed it beforehand (off the main thread).
    void setClientHash(std::string hash) { clientHash_ = std::move(hash); }

    void authenticateSessionWithUsername(const std::string& username, const std::string& password);
    void getModelList();
    void getPossibleDateOfReturnFromDate(WallTime date);
    void uploadingFileInitXMLFile(const std::string& xml);
    void uploadingFileSendChunkWithData(std::string bytes);
    void uploadingFileFinished();

    // The next step of the upload after the init call and after each chunk.
    void uploadNextChunk();
    // The chunk to send next, or nothing when the loop is over (or the file could not be read).
    std::optional<std::string> getDataForChunk();
    // SHA-1 of the whole first file in Base64 (28 characters); empty when it cannot be read.
    std::string getClientHash();
    // SHA-1 of a whole file in Base64; empty when it cannot be read.
    static std::string clientHashOfFile(const std::string& file);

    // Chunks of a file of `size` bytes, and where chunk `n` lies (nothing when it does not exist).
    static std::int64_t numberOfChunks(std::int64_t size);
    static std::optional<std::pair<std::int64_t, std::int64_t>> chunkRange(std::int64_t n, std::int64_t size);
    // The French text of a call that brought no answer.
    static std::string failureText(const WSVelmoraSoapBindingResponse::Error& error);
    // The extension the service is told: the first file's ("wav", or "spx" for Speex).
    std::string soundFileExtension() const;

    void operationCompletedWithResponse(WSVelmoraSoapBindingOperation& operation,
                                        const WSVelmoraSoapBindingResponse& response) override;

private:
    std::string siteAddress_;
    WSVelmoraHelperDelegate* delegate_;
    WSVelmoraMessage header_;
    std::string guidFile_;
    std::string masterJobId_;
    std::vector<std::string> filesToUpload_;
    std::optional<PossibleDate> pDate_;
    std::optional<ModelDocument> mDocument_;
    std::int32_t chunkID_ = -1;
    std::int32_t nbChunk_ = 0;
    std::int32_t nbTry_ = 0;
    bool packetReceived_ = false;
    std::string clientHash_;
    bool readFailed_ = false;
    bool uploadReported_ = false;
    std::vector<std::shared_ptr<WSVelmoraSoapBindingOperation>> inFlight_;
    // One connection for all the calls of the upload: a TLS handshake per chunk would cost more
    // than the chunk.
    std::shared_ptr<HttpSession> session_;
    // Tells the calls posted for later whether this driver still exists.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    void call(WSVelmoraMessage parameters);
    void start(const WSVelmoraMessage& parameters);
    void reportUpload(bool ok);
    void fail(const std::string& message, const std::string& method);
};

} // namespace orvaneh
