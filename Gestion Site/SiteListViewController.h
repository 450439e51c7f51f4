#pragma once

#include "Classes/core/SiteModel.h"
#include "Classes/transport/FTPGet.h"
#include "Classes/transport/WSResult.h"
#include "Platform/notifications/NotificationCenter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class WSGet;

// The site list: the sites, the default one, and the import of the default site's workflow
// directory from its server (FTP sites: types 1 and 3; web-service sites: 2, 4, 7 and 8).
//
// The import finds the configuration directories, lets the user choose one ("Auteur" choice)
// and hands the catalogue download to the transports. The current workflow is replaced only
// once a catalogue was downloaded and parsed; a failed or cancelled import leaves it as it
// was. Main run loop only; destroying the controller cancels a running import silently.
class SiteListViewController : public FTPGetDelegate, public WSResultDelegate {
public:
    enum class ImportState { Idle, Running, Succeeded, Failed, Cancelled };
    // Called once per import, when it ends, with the text the user was shown (or, for a
    // cancellation, "Importation annulée").
    using ImportObserver = std::function<void(ImportState state, const std::string& message)>;

    // Loads the sites and starts listening for "DownLoadFinished".
    SiteListViewController();
    ~SiteListViewController() override;
    SiteListViewController(const SiteListViewController&) = delete;
    SiteListViewController& operator=(const SiteListViewController&) = delete;

    // The list is shown again: the sites are reloaded, unsaved marks are lost.
    void reloadSites();
    const std::vector<SiteModel>& listOfSite() const { return listOfSite_; }
    // The first site of the list marked as the default one.
    std::optional<SiteModel> getSelectedSite() const;

    // The import button.
    void importSelectedSites();
    void displayDirectories();
    void getCatalogueForSite(const SiteModel& site);
    // Downloads the catalogue of `dossier` for the site being imported.
    void importXML();
    const std::string& dossier() const { return dossier_; }

    // Answers the directory choice without asking anyone (scripts): a listed name, or "" for
    // the "config" directory itself. A name the server did not list ends the import as failed.
    void setPresetDirectory(std::optional<std::string> name) { presetDirectory_ = std::move(name); }
    // The names offered by the last directory choice.
    const std::vector<std::string>& offeredDirectories() const { return offeredDirectories_; }

    ImportState importState() const { return importState_; }
    const std::string& importMessage() const { return importMessage_; }
    void setImportObserver(ImportObserver observer) { importObserver_ = std::move(observer); }

    // FTPGetDelegate.
    void listDirectoriesDownloadFinished(const std::vector<std::string>& directories) override;
    void catalogueImported() override;
    void ftpGetFailed(const std::string& message) override;
    // WSResultDelegate: "GetDirectory" and "GetCatalogue" answers, failures, a non-JSON answer.
    void requestDidFinish(const WSResult& result) override;
    void errorRequest(const WSResult& result) override;
    void data(const std::string& bytes) override;

private:
    // The directory names to choose from: presented, or answered by the preset directory.
    void offerDirectories(const std::vector<std::string>& directories);
    void directoryChosen(const std::string& name);
    void finishImport(ImportState state, const std::string& message);
    void hideWaitAndIndicator();
    // Puts the web-service fetcher aside: it may be running the callback that replaces it.
    void retireWsGet();

    std::vector<SiteModel> listOfSite_;
    std::string dossier_;
    SiteModel importSite_;
    std::optional<std::string> presetDirectory_;
    std::vector<std::string> offeredDirectories_;
    ImportState importState_ = ImportState::Idle;
    std::string importMessage_;
    ImportObserver importObserver_;
    std::uint64_t importGeneration_ = 0;
    std::shared_ptr<FTPGet> ftpGet_;
    std::shared_ptr<WSGet> wsGet_;
    std::vector<std::shared_ptr<WSGet>> retired_;
    Observation downLoadFinished_;
    // Lets a late answer of the directory choice know the controller is still there.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace orvaneh
