#include "Classes/transport/WSPost.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Classes/packaging/XMLForThirdParty.h"
#include "Classes/packaging/ZipException.h"
#include "Classes/packaging/ZipMaker.h"
#include "Classes/transport/WSCommunication.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/RunLoop.h"

namespace orvaneh {

namespace {

constexpr const char* kPostPath = "/Orvane.WebServices/Import/PostFile";
constexpr const char* kTranscriptionServiceTypist = "Velmora";

std::string serverError() {
    return localized("WSPOST_SERVER_ERROR", "Erreur interne du serveur");
}

} // namespace

WSPost::WSPost(std::int32_t idDictee, WSResultDelegate* delegatePst)
    : CommunicationObject(idDictee), delegatePst_(delegatePst), wsCommunication_(WSCommunication::create()) {}

WSPost::~WSPost() {
    wsCommunication_->cancel();
}

void WSPost::postDictations() {
    if (!dicteeM_) {
        endAttempt();
        return;
    }
    if (ConfigurationManager::shouldSendToVelmora() && dicteeM_->secretaire == kTranscriptionServiceTypist) {
        // The transcription service's upload is not built yet: the dictation stays in the
        // outbox and the user is told why.
        failOnMainLoop(localized("WSPOST_VELMORA_UNAVAILABLE",
                                 "L'envoi vers le service de transcription n'est pas encore disponible ; "
                                 "la dictée reste dans la boîte d'envoi."));
        return;
    }
    postDictationsWSLumetra();
}

void WSPost::postDictationsWSLumetra() {
    XMLForThirdParty descriptor;
    std::string bytes = generateXML(descriptor);
    std::string failure;
    bool zip =
        ConfigurationManager::shouldCompresseFilesToSend() && ConfigurationManager::getNumVersionWS() > 1.0f;
    if (!getFilesToUpload(bytes, failure) || (zip && !createZip(failure))) {
        if (failure.empty()) {
            // Stopped: the "EnvoiClose" that stopped it has already ended the attempt.
            Log::write("Envoi WS de la dictée " + std::to_string(idDictee_) + " interrompu");
        } else {
            failOnMainLoop(failure);
        }
        return;
    }
    postRequest();
}

bool WSPost::getFilesToUpload(const std::string& descriptor, std::string& failure) {
    failure.clear();
    if (jobNameRefused()) {
        failure = jobNameRefusal();
        return false;
    }
    if (nameFILE_.empty()) {
        // Every file of the job is named after it; without one nothing can be prepared safely.
        failure = localized("WSPOST_NO_JOB_NAME",
                            "La dictée n'a pas de nom de job ; elle ne peut pas être envoyée.");
        return false;
    }
    if (!prepareFilesToUpload()) {
        if (!stopped()) {
            failure =
                localized("WSPOST_PREPARATION_ERROR",
                          "Les fichiers de la dictée n'ont pas pu être préparés ; l'envoi sera réessayé.");
        }
        return false;
    }
    if (filesToUpload_.empty()) {
        failure = localized("WSPOST_NO_FILE", "Aucun fichier à envoyer pour cette dictée.");
        return false;
    }
    if (!addDescriptor(descriptor)) {
        failure = localized("WSPOST_DESCRIPTOR_ERROR",
                            "Le fichier XML de la dictée n'a pas pu être écrit ; l'envoi sera réessayé.");
        return false;
    }
    return true;
}

bool WSPost::createZip(std::string& failure) {
    try {
        zipPath_ = ZipMaker::createZipFiles(filesToUpload_, nameFILE_);
        zipped_ = true;
        return true;
    } catch (const ZipException& error) {
        Log::write("Envoi WS : archive non créée, " + error.reason());
        failure = error.reason();
        return false;
    }
}

void WSPost::postRequest() {
    SiteModel site = getServerToAsk();
    if (!site.exists()) {
        failOnMainLoop(localized("NON_EXISTANT_SITE",
                                 "Le site configuré pour cette dictée n'existe plus. Veuillez soit : "
                                 "\n°Désactiver l'option 'Lier les dictées au site' \n°Sauvegarder cette "
                                 "dictée avec un autre site par défaut."));
        return;
    }
    if (!hasServerAddress(site)) {
        failOnMainLoop(noServerAddressMessage(site));
        return;
    }
    WSCommunication::Attachments entries;
    if (zipped_) {
        entries.emplace_back(zipPath_, zipPath_);
    } else {
        for (const auto& file : filesToUpload_) {
            entries.emplace_back(file, file);
        }
    }
    auto body = WSCommunication::addAttachments(entries);
    if (!body) {
        failOnMainLoop(localized("WSPOST_FILE_ERROR",
                                 "Un fichier de la dictée n'a pas pu être lu ; l'envoi sera réessayé."));
        return;
    }
    // No connection is in flight yet, and the post below orders these writes before the start.
    auto& request = wsCommunication_->request();
    request.url = webServiceURL(site, kPostPath);
    request.body = std::move(*body);
    Log::write("Envoi WS de la dictée " + std::to_string(idDictee_) + " vers " + request.url);
    onMainLoop([login = site.login, password = site.mdp](WSPost& self) {
        self.wsCommunication_->setDelegate({
            [&self](const std::string& text) { self.getDataRequest(text); },
            [&self](const std::string& text) { self.erreurRequest(text); },
        });
        self.wsCommunication_->postRequestAsyncWithAuthenticate(login, password);
    });
}

void WSPost::getDataRequest(const std::string& text) {
    auto keepAlive = weak_from_this().lock(); // the delegate may release this object
    auto parsed = Tools::parseJSON(text);
    if (!parsed || !parsed->is_object()) {
        erreurRequest(serverError());
        return;
    }
    WSResult result;
    result.dico = std::move(*parsed);
    result.idDict = idDictee_;
    if (result.getMethodName() != "PostFile") {
        // The answer to another question confirms nothing: the dictation stays pending and
        // the user is told why.
        erreurRequest(WSCommunication::unexpectedMethodText(result.getMethodName(), "PostFile"));
        return;
    }
    if (result.getResultText() != "Fini") {
        std::string reason = result.getReason();
        erreurRequest(reason.empty() ? serverError() : reason);
        return;
    }
    finalizeUploading();
    if (delegatePst_ != nullptr) {
        delegatePst_->requestDidFinish(result);
    }
}

void WSPost::erreurRequest(const std::string& text) {
    auto keepAlive = weak_from_this().lock();
    Log::write("Envoi WS de la dictée " + std::to_string(idDictee_) + " échoué : " + text);
    // The next attempt prepares the job again; the copies would only take room meanwhile.
    if (!nameFILE_.empty()) {
        removeTempFile();
    }
    if (delegatePst_ != nullptr) {
        delegatePst_->errorRequest(resultWithText(text));
    }
    endAttempt();
}

void WSPost::finalizeUploading() {
    if (!nameFILE_.empty()) {
        removeTempFile();
    }
    if (markSent()) {
        Log::write("Dictée " + std::to_string(idDictee_) + " envoyée par WS");
    }
    endAttempt();
}

void WSPost::onMainLoop(std::function<void(WSPost&)> task) {
    RunLoop::main().post([self = shared_from_this(), task = std::move(task)] { task(*self); });
}

void WSPost::failOnMainLoop(const std::string& text) {
    onMainLoop([text](WSPost& self) { self.erreurRequest(text); });
}

WSResult WSPost::resultWithText(const std::string& text) const {
    WSResult result;
    result.setResult(text);
    result.idDict = idDictee_;
    return result;
}

} // namespace orvaneh
