#pragma once

#include "Classes/core/SiteModel.h"
#include "Classes/screens/SuperController.h"
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

class ApplicationHost;
class SiteViewController;
class WSGet;

// The site list: the sites, the default one, and the import of the default site's workflow
// directory from its server (FTP sites: types 1 and 3; web-service sites: 2, 4, 7 and 8; the
// other types, the transcription service among them, have none and say so).
//
// A touched row becomes the default site, stored at once (touching the default clears it in
// memory only). The list does not close while sites exist and none is the default; an empty
// list closes (the first start lands in the editor over it). Deleting asks first.
//
// The import finds the configuration directories, lets the user choose one ("Auteur" choice)
// and hands the catalogue download to the transports. The current workflow is replaced only
// once a catalogue was downloaded and parsed; a failed or cancelled import leaves it as it
// was. Main run loop only; destroying the controller cancels a running import silently.
class SiteListViewController : public SuperController, public FTPGetDelegate, public WSResultDelegate {
public:
    // What the view draws for one site.
    struct Row {
        std::string name;
        std::string address; // its password masked
        std::string typeLabel;
        bool isDefault = false;
    };
    // Answers a deletion: true once the site is gone.
    using DeleteCallback = std::function<void(bool deleted)>;

    enum class ImportState { Idle, Running, Succeeded, Failed, Cancelled };
    // Called once per import, when it ends, with the text the user was shown (or, for a
    // cancellation, "Importation annulée").
    using ImportObserver = std::function<void(ImportState state, const std::string& message)>;

    // Loads the sites and starts listening for "DownLoadFinished". Without an application (the
    // command line, tests) the editor is not opened from the list.
    SiteListViewController();
    explicit SiteListViewController(ApplicationHost* host);
    ~SiteListViewController() override;
    SiteListViewController(const SiteListViewController&) = delete;
    SiteListViewController& operator=(const SiteListViewController&) = delete;

    std::string screenName() const override { return "SiteListViewController"; }
    std::string title() const override;
    // Stores the default site; refused (with an alert) while sites exist and none is chosen.
    bool viewShouldBackToParentView() override;

    // The list is shown again: the sites are reloaded, unsaved marks are lost.
    void reloadSites();
    const std::vector<SiteModel>& listOfSite() const { return listOfSite_; }
    std::vector<Row> rows() const;
    // The row of the default site, -1 when there is none.
    int selectedSite() const { return selectedSite_; }
    // The first site of the list marked as the default one.
    std::optional<SiteModel> getSelectedSite() const;
    // Stores the mark: cleared on every stored site, then set on the default one. False when
    // there is no default site.
    bool saveSelectedSite();
    // A row touched: it becomes the default site and is stored; the default row itself only
    // loses its mark in memory. A row that does not exist is ignored.
    void selectDefaultSite(int row);

    // Asks before deleting the site of `row`; `callback` gets the outcome (false when the
    // answer was no or the row does not exist). The row leaves the list only once deleted.
    void deleteSite(int row, DeleteCallback callback);
    // The editor, over the list, for a new site or the site of `row` (with an application).
    void addNewSite();
    void openSiteDetails(int row);

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
    void updateSelectedRow();
    void openEditor(std::shared_ptr<SiteViewController> editor);

    ApplicationHost* host_ = nullptr;
    std::vector<SiteModel> listOfSite_;
    int selectedSite_ = -1;
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
