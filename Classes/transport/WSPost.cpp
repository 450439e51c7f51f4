#include "Classes/transport/WSPost.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/Tools.h"
#include "Classes/packaging/XMLForThirdParty.h"
#include "Classes/packaging/XMLVelmora.h"
#include "Classes/packaging/ZipException.h"
#include "Classes/packaging/ZipMaker.h"
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraHelper.h"
#include "Classes/transport/WSCommunication.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/Clock.h"
#include "Platform/runloop/RunLoop.h"

namespace orvaneh {

namespace {

constexpr const char* kPostPath = "/Orvane.WebServices/Import/PostFile";

std::string serverError() {
    return localized("WSPOST_SERVER_ERROR", "Erreur interne du serveur");
}

} // namespace

WSPost::WSPost(std::int32_t idDictee, WSResultDelegate* delegatePst)
    : CommunicationObject(idDictee), delegatePst_(delegatePst), wsCommunication_(WSCommunication::create()) {}

WSPost::~WSPost() {
    wsCommunication_->cancel();
}

bool WSPost::routesToTranscriptionService(const DicteeModel& dictee, const SiteModel& destination) {
    return (ConfigurationManager::shouldSendToVelmora() &&
            dictee.secretaire == kTranscriptionServiceTypist) ||
           destination.typeSite == SiteType::TranscriptionService;
}

std::optional<ModelDocument> WSPost::chooseModel(const std::vector<ModelDocument>& models,
                                                 const std::string& worktype) {
    if (models.empty()) {
        return std::nullopt;
    }
    const std::string wanted = StringExtension::lowercased(worktype);
    for (const auto& model : models) {
        if (!wanted.empty() && (StringExtension::lowercased(model.ModelName) == wanted ||
                                StringExtension::lowercased(model.IdModel) == wanted)) {
            return model;
        }
    }
    return models.front();
}

std::optional<PossibleDate> WSPost::chooseDate(const std::vector<PossibleDate>& dates) {
    for (const auto& date : dates) {
        if (!date.isHeader && !date.DateTimeReturn.empty()) {
            return date;
        }
    }
    return std::nullopt;
}

void WSPost::postDictations() {
    if (!dicteeM_) {
        endAttempt();
        return;
    }
    if (routesToTranscriptionService(*dicteeM_, getServerToAsk())) {
        postDictationsWSVelmora();
        return;
    }
    postDictationsWSLumetra();
}

void WSPost::postDictationsWSVelmora() {
    XMLVelmora descriptor;
    generateXML(descriptor); // names the job; its text is written once the date and model are known
    std::string failure;
    if (!prepareJobFiles(failure)) {
        if (failure.empty()) {
            Log::write("Envoi au service de transcription de la dictée " + std::to_string(idDictee_) +
                       " interrompu");
        } else {
            failOnMainLoop(failure);
        }
        return;
    }
    // The digest reads the whole recording: here, not on the main run loop.
    clientHash_ = WSVelmoraHelper::clientHashOfFile(filesToUpload_.front());
    if (clientHash_.empty()) {
        failOnMainLoop(
            localized("WSPOST_PREPARATION_ERROR",
                      "Les fichiers de la dictée n'ont pas pu être préparés ; l'envoi sera réessayé."));
        return;
    }
    onMainLoop([](WSPost& self) { self.startAuthentication(); });
}

std::string WSPost::generateXMLForVelmora(const PossibleDate* date, const ModelDocument* model) const {
    if (!dicteeM_) {
        return {};
    }
    XMLVelmora descriptor;
    descriptor.setDictee(*dicteeM_, date, model);
    return descriptor.SerializeObject();
}

void WSPost::startAuthentication() {
    if (attemptEnded()) {
        return;
    }
    SiteModel site = getServerVelmoraToAsk();
    if (site.idSite < 1) {
        erreurRequest(localized("WSPOST_AUTHENTICATION_ERROR", "Il n'y a pas de site Velmora de défini."));
        return;
    }
    if (!hasServerAddress(site)) {
        erreurRequest(noServerAddressMessage(site));
        return;
    }
    Log::write("Envoi de la dictée " + std::to_string(idDictee_) + " au service de transcription " +
               WSVelmora::endpointForAddress(site.address));
    keepAlive_ = shared_from_this();
    helper_ = std::make_shared<WSVelmoraHelper>(site.address, this);
    helper_->setClientHash(clientHash_);
    helper_->authenticateSessionWithUsername(site.login, site.mdp);
}

void WSPost::requestAuthenticateDidFinished() {
    if (attemptEnded() || !helper_) {
        return;
    }
    isAuthenticated_ = true;
    helper_->getModelList();
    helper_->getPossibleDateOfReturnFromDate(Clock::current()->wallNow());
}

void WSPost::requestGetModelListDidFinishedWithReturnValue(const std::vector<ModelDocument>& models) {
    if (attemptEnded()) {
        return;
    }
    models_ = models;
    WSResult result;
    result.setMethodName("GetModelList");
    Json list = Json::array();
    for (const auto& model : models) {
        list.push_back({{"IdModel", model.IdModel}, {"ModelName", model.ModelName}});
    }
    result.setResult(list);
    result.idDict = idDictee_;
    if (delegatePst_ != nullptr) {
        delegatePst_->requestDidFinish(result);
    }
    startUploadWhenChosen();
}

void WSPost::requestGetPossibleDatesDidFinishedWithReturnValue(const std::vector<PossibleDate>& dates) {
    if (attemptEnded()) {
        return;
    }
    dates_ = dates;
    WSResult result;
    result.setMethodName("GetPossibleDatesOfReturn");
    Json list = Json::array();
    for (const auto& date : dates) {
        if (!date.isHeader) {
            list.push_back(date.DateTimeReturn);
        }
    }
    result.setResult(list);
    result.idDict = idDictee_;
    if (delegatePst_ != nullptr) {
        delegatePst_->requestDidFinish(result);
    }
    startUploadWhenChosen();
}

void WSPost::startUploadWhenChosen() {
    if (!models_ || !dates_ || uploadStarted_ || !helper_ || attemptEnded()) {
        return;
    }
    auto date = chooseDate(*dates_);
    if (!date) {
        erreurRequest(
            localized("WSPOST_VELMORA_NO_DATE",
                      "Le service de transcription ne propose aucune date de retour ; la dictée reste "
                      "dans la boîte d'envoi."));
        return;
    }
    auto model = chooseModel(*models_, dicteeM_ ? dicteeM_->worktype : std::string());
    uploadStarted_ = true;
    const std::string xml = generateXMLForVelmora(&*date, model ? &*model : nullptr);
    if (!addDescriptor(xml)) {
        erreurRequest(
            localized("WSPOST_DESCRIPTOR_ERROR",
                      "Le fichier XML de la dictée n'a pas pu être écrit ; l'envoi sera réessayé."));
        return;
    }
    Log::write("Dictée " + std::to_string(idDictee_) + " : retour demandé pour le " + date->DateTimeReturn +
               (model ? ", modèle « " + model->ModelName + " »" : std::string(", sans modèle")));
    helper_->setPDate(date);
    helper_->setMDocument(model);
    helper_->setMasterJobId(dicteeM_ ? dicteeM_->masterJobId : nameFILE_);
    helper_->setFilesToUpload(filesToUpload_);
    helper_->uploadingFileInitXMLFile(xml);
}

void WSPost::requestUploadFinishDidFinishedWithReturnValue(bool ok) {
    if (attemptEnded()) {
        return;
    }
    if (!ok) {
        erreurRequest(
            localized("WSPOST_VELMORA_REFUSED",
                      "Le service de transcription n'a pas accepté le fichier de la dictée ; l'envoi "
                      "sera réessayé."));
        return;
    }
    WSResult result;
    result.setMethodName("SendDicteeVelmoraFinished");
    result.setResult("1");
    result.idDict = idDictee_;
    finalizeUploading();
    releaseHelperLater();
    if (delegatePst_ != nullptr) {
        delegatePst_->requestDidFinish(result);
    }
}

void WSPost::requestDidFailed(const std::string& message, const std::string& method) {
    if (attemptEnded()) {
        return;
    }
    Log::write("Service de transcription : " + (method.empty() ? std::string("échec") : method) + " : " +
               message);
    erreurRequest(message);
}

void WSPost::uploadProgress(std::int32_t sent, std::int32_t total) {
    NotificationCenter::defaultCenter().post(
        "EnvoiProgress", Json{{"idDictee", idDictee_}, {"partie", sent}, {"parties", total}});
}

void WSPost::releaseHelperLater() {
    if (!helper_ && !keepAlive_) {
        return;
    }
    // The driver may be the caller: it goes once the current callback is over.
    RunLoop::main().post([helper = std::move(helper_), self = std::move(keepAlive_)]() mutable {
        helper.reset();
        self.reset();
    });
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
    if (!prepareJobFiles(failure)) {
        return false;
    }
    if (!addDescriptor(descriptor)) {
        failure = localized("WSPOST_DESCRIPTOR_ERROR",
                            "Le fichier XML de la dictée n'a pas pu être écrit ; l'envoi sera réessayé.");
        return false;
    }
    return true;
}

bool WSPost::prepareJobFiles(std::string& failure) {
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
    releaseHelperLater();
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
