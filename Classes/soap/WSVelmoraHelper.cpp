#include "Classes/soap/WSVelmoraHelper.h"

#include "Classes/core/StringExtension.h"
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraHelperDelegate.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"
#include "Classes/soap/WSVelmoraSoapBindingOperation.h"
#include "Classes/workflow/ParserXML.h"
#include "Platform/crypto/Base64.h"
#include "Platform/crypto/Digest.h"
#include "Platform/log/Log.h"
#include "Platform/network/HttpSession.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orvaneh {

namespace {

// Chunk calls are many (1,760 for an hour of dictation): their traffic would flood the log,
// so they are logged as one line now and then instead.
constexpr std::int32_t kChunksPerLogLine = 100;

} // namespace

WSVelmoraHelper::WSVelmoraHelper(std::string siteAddress, WSVelmoraHelperDelegate* delegate)
    : siteAddress_(std::move(siteAddress)), delegate_(delegate), header_(WSVelmoraMessage::securityHeader()),
      session_(std::make_shared<HttpSession>()) {}

WSVelmoraHelper::~WSVelmoraHelper() {
    for (auto& operation : inFlight_) {
        operation->cancel();
    }
}

std::int64_t WSVelmoraHelper::numberOfChunks(std::int64_t size) {
    return size <= 0 ? 0 : (size + kChunkSize - 1) / kChunkSize;
}

std::optional<std::pair<std::int64_t, std::int64_t>> WSVelmoraHelper::chunkRange(std::int64_t n,
                                                                                 std::int64_t size) {
    const std::int64_t offset = n * kChunkSize;
    if (n < 0 || offset >= size) {
        return std::nullopt;
    }
    return std::make_pair(offset, std::min(kChunkSize, size - offset));
}

std::string WSVelmoraHelper::failureText(const WSVelmoraSoapBindingResponse::Error& error) {
    if (error.domain == WSVelmoraSoapBindingResponse::kHttpDomain) {
        if (error.code == 401 || error.code == 403) {
            return "L'accès au service de transcription est refusé (erreur " + std::to_string(error.code) +
                   "). Veuillez vérifier l'identifiant et le mot de passe du site.";
        }
        if (error.code == 404) {
            return "Le service de transcription est introuvable à cette adresse (erreur 404). Veuillez "
                   "vérifier "
                   "l'adresse du site.";
        }
        if (error.code >= 500) {
            return "Erreur interne du service de transcription (erreur " + std::to_string(error.code) + ").";
        }
        if (error.code >= 400) {
            return "Le service de transcription a refusé la requête (erreur " + std::to_string(error.code) +
                   ").";
        }
        return "Le service de transcription a répondu autre chose qu'un message SOAP (" +
               error.description.substr(error.description.find(':') + 1) + ").";
    }
    if (error.domain == WSVelmoraSoapBindingResponse::kXmlDomain) {
        return "La réponse du service de transcription est illisible.";
    }
    return "Échec de la communication avec le service de transcription : " + error.description;
}

std::string WSVelmoraHelper::soundFileExtension() const {
    if (filesToUpload_.empty()) {
        return "wav";
    }
    std::string extension =
        StringExtension::lowercased(std::filesystem::path(filesToUpload_.front()).extension().string());
    return extension == ".spx" ? "spx" : "wav";
}

void WSVelmoraHelper::call(WSVelmoraMessage parameters) {
    // Started once the task that called it is over: the previous call's connection is then
    // released into the session, where this call finds it open.
    RunLoop::current().post([this, alive = std::weak_ptr<bool>(alive_), parameters = std::move(parameters)] {
        if (alive.lock()) {
            start(parameters);
        }
    });
}

void WSVelmoraHelper::start(const WSVelmoraMessage& parameters) {
    auto binding = WSVelmora::soapBinding(siteAddress_);
    binding->setSession(session_);
    binding->setLogXMLInOut(parameters.name() != "FileUploadSendChunk");
    binding->setAuthUsername(header_.text("Username").value_or(""));
    binding->setAuthPassword(header_.text("Password").value_or(""));
    auto operation = binding->asyncUsingParameters(parameters, header_, this);
    if (!operation->completed()) {
        inFlight_.push_back(std::move(operation));
    }
}

void WSVelmoraHelper::authenticateSessionWithUsername(const std::string& username,
                                                      const std::string& password) {
    Log::registerSecret(password);
    header_.setText("Username", username);
    header_.setText("Password", password);
    call(*WSVelmoraMessage::request("Authenticate"));
}

void WSVelmoraHelper::getModelList() {
    call(*WSVelmoraMessage::request("GetModelList"));
}

void WSVelmoraHelper::getPossibleDateOfReturnFromDate(WallTime date) {
    auto request = *WSVelmoraMessage::request("GetPossibleDatesOfReturn");
    request.set("senddate", SoapValue::date(date));
    call(std::move(request));
}

void WSVelmoraHelper::uploadingFileInitXMLFile(const std::string& xml) {
    auto request = *WSVelmoraMessage::request("FileUploadLumetraInit");
    request.setText("masterJobId", masterJobId_);
    request.setText("xmlfile", xml);
    request.setText("soundfileextension", soundFileExtension());
    Log::write("Service de transcription : envoi du travail " + masterJobId_ + " commencé");
    call(std::move(request));
}

void WSVelmoraHelper::uploadingFileSendChunkWithData(std::string bytes) {
    auto request = *WSVelmoraMessage::request("FileUploadSendChunk");
    request.setText("fileID", guidFile_);
    request.set("ChunkID", SoapValue::number(chunkID_));
    request.set("Data", SoapValue::binary(std::move(bytes)));
    call(std::move(request));
}

void WSVelmoraHelper::uploadingFileFinished() {
    const std::string hash = getClientHash();
    if (hash.empty()) {
        fail("Le fichier de la dictée n'a pas pu être relu pour son empreinte ; l'envoi sera réessayé.",
             "FileUploadLumetraFinished");
        return;
    }
    auto request = *WSVelmoraMessage::request("FileUploadLumetraFinished");
    request.setText("masterJobId", masterJobId_);
    request.setText("ClientHash", hash);
    call(std::move(request));
}

std::string WSVelmoraHelper::getClientHash() {
    if (clientHash_.empty() && !filesToUpload_.empty()) {
        clientHash_ = clientHashOfFile(filesToUpload_.front());
    }
    return clientHash_;
}

std::string WSVelmoraHelper::clientHashOfFile(const std::string& file) {
    auto digest = Digest::sha1OfFile(file);
    return digest ? Base64::encode(std::span<const std::uint8_t>(digest->data(), digest->size()))
                  : std::string();
}

std::optional<std::string> WSVelmoraHelper::getDataForChunk() {
    if (filesToUpload_.empty()) {
        readFailed_ = true;
        return std::nullopt;
    }
    const std::string& file = filesToUpload_.front();
    std::error_code error;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file, error));
    if (error) {
        readFailed_ = true;
        return std::nullopt;
    }
    if (chunkID_ == -1) {
        const std::int64_t chunks = numberOfChunks(size);
        if (chunks > INT32_MAX) {
            readFailed_ = true;
            return std::nullopt;
        }
        nbChunk_ = static_cast<std::int32_t>(chunks);
        chunkID_ = 0;
    } else if (packetReceived_) {
        if (chunkID_ >= nbChunk_ - 1) {
            return std::nullopt; // the last chunk was accepted
        }
        ++chunkID_;
        nbTry_ = 0;
    } else {
        // Refused, the last chunk included: sent again like any other.
        if (nbTry_ >= kMaxRetries) {
            return std::nullopt;
        }
        ++nbTry_;
    }
    auto range = chunkRange(chunkID_, size);
    if (!range) {
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(range->second), '\0');
    in.seekg(range->first);
    in.read(bytes.data(), range->second);
    if (!in || in.gcount() != range->second) {
        readFailed_ = true;
        return std::nullopt;
    }
    return bytes;
}

void WSVelmoraHelper::uploadNextChunk() {
    if (auto chunk = getDataForChunk()) {
        uploadingFileSendChunkWithData(std::move(*chunk));
        return;
    }
    if (readFailed_) {
        fail("Le fichier de la dictée n'a pas pu être lu ; l'envoi sera réessayé.", "FileUploadSendChunk");
        return;
    }
    if (chunkID_ >= 0 && nbChunk_ > 0 && !packetReceived_) {
        // Refused after every retry: the service does not hold the file, so finishing would
        // only ask it to accept a partial one.
        Log::write("Service de transcription : le morceau " + std::to_string(chunkID_) + " a été refusé " +
                   std::to_string(nbTry_ + 1) + " fois, envoi abandonné");
        reportUpload(false);
        return;
    }
    uploadingFileFinished();
}

void WSVelmoraHelper::reportUpload(bool ok) {
    if (uploadReported_) {
        return;
    }
    uploadReported_ = true;
    if (delegate_ != nullptr) {
        delegate_->requestUploadFinishDidFinishedWithReturnValue(ok);
    }
}

void WSVelmoraHelper::fail(const std::string& message, const std::string& method) {
    Log::write("Service de transcription, échec de " + (method.empty() ? std::string("l'appel") : method) +
               " : " + message);
    if (delegate_ != nullptr) {
        delegate_->requestDidFailed(message, method);
    }
}

void WSVelmoraHelper::operationCompletedWithResponse(WSVelmoraSoapBindingOperation& operation,
                                                     const WSVelmoraSoapBindingResponse& response) {
    auto keepAlive = operation.shared_from_this();
    std::erase_if(inFlight_, [&](const auto& entry) { return entry.get() == &operation; });
    const std::string name = operation.name();
    // A fault anywhere in the answer wins over a response beside it: the service contradicts
    // itself, and the dictation is better sent again than marked sent on a doubtful answer.
    if (const auto* fault = response.firstFault()) {
        std::string text = fault->faultstring.value_or("");
        fail(text.empty() ? "Le service de transcription a refusé la demande (" + name + ")."
                          : "Le service de transcription a répondu : " + text,
             fault->faultactor.value_or(name));
        return;
    }
    // One response per call: a second one in the same answer would start a second sequence.
    if (const auto* first = response.firstMessage()) {
        const auto& message = *first;
        if (name == "Authenticate") {
            auto token = message.text("AuthenticateResult");
            if (!token || token->empty()) {
                fail("Le service de transcription n'a pas ouvert de session.", name);
                return;
            }
            Log::registerSecret(*token);
            header_.setText("AuthenticatedToken", *token);
            if (delegate_ != nullptr) {
                delegate_->requestAuthenticateDidFinished();
            }
        } else if (name == "FileUploadLumetraInit") {
            guidFile_ = message.text("FileUploadLumetraInitResult").value_or("");
            if (guidFile_.empty()) {
                fail("Le service de transcription n'a pas ouvert l'envoi du fichier.", name);
                return;
            }
            uploadNextChunk();
        } else if (name == "FileUploadSendChunk") {
            packetReceived_ = message.boolean("FileUploadSendChunkResult").value_or(false);
            if (!packetReceived_) {
                Log::write("Service de transcription : morceau " + std::to_string(chunkID_) + " refusé");
            } else if (delegate_ != nullptr) {
                delegate_->uploadProgress(chunkID_ + 1, nbChunk_);
            }
            if (packetReceived_ && ((chunkID_ + 1) % kChunksPerLogLine == 0 || chunkID_ + 1 == nbChunk_)) {
                Log::write("Service de transcription : " + std::to_string(chunkID_ + 1) + " morceau(x) sur " +
                           std::to_string(nbChunk_) + " envoyé(s)");
            }
            uploadNextChunk();
        } else if (name == "FileUploadLumetraFinished") {
            const bool ok = message.boolean("FileUploadLumetraFinishedResult").value_or(false);
            Log::write(std::string("Service de transcription : fin de l'envoi ") +
                       (ok ? "confirmée" : "refusée"));
            reportUpload(ok);
        } else if (name == "GetModelList") {
            auto models =
                ParserXML::parseFromXML(message.text("GetModelListResult").value_or(""), ModelDocument{});
            if (delegate_ != nullptr) {
                delegate_->requestGetModelListDidFinishedWithReturnValue(models);
            }
        } else if (name == "GetPossibleDatesOfReturn") {
            auto dates = ParserXML::parseFromXML(message.text("GetPossibleDatesOfReturnResult").value_or(""),
                                                 PossibleDate{});
            if (delegate_ != nullptr) {
                delegate_->requestGetPossibleDatesDidFinishedWithReturnValue(dates);
            }
        }
    }
    if (response.error) {
        fail(failureText(*response.error), "");
        return;
    }
    if (response.bodyParts.empty()) {
        // A well-formed answer without the expected response: the sequence cannot go on.
        fail("Le service de transcription n'a pas répondu à la demande (" + name + ").", name);
    }
}

} // namespace orvaneh
