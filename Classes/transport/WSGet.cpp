#include "Classes/transport/WSGet.h"

#include "Classes/core/StringExtension.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/screens/Notification.h"
#include "Classes/transport/WSCommunication.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/notifications/NotificationCenter.h"

namespace orvaneh {

namespace {

constexpr const char* kDirectoryPath = "/Orvane.WebServices/Export/GetDirectory";
constexpr const char* kCataloguePath = "/Orvane.WebServices/Export/GetCatalogue?directoryName=";

void alert(const std::string& message) {
    Tools::displayAlertViewWithMessage(message, "");
}

void postDownLoadFinished() {
    NotificationCenter::defaultCenter().post("DownLoadFinished");
}

} // namespace

WSGet::WSGet() : WSGet(0, nullptr) {}

WSGet::WSGet(std::int32_t idDictee, WSResultDelegate* delegate)
    : CommunicationObject(idDictee), delegateGet_(delegate), wsCommunication_(WSCommunication::create()) {}

WSGet::~WSGet() {
    wsCommunication_->cancel();
}

void WSGet::makeRequestForUrl(const std::string& path, const std::string& text) {
    wsCommunication_->setDelegate({
        [this](const std::string& answer) { getDataRequest(answer); },
        [this](const std::string& failure) { erreurRequest(failure); },
    });
    SiteModel site = siteRequest().selectDefaultSite();
    if (!site.exists()) {
        wsCommunication_->failLater(
            localized("SITE_LIST_VIEW_SELECT_THE_SITE_TO_IMPORT",
                      "Veuillez sélectionner un site pour pouvoir importer votre workflow"));
        return;
    }
    if (!hasServerAddress(site)) {
        wsCommunication_->failLater(noServerAddressMessage(site));
        return;
    }
    auto& request = wsCommunication_->request();
    request.url = webServiceURL(site, path) + text;
    request.body.clear();
    wsCommunication_->httpRequestAsyncWithAuthenticate(site.login, site.mdp);
}

void WSGet::getServices() {
    makeRequestForUrl(kDirectoryPath, "");
    askedMethod_ = "GetDirectory";
}

void WSGet::getCatalogueForService(const std::string& name) {
    makeRequestForUrl(kCataloguePath, name);
    askedMethod_ = "GetCatalogue";
}

void WSGet::requestDidFinish(const WSResult& result) {
    if (delegateGet_ != nullptr) {
        delegateGet_->requestDidFinish(result);
    }
}

void WSGet::errorRequest(const WSResult& result) {
    if (delegateGet_ != nullptr) {
        delegateGet_->errorRequest(result);
    }
}

// The delegate and the "DownLoadFinished" observers may release this object: only locals are
// used after the first of them has run.
void WSGet::getDataRequest(const std::string& text) {
    WSResultDelegate* delegate = delegateGet_;
    auto parsed = Tools::parseJSON(text);
    if (!parsed || !parsed->is_object()) {
        std::string bytes = wsCommunication_->request().data;
        Log::write("Requête WS : réponse illisible de " + wsCommunication_->request().url);
        Notification::pushNotification(
            localized("WSGET_REQUEST_ERROR", "Une erreur s'est produite lors de la requête."));
        if (delegate != nullptr) {
            delegate->data(bytes);
        }
        postDownLoadFinished();
        return;
    }
    WSResult result;
    result.dico = std::move(*parsed);
    result.idDict = idDictee_;
    if (!askedMethod_.empty() && result.getMethodName() != askedMethod_) {
        // Taken for what was asked, a directory list would be asked for again and again, and
        // a catalogue would replace the workflow of another directory.
        const std::string refusal =
            WSCommunication::unexpectedMethodText(result.getMethodName(), askedMethod_);
        Log::write("Requête WS " + wsCommunication_->request().url + " : " + refusal);
        WSResult failure;
        failure.idDict = idDictee_;
        failure.setMethodName(askedMethod_);
        failure.setResult(refusal);
        if (delegate != nullptr) {
            delegate->errorRequest(failure);
        }
        postDownLoadFinished();
        return;
    }
    std::string importFailure;
    if (result.getMethodName() == "GetCatalogue" && !importCatalogue(result, importFailure) &&
        !importFailure.empty()) {
        // A catalogue that did not import is a failed fetch, not a finished one.
        if (delegate != nullptr) {
            WSResult failure;
            failure.idDict = result.idDict;
            failure.setMethodName("GetCatalogue");
            failure.setResult(importFailure);
            delegate->errorRequest(failure);
        }
        return;
    }
    if (delegate != nullptr) {
        delegate->requestDidFinish(result);
    }
}

void WSGet::erreurRequest(const std::string& text) {
    WSResult result;
    result.setResult(text);
    result.idDict = idDictee_;
    errorRequest(result);
}

std::string WSGet::importErrorText() {
    return localized("WSGET_IMPORT_ERROR",
                     "Une erreur est survenue lors de l'importation, veuillez recommencer.");
}

bool WSGet::downloadCatalogueFinished(const WSResult& result) {
    std::string failure;
    return importCatalogue(result, failure);
}

bool WSGet::importCatalogue(const WSResult& result, std::string& failure) {
    std::string catalogue = result.getResultText();
    if (catalogue.empty()) {
        alert(localized("WSGET_NO_CATALOG_ERROR", "Il n'y a pas de catalogue pour ce service"));
        postDownLoadFinished();
        return false;
    }
    // From memory: parsed first, so a catalogue that does not parse leaves the directory as it was.
    std::string reason;
    bool imported = Entity::importCatalogue(StringExtension::replaceCharactersInValidXML(catalogue), &reason);
    if (imported) {
        alert(localized("kMssFinImportation", "Fin de l'importation"));
    } else {
        failure = importErrorText() + (reason.empty() ? "" : " (" + reason + ")");
        if (delegateGet_ == nullptr) {
            // With a delegate the failure is its to tell (errorRequest), once.
            alert(failure);
        }
    }
    postDownLoadFinished();
    return imported;
}

} // namespace orvaneh
