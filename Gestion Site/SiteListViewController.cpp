#include "Gestion Site/SiteListViewController.h"

#include "Classes/core/SiteType.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/transport/WSGet.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/localisation/Localization.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace orvaneh {

namespace {

constexpr int kDirectoryChoiceTag = 81;
constexpr int kDeleteQuestionTag = 82;

bool isFtpSite(const SiteModel& site) {
    return SiteType::isFtpSite(site.typeSite);
}

bool isWebServiceSite(const SiteModel& site) {
    return SiteType::isWebServiceSite(site.typeSite);
}

// The site's address without spaces, and without "ftp://" (added back by FTPGet). Only the
// scheme is read without regard to case: the path on the server keeps its case, as uploads do.
std::string ftpHost(const SiteModel& site) {
    std::string host;
    for (char c : site.address) {
        if (c != ' ') {
            host.push_back(c);
        }
    }
    std::string scheme = host.substr(0, 6);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme == "ftp://") {
        host.erase(0, 6);
    }
    return host;
}

// A directory name as one URL path segment or query value: every byte outside the unreserved
// characters percent-encoded (a space gives "%20").
std::string encodedDirectory(const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded.push_back(c);
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

} // namespace

SiteListViewController::SiteListViewController() : SiteListViewController(nullptr) {}

SiteListViewController::SiteListViewController(ApplicationHost* host) : host_(host) {
    reloadSites();
    // Served on the main loop: the transports may post it from another thread.
    downLoadFinished_ = NotificationCenter::defaultCenter().addMainLoopObserver(
        "DownLoadFinished", [this](const PostedNotification&) {
            UserInterface::shared().closeWait();
            hideWaitMessage();
        });
}

SiteListViewController::~SiteListViewController() = default;

std::string SiteListViewController::title() const {
    return localized("SITES_LISTE_TITRE", "Sites");
}

void SiteListViewController::reloadSites() {
    listOfSite_ = siteRequest().selectSites();
    updateSelectedRow();
    changed();
}

void SiteListViewController::updateSelectedRow() {
    auto found = std::find_if(listOfSite_.begin(), listOfSite_.end(),
                              [](const SiteModel& site) { return site.selected; });
    selectedSite_ = found == listOfSite_.end() ? -1 : static_cast<int>(found - listOfSite_.begin());
}

std::vector<SiteListViewController::Row> SiteListViewController::rows() const {
    std::vector<Row> rows;
    rows.reserve(listOfSite_.size());
    for (const auto& site : listOfSite_) {
        rows.push_back({site.name, site.addressForDisplay(), SiteType::label(site.typeSite), site.selected});
    }
    return rows;
}

bool SiteListViewController::saveSelectedSite() {
    auto site = getSelectedSite();
    if (!site) {
        return false;
    }
    siteRequest sites;
    sites.unselectSite();
    sites.updateSite(*site);
    return true;
}

void SiteListViewController::selectDefaultSite(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= listOfSite_.size()) {
        return;
    }
    const auto current = getSelectedSite();
    if (current && selectedSite_ != -1) {
        // Every mark, should the table hold more than one: the list stores a single default.
        for (auto& site : listOfSite_) {
            site.selected = false;
        }
    }
    SiteModel& touched = listOfSite_[static_cast<std::size_t>(row)];
    if ((current ? current->idSite : 0) != touched.idSite) {
        touched.selected = !touched.selected;
        saveSelectedSite();
    }
    updateSelectedRow();
    changed();
}

bool SiteListViewController::viewShouldBackToParentView() {
    UserInterface::shared().setNetworkActivityIndicatorVisible(false);
    // Nothing to choose from yet: the first start opens the editor over an empty list.
    if (saveSelectedSite() || listOfSite_.empty()) {
        return true;
    }
    UserInterface::shared().showAlert(
        "", localized("SITE_LIST_VIEW_NO_DEFAULT_SITE", "Vous devez sélectionner un site par défaut"));
    return false;
}

void SiteListViewController::deleteSite(int row, DeleteCallback callback) {
    if (row < 0 || static_cast<std::size_t>(row) >= listOfSite_.size()) {
        if (callback) {
            callback(false);
        }
        return;
    }
    const std::int32_t idSite = listOfSite_[static_cast<std::size_t>(row)].idSite;
    const std::vector<UserInterface::Choice> choices{
        {localized("SITE_LIST_VIEW_CONFIRM_YES", "Oui"), UserInterface::Choice::Style::Destructive},
        {localized("SITE_LIST_VIEW_NON", "Non"), UserInterface::Choice::Style::Cancel},
    };
    UserInterface::shared().presentChoices(
        localized("SITE_LIST_VIEW_CONFIRM_DELETE", "Supprimer le site sélectionné ?"), "", choices,
        kDeleteQuestionTag,
        [this, alive = std::weak_ptr<int>(alive_), idSite, callback = std::move(callback)](int index) {
            if (index != 0 || !alive.lock()) {
                if (callback) {
                    callback(false);
                }
                return;
            }
            const bool deleted = siteRequest().deleteSiteWithId(idSite);
            Notification::pushNotification(
                deleted ? localized("SITE_LIST_VIEW_SITE_DELETED", "Site supprimé")
                        : localized("SITE_LIST_VIEW_SITE_DELETE_ERROR", "La suppression a échoué"));
            if (deleted) {
                // Found again by its id: the list may have been reloaded while the question waited.
                std::erase_if(listOfSite_, [idSite](const SiteModel& site) { return site.idSite == idSite; });
                updateSelectedRow();
                changed();
            }
            if (callback) {
                callback(deleted);
            }
        });
}

void SiteListViewController::addNewSite() {
    openEditor(std::make_shared<SiteViewController>());
}

void SiteListViewController::openSiteDetails(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= listOfSite_.size()) {
        return;
    }
    openEditor(std::make_shared<SiteViewController>(listOfSite_[static_cast<std::size_t>(row)]));
}

void SiteListViewController::openEditor(std::shared_ptr<SiteViewController> editor) {
    if (host_ == nullptr) {
        return;
    }
    // Back on the list once the editor has closed: what it stored shows.
    editor->setFinishedCallback([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) {
            reloadSites();
        }
    });
    host_->navigation().push(std::move(editor));
}

std::optional<SiteModel> SiteListViewController::getSelectedSite() const {
    auto found = std::find_if(listOfSite_.begin(), listOfSite_.end(),
                              [](const SiteModel& site) { return site.selected; });
    if (found == listOfSite_.end()) {
        return std::nullopt;
    }
    return *found;
}

void SiteListViewController::importSelectedSites() {
    displayDirectories();
}

void SiteListViewController::displayDirectories() {
    // A new import: whatever the previous one left running is dropped.
    ++importGeneration_;
    ftpGet_.reset();
    wsGet_.reset();
    retired_.clear();
    offeredDirectories_.clear();
    importMessage_.clear();

    auto site = getSelectedSite();
    if (!site) {
        const std::string message =
            localized("SITE_LIST_VIEW_SELECT_THE_SITE_TO_IMPORT",
                      "Veuillez sélectionner un site pour pouvoir importer votre workflow");
        Notification::pushNotification(message);
        importState_ = ImportState::Running;
        finishImport(ImportState::Failed, message);
        return;
    }
    importSite_ = *site;
    importState_ = ImportState::Running;
    // The current workflow stays until a new catalogue has been downloaded and parsed.
    UserInterface::shared().setNetworkActivityIndicatorVisible(true);
    UserInterface::shared().showWait(false);
    showWaitMessage();
    getCatalogueForSite(importSite_);
}

void SiteListViewController::getCatalogueForSite(const SiteModel& site) {
    if ((isFtpSite(site) || isWebServiceSite(site)) && !CommunicationObject::hasServerAddress(site)) {
        // Never another site's server: there is nothing to fetch from.
        hideWaitAndIndicator();
        const std::string message = CommunicationObject::noServerAddressMessage(site);
        Notification::pushNotification(message);
        finishImport(ImportState::Failed, message);
        return;
    }
    if (isFtpSite(site)) {
        ftpGet_ = std::make_shared<FTPGet>(site.login, site.mdp, site.ftps, this);
        ftpGet_->getListDirectories(ftpHost(site) + "/config/");
    } else if (isWebServiceSite(site)) {
        wsGet_ = std::make_shared<WSGet>(0, this);
        wsGet_->getServices();
    } else {
        hideWaitAndIndicator();
        // The transcription service only takes dictations: the workflow comes from the office.
        const std::string message =
            SiteType::isTranscriptionServiceSite(site.typeSite)
                ? localized("SITE_LIST_VIEW_NO_IMPORT_FROM_TRANSCRIPTION",
                            "Le service de transcription ne fournit pas de configuration : importez le "
                            "workflow depuis le site du cabinet.")
                : localized("SITE_LIST_VIEW_NO_IMPORT_FOR_TYPE",
                            "Ce type de site ne permet pas d'importer un workflow.");
        Notification::pushNotification(message);
        finishImport(ImportState::Failed, message);
    }
}

void SiteListViewController::listDirectoriesDownloadFinished(const std::vector<std::string>& directories) {
    offerDirectories(directories);
}

void SiteListViewController::offerDirectories(const std::vector<std::string>& received) {
    // A directory name from the server becomes a path on it: "..", "a/b" or control characters
    // would reach outside "config", so such entries are not offered (nor accepted by --dir).
    std::vector<std::string> directories;
    std::copy_if(received.begin(), received.end(), std::back_inserter(directories),
                 [](const std::string& name) { return Tools::isPlainFileName(name); });
    offeredDirectories_ = directories;
    if (presetDirectory_) {
        const std::string& name = *presetDirectory_;
        if (name.empty() || std::find(directories.begin(), directories.end(), name) != directories.end()) {
            directoryChosen(name);
            return;
        }
        hideWaitAndIndicator();
        std::string message =
            localized("SITE_LIST_VIEW_UNKNOWN_FOLDER", "Le dossier n'existe pas sur le serveur :");
        message += " " + name;
        Notification::pushNotification(message);
        finishImport(ImportState::Failed, message);
        return;
    }
    if (directories.empty()) {
        directoryChosen("");
        return;
    }
    std::vector<UserInterface::Choice> choices;
    for (const auto& name : directories) {
        choices.push_back({name, UserInterface::Choice::Style::Normal});
    }
    choices.push_back({localized("SITE_LIST_VIEW_CANCEL", "Annuler"), UserInterface::Choice::Style::Cancel});
    UserInterface::shared().presentChoices(
        localized("ABSTRACT_PARAM_WORKFLOW_AUTEUR", "Auteur"), "", choices, kDirectoryChoiceTag,
        [this, alive = std::weak_ptr<int>(alive_), generation = importGeneration_, directories](int index) {
            if (!alive.lock() || generation != importGeneration_ || importState_ != ImportState::Running) {
                return;
            }
            if (index < 0 || static_cast<std::size_t>(index) >= directories.size()) {
                hideWaitAndIndicator();
                finishImport(ImportState::Cancelled,
                             localized("SITE_LIST_VIEW_IMPORT_CANCELLED", "Importation annulée"));
                return;
            }
            directoryChosen(directories[static_cast<std::size_t>(index)]);
        });
}

void SiteListViewController::directoryChosen(const std::string& name) {
    dossier_ = name;
    importXML();
}

void SiteListViewController::importXML() {
    const SiteModel& site = importSite_;
    if (isFtpSite(site)) {
        std::string url = ftpHost(site) + "/config";
        if (!dossier_.empty()) {
            url += "/" + encodedDirectory(dossier_);
        }
        url += "/Catalogue.xml";
        if (!ftpGet_) {
            ftpGet_ = std::make_shared<FTPGet>(site.login, site.mdp, site.ftps, this);
        }
        ftpGet_->getCatalogueWithUrl(url);
    } else if (SiteType::isWebServiceSite(site.typeSite) && !SiteType::usesPhpPaths(site.typeSite)) {
        retireWsGet();
        wsGet_ = std::make_shared<WSGet>(0, this);
        wsGet_->getCatalogueForService(encodedDirectory(dossier_));
    } else {
        hideWaitAndIndicator();
        const std::string message =
            localized("SITE_LIST_VIEW_NO_CATALOGUE_DOWNLOAD",
                      "Ce type de site ne fournit pas de catalogue : le workflow n'a pas "
                      "été modifié.");
        Notification::pushNotification(message);
        finishImport(ImportState::Failed, message);
    }
}

void SiteListViewController::catalogueImported() {
    finishImport(ImportState::Succeeded, localized("kMssFinImportation", "Fin de l'importation"));
}

void SiteListViewController::ftpGetFailed(const std::string& message) {
    finishImport(ImportState::Failed, message);
}

void SiteListViewController::requestDidFinish(const WSResult& result) {
    hideWaitAndIndicator();
    const std::string method = result.getMethodName();
    if (method == "GetDirectory") {
        const Json& names = result.getResult();
        if (names.is_null()) {
            const std::string message = localized("SITE_LIST_VIEW_NO_CONFIG_FOLDER",
                                                  "Le dossier \"config\" n'existe pas sur le serveur.");
            Tools::displayAlertViewWithMessage(message, "");
            finishImport(ImportState::Failed, message);
            return;
        }
        std::vector<std::string> directories;
        if (names.is_array()) {
            for (const auto& name : names) {
                if (name.is_string()) {
                    directories.push_back(name.get<std::string>());
                }
            }
        }
        offerDirectories(directories);
    } else if (method == "GetCatalogue") {
        // WSGet has imported it (or said there was none) before answering here.
        if (result.getResultText().empty()) {
            finishImport(ImportState::Failed,
                         localized("WSGET_NO_CATALOG_ERROR", "Il n'y a pas de catalogue pour ce service"));
        } else {
            finishImport(ImportState::Succeeded, localized("kMssFinImportation", "Fin de l'importation"));
        }
    }
}

void SiteListViewController::errorRequest(const WSResult& result) {
    hideWaitAndIndicator();
    std::string message = result.getResultText();
    if (message.empty() && !result.getResult().is_null()) {
        message = result.getResult().dump();
    }
    Tools::displayAlertViewWithMessage(message, "");
    finishImport(ImportState::Failed, message);
}

void SiteListViewController::data(const std::string& /*bytes*/) {
    // WSGet has shown why already.
    hideWaitAndIndicator();
    finishImport(ImportState::Failed,
                 localized("WSGET_REQUEST_ERROR", "Une erreur s'est produite lors de la requête."));
}

void SiteListViewController::hideWaitAndIndicator() {
    UserInterface::shared().closeWait();
    hideWaitMessage();
    UserInterface::shared().setNetworkActivityIndicatorVisible(false);
}

void SiteListViewController::retireWsGet() {
    if (wsGet_) {
        retired_.push_back(std::move(wsGet_));
    }
}

void SiteListViewController::finishImport(ImportState state, const std::string& message) {
    if (importState_ != ImportState::Running) {
        return;
    }
    importState_ = state;
    importMessage_ = message;
    // Before the observer, which may let go of this controller.
    changed();
    auto observer = importObserver_;
    if (observer) {
        observer(state, message);
    }
}

} // namespace orvaneh
