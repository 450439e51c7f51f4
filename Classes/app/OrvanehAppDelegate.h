#pragma once

#include "Classes/core/dataBaseRequest.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/transport/Uploader.h"
#include "Platform/runloop/Timer.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class Menu;

// The root of the running system and the place where it is assembled: decides the order of
// start-up, owns the background sender and the timers that wake it, the navigation of the
// screens and the main menu, relays the lifecycle events, and carries the values the
// dictation list hands to the recorder. One per process; used on the main thread (the one
// running RunLoop::main()).
class OrvanehAppDelegate : public ApplicationHost {
public:
    OrvanehAppDelegate();
    ~OrvanehAppDelegate() override;
    OrvanehAppDelegate(const OrvanehAppDelegate&) = delete;
    OrvanehAppDelegate& operator=(const OrvanehAppDelegate&) = delete;

    // What the start-up tells whoever started it (the command line, the application's window).
    struct StartupResult {
        // Set when the database could not be put in service; it is then left as it was found
        // and nothing else may run. French, names the file.
        std::optional<std::string> error;
        // French sentences the user must read even when the start-up went on: files kept aside.
        std::vector<std::string> notices;
    };

    // The start-up steps that need no screen, in order: connection-tracking keys, database
    // path, template copy and migration, passwords to or from the desktop's keyring, removal of the
    // temporaries of dead writers, background sending (only
    // when `startSender`), legacy settings and label defaults. The command line runs them without the sender.
    // Stops at a database that cannot be used, without touching it.
    StartupResult startCore(bool startSender);

    // "connectionType" := -1, "connectionLastDate" := 1970-01-01 00:16:40 UTC,
    // "connectionSucceedLastTime" := false.
    static void initInformationConnectionFTP();
    // Records the database's name and path ("db_Quira.sql.sqlite" in the documents directory).
    void initDataBase();
    // Copies the template when the file is missing or empty, or when it is not an SQLite
    // database at all (its header says so, or SQLite does): that file is kept aside and said in
    // `notices`. Then reads the schema version and migrates. Any other failure (disk full, I/O
    // error, permission, damaged database) changes nothing and is returned as a French text.
    std::optional<std::string> checkAndCreateDataBase(std::vector<std::string>& notices);
    // The sites' and the case-file's passwords to the keyring when one is wanted, or back from it
    // (StoredPasswords); the profile's keyring mark goes once none is left there.
    static void placePasswords();
    // Runs the migration steps from `version` to the current one; the failure that stopped them.
    std::optional<SqlConnection::Failure> updateDataBase(int version);

    // Prompts the sender about a second from now, and makes sure the 60-second wake-up
    // exists.
    void sendDictees() override;
    std::int64_t dictationBeingSent() const override;
    // Timer target: starts a run on the sender's thread unless one is running.
    void doSendDictees();
    // True when at least one site is configured.
    bool siteExists();

    // Lifecycle events relayed from the platform.
    void applicationWillEnterForeground();
    void applicationDidBecomeActive();
    // Nothing is torn down: a transfer in progress goes on as long as the process runs.
    void applicationDidEnterBackground() {}
    void applicationWillTerminate() {}

    // The screens' start-up, after startCore: the dictation list as the root screen (it cleans
    // up old sent dictations as it is created), and the site editor over it when no site exists.
    void startScreens();

    // The main menu's entries, by tag: 1 dictations, 2 default workflow, 3 sites, 4 settings,
    // 5 information. Each opens its screen unless a screen of that kind is on top already;
    // every tag, known or not, is logged.
    void onMenuItem(int tag);
    void OpenDictees();
    void OpenWorkflow();
    void OpenSites();
    void OpenSettings();
    void OpenAbout();
    // The site editor for a new site.
    void OpenNewSite();
    // The main menu, created on first use with this object as its target.
    Menu* menu() const { return menu_.get(); }

    const std::string& dataBaseName() const { return dataBaseName_; }
    const std::string& dataBasePath() const { return dataBasePath_; }
    dataBaseRequest& bddRq() { return bddRq_; }
    Uploader& uploader() { return uploader_; }
    // Number of application-icon badges; reset when the application comes to the front.
    int badgeNumber() const { return badgeNumber_; }

    // Hand-over to the recorder: true to start a new dictation, false to open idDictee.
    bool record() const override { return record_; }
    void setRecord(bool record) override { record_ = record; }
    std::int64_t idDictee() const override { return idDictee_; }
    void setIdDictee(std::int64_t idDictee) override { idDictee_ = idDictee; }

    NavigationController& navigation() override { return navigation_; }
    void popToRoot() override;
    void showMenu() override;

    static constexpr double kUploadInterval = 60.0;
    static constexpr double kPromptDelay = 1.0;

private:
    std::string dataBaseName_;
    std::string dataBasePath_;
    dataBaseRequest bddRq_;
    Uploader uploader_;
    std::shared_ptr<Timer> uploadTimer_;
    bool record_ = false;
    std::int64_t idDictee_ = 0;
    int badgeNumber_ = 0;
    NavigationController navigation_;
    std::unique_ptr<Menu> menu_;

    // Pushes the screen `make` builds, unless a T is on top already.
    template <class T, class Make> void openUnlessOnTop(Make make);

    // The template copied beside the database, ready to be renamed over it; nothing (logged)
    // when the copy failed, with the reason in `reason`.
    std::optional<std::filesystem::path> copyTemplate(std::string& reason);
    // Puts the template copy in place, first keeping aside what is there when `setAside`.
    std::optional<std::string> installTemplate(bool setAside, std::vector<std::string>& notices);
    // The database's name with ".illisible-<date>" appended.
    std::string asideName() const;
};

} // namespace orvaneh
