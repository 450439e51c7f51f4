#include "Classes/casefile/DossierListeViewController.h"

#include "Classes/casefile/WSFendraExpert.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

namespace orvaneh {

DossierListeViewController::DossierListeViewController(std::string searchText)
    : searchText_(std::move(searchText)) {}

std::shared_ptr<DossierListeViewController> DossierListeViewController::opened(const std::string& searchText,
                                                                               Delegate delegate) {
    auto list = std::make_shared<DossierListeViewController>(searchText);
    list->setDelegateLD(std::move(delegate));
    list->viewDidLoad();
    return list;
}

DossierListeViewController::~DossierListeViewController() {
    if (waiting_) {
        UserInterface::shared().closeWait();
    }
}

std::string DossierListeViewController::title() const {
    return localized("DOSSIER_LISTE_VIEW_TITLE", "Dossiers");
}

std::string DossierListeViewController::searchPlaceholder() {
    return localized("DOSSIER_LISTE_VIEW_NUMERO_DESIGNATION", "Numéro ou désignation");
}

std::string DossierListeViewController::emptySearchText() {
    return localized("DOSSIER_LISTE_VIEW_AUCUN_RESULTAT", "Votre recherche n'a produit aucun résultat.");
}

void DossierListeViewController::viewDidLoad() {
    load(searchText_);
}

void DossierListeViewController::search(const std::string& text) {
    searchText_ = text;
    load(text);
}

void DossierListeViewController::load(const std::string& text) {
    const auto host = WSFendraExpert::normalizeHost(UserDefaultManager::getStringForKey("host").value_or(""));
    if (host.host.empty()) {
        const std::string reason =
            host.error.empty()
                ? std::string("Aucun serveur de dossiers n'est enregistré : connectez-vous d'abord.")
                : host.error;
        UserInterface::shared().showAlert("", reason);
        finishLoad(false, reason);
        return;
    }
    requestIsSearch_ = !text.empty();
    lastError_.clear();
    // One client per request: a re-login replays exactly this one.
    client_ = std::make_unique<WSFendraExpert>(static_cast<WSFendraExpertDelegate*>(this));
    waiting_ = true;
    progress_ = 0;
    UserInterface::shared().showWait(true);
    changed();
    if (requestIsSearch_) {
        client_->httpRequestAsync(WSFendraExpert::searchUrl(host.host, text));
    } else {
        client_->httpRequestAsync(WSFendraExpert::recentUrl(host.host));
    }
}

void DossierListeViewController::getDataRequest(const std::string& bytes) {
    std::vector<Dossier> dossiers;
    if (!Dossier::listFromAnswer(WSFendraExpert::getJSONstring(bytes), dossiers)) {
        const std::string reason = "La réponse du serveur de dossiers est illisible.";
        UserInterface::shared().showAlert("", reason);
        finishLoad(false, reason);
        return;
    }
    searching_ = requestIsSearch_;
    (searching_ ? searchList_ : mainList_) = std::move(dossiers);
    finishLoad(true, {});
}

void DossierListeViewController::erreurRequest(const std::string& text) {
    finishLoad(false, text);
}

void DossierListeViewController::progressBar(double fraction) {
    progress_ = fraction;
    UserInterface::shared().setWaitProgress(fraction);
    changed();
}

void DossierListeViewController::finishLoad(bool ok, const std::string& error) {
    if (waiting_) {
        waiting_ = false;
        UserInterface::shared().closeWait();
    }
    lastError_ = error;
    changed();
    if (loadCallback_) {
        loadCallback_(ok, error);
    }
}

std::vector<DossierListeViewController::Row> DossierListeViewController::rows() const {
    std::vector<Row> rows;
    if (searching_ && searchList_.empty()) {
        Row notice;
        notice.title = emptySearchText();
        notice.notice = true;
        rows.push_back(std::move(notice));
        return rows;
    }
    const std::string responsable = localized("DOSSIER_LISTE_VIEW_RESPONSABLE", "Responsable");
    const std::string date = localized("DOSSIER_LISTE_VIEW_DATE_CREATION", "Date de création");
    const std::string nature = localized("DOSSIER_LISTE_VIEW_NATURE", "Nature");
    for (const Dossier& dossier : dossiers()) {
        rows.push_back(Row{dossier.s_Code + " - " + dossier.s_Label, false, responsable, dossier.s_Resp, date,
                           dossier.s_DateCreation, nature, dossier.s_Nature});
    }
    return rows;
}

void DossierListeViewController::selectRow(std::size_t index) {
    const auto& list = dossiers();
    if (index >= list.size() || closed_) {
        return;
    }
    const Dossier chosen = list[index];
    Log::write("Dossiers : dossier choisi " + chosen.s_Code);
    // Copied: the answer may close what holds this list.
    Delegate delegate = delegate_;
    if (delegate) {
        delegate(chosen.s_Label, chosen.s_Code);
    }
    close();
}

void DossierListeViewController::searchBarCancelButtonClicked() {
    close();
}

void DossierListeViewController::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    if (client_) {
        client_->cancel();
    }
    if (waiting_) {
        waiting_ = false;
        UserInterface::shared().closeWait();
    }
    auto closeParent = closeParent_;
    if (closeParent) {
        closeParent();
    } else {
        cancel();
    }
}

} // namespace orvaneh
