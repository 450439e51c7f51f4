#include "Classes/app/OrvanehAppDelegate.h"

#include "Classes/app/ListeDictViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/StoredPasswords.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Classes/screens/AboutController.h"
#include "Classes/screens/Menu.h"
#include "Classes/screens/SettingsViewController.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Gestion Site/SiteListViewController.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/files/Resources.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/log/Log.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/time/DateFormatter.h"
#include "Platform/ui/UserInterface.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {

namespace {

namespace fs = std::filesystem;

// What lies at the database's path, judged from the file itself before SQLite opens it.
enum class FileKind { Missing, Empty, NotADatabase, MaybeDatabase, Unreadable };

// Looks at the first bytes of `path`; `systemError` says why when it is Unreadable.
FileKind examineDatabaseFile(const fs::path& path, int& systemError) {
    // Non-blocking, so that a FIFO put there cannot hold the start-up.
    int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        systemError = errno;
        return errno == ENOENT ? FileKind::Missing : FileKind::Unreadable;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        systemError = S_ISDIR(info.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
        ::close(descriptor);
        return FileKind::Unreadable;
    }
    static constexpr char kHeader[] = "SQLite format 3"; // and its terminating zero: 16 bytes
    char header[sizeof kHeader] = {};
    ssize_t count = 0;
    while ((count = ::pread(descriptor, header, sizeof header, 0)) < 0 && errno == EINTR) {
    }
    systemError = count < 0 ? errno : 0;
    ::close(descriptor);
    if (count < 0) {
        return FileKind::Unreadable;
    }
    if (count == 0) {
        return FileKind::Empty;
    }
    if (static_cast<std::size_t>(count) < sizeof header || std::memcmp(header, kHeader, sizeof header) != 0) {
        return FileKind::NotADatabase;
    }
    return FileKind::MaybeDatabase;
}

// SQLite's own verdict on a file whose header looks right: nothing when it reads as a database.
std::optional<SqlConnection::Failure> probeDatabase(const fs::path& path) {
    SqlConnection::Failure failure;
    auto connection = SqlConnection::open(path, &failure);
    if (!connection) {
        return failure;
    }
    SqlStatement probe(*connection, "select count(*) from sqlite_master");
    if (probe.prepared() && probe.step() == SqlStatement::Step::Row) {
        return std::nullopt;
    }
    return connection->lastFailure();
}

std::uintmax_t sizeOrZero(const fs::path& path) {
    std::error_code error;
    auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

std::string quoted(const std::string& path) {
    return "« " + path + " »";
}

} // namespace

OrvanehAppDelegate::OrvanehAppDelegate() = default;

OrvanehAppDelegate::~OrvanehAppDelegate() {
    if (uploadTimer_) {
        uploadTimer_->invalidate();
    }
}

OrvanehAppDelegate::StartupResult OrvanehAppDelegate::startCore(bool startSender) {
    StartupResult result;
    // Volatile keys: on a full disk they stay in memory, which is all they are needed for.
    initInformationConnectionFTP();
    initDataBase();
    if (const auto& notice = PreferenceStore::standard().setAsideNotice()) {
        result.notices.push_back(*notice);
    }
    result.error = checkAndCreateDataBase(result.notices);
    if (result.error) {
        Log::write(*result.error);
        return result;
    }
    placePasswords();
    // What an edit, a zip or a file replacement cut short by a crash left behind; a writer
    // still at work in another process holds its file locked and keeps it.
    FileManagerHelper::removeLeftoverTemporaryFiles();
    // A send cut short once its dictation was marked sent left that job's files: no later
    // attempt of that dictation will remove them.
    std::vector<std::string> sentJobs;
    for (const auto& sent : DicteeRequest().getListDictee(DicteeRequest::kSent)) {
        sentJobs.push_back(sent.masterJobId);
    }
    FileManagerHelper::deleteFilesOfJobs(sentJobs);
    if (startSender) {
        sendDictees();
    }
    if (auto notice = ConfigurationManager::checkAndCreateDefaultXmlFields()) {
        result.notices.push_back(*notice);
    }
    return result;
}

void OrvanehAppDelegate::placePasswords() {
    const bool sitesInKeyring = siteRequest().placePasswords();
    const bool caseFileInKeyring = LoginViewController::placePassword();
    if (!sitesInKeyring && !caseFileInKeyring && StoredPasswords::keyringRefused()) {
        StoredPasswords::profileLeftKeyring();
    }
}

void OrvanehAppDelegate::initInformationConnectionFTP() {
    UserDefaultManager::setInt(-1, "connectionType");
    // Far in the past, so the first network check never sees a recent switch of connection.
    UserDefaultManager::setDate(WallTime(std::chrono::seconds(1000)), "connectionLastDate");
    UserDefaultManager::setBool(false, "connectionSucceedLastTime");
}

void OrvanehAppDelegate::initDataBase() {
    dataBaseName_ = "db_Quira.sql";
    dataBasePath_ = Tools::documentsDirectory() + "/" + dataBaseName_ + ".sqlite";
    UserDefaultManager::setObject(dataBasePath_, "databasePath");
    UserDefaultManager::setObject(dataBaseName_, "databaseName");
}

std::optional<fs::path> OrvanehAppDelegate::copyTemplate(std::string& reason) {
    const fs::path source = Resources::path(dataBaseName_);
    const fs::path partial = dataBasePath_ + ".copie";
    std::error_code error;
    fs::remove(partial, error);
    // Copied under another name first, so an interrupted copy never leaves a half database
    // under the real name, and a failed one touches nothing.
    if (!fs::copy_file(source, partial, error)) {
        reason = error.message();
        if (error.category() == std::generic_category() || error.category() == std::system_category()) {
            reason = systemErrorText(error.value());
        }
        Log::write("Impossible de copier le modèle de base de données " + source.string() + " : " + reason);
        fs::remove(partial, error);
        return std::nullopt;
    }
    fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, error);
    return partial;
}

std::string OrvanehAppDelegate::asideName() const {
    return dataBasePath_ + ".illisible-" +
           DateFormatter::format("yyyyMMdd-HHmmss", Clock::current()->wallNow());
}

std::optional<std::string> OrvanehAppDelegate::installTemplate(bool setAside,
                                                               std::vector<std::string>& notices) {
    const fs::path path = dataBasePath_;
    std::string reason;
    auto copy = copyTemplate(reason);
    if (!copy) {
        return "La base de données " + quoted(path.string()) + " n'a pas pu être créée : " + reason + ".";
    }
    std::error_code error;
    const std::string aside = asideName();
    if (setAside) {
        fs::rename(path, aside, error);
        if (error) {
            fs::remove(*copy, error);
            return "La base de données " + quoted(path.string()) +
                   " n'est pas une base SQLite et n'a pas pu être mise de côté : " +
                   systemErrorText(error.value()) + ". Elle est laissée telle quelle.";
        }
    }
    // What lies beside the file belongs to the old one, never to the template: a log that
    // holds anything is kept aside, an empty log and the shared memory are removed.
    for (const char* suffix : {"-wal", "-shm"}) {
        const fs::path leftover = path.string() + suffix;
        if (!fs::exists(leftover, error)) {
            continue;
        }
        if (suffix == std::string_view("-wal") && sizeOrZero(leftover) > 0) {
            fs::rename(leftover, aside + suffix, error);
            if (!error && !setAside) {
                notices.push_back("Le journal " + quoted(leftover.string()) +
                                  " était resté sans sa base de données : il est conservé sous " +
                                  quoted(aside + suffix) + ".");
            }
        } else {
            fs::remove(leftover, error);
        }
        if (error) {
            fs::remove(*copy, error);
            return "La base de données " + quoted(path.string()) + " n'a pas pu être créée : le fichier " +
                   quoted(leftover.string()) + " ne peut pas être écarté (" + systemErrorText(error.value()) +
                   ").";
        }
    }
    fs::rename(*copy, path, error);
    if (error) {
        std::string text = systemErrorText(error.value());
        fs::remove(*copy, error);
        return "La base de données " + quoted(path.string()) + " n'a pas pu être créée : " + text + ".";
    }
    if (setAside) {
        std::string notice = "La base de données " + quoted(path.string()) +
                             " n'était pas une base SQLite : elle est conservée sous " + quoted(aside) +
                             " et une nouvelle base a été créée.";
        Log::write(notice);
        notices.push_back(notice);
    }
    return std::nullopt;
}

std::optional<std::string> OrvanehAppDelegate::checkAndCreateDataBase(std::vector<std::string>& notices) {
    bddRq_ = dataBaseRequest();
    const std::string& path = dataBasePath_;
    // Whatever goes wrong from here on leaves the file as it is: the user's data is in it.
    auto refused = [&](const std::string& what, const std::string& reason) -> std::optional<std::string> {
        return "La base de données " + quoted(path) + " " + what + " : " + reason +
               ". Elle est laissée telle quelle ; corrigez le problème (place sur le disque, droits, "
               "support) puis recommencez.";
    };

    int systemError = 0;
    FileKind kind = examineDatabaseFile(path, systemError);
    if (kind == FileKind::Empty && sizeOrZero(path + "-wal") > 0) {
        kind = FileKind::MaybeDatabase; // everything may still be in the log: SQLite decides
    }
    std::optional<std::string> installed;
    switch (kind) {
    case FileKind::Unreadable:
        return refused("n'a pas pu être lue", systemErrorText(systemError));
    case FileKind::Missing:
    case FileKind::Empty: // an empty file holds nothing to keep
        installed = installTemplate(false, notices);
        break;
    case FileKind::NotADatabase:
        installed = installTemplate(true, notices);
        break;
    case FileKind::MaybeDatabase:
        if (auto failure = probeDatabase(path)) {
            if (failure->notADatabase()) {
                installed = installTemplate(true, notices);
            } else if (failure->damaged()) {
                return "La base de données " + quoted(path) +
                       " est endommagée. Elle est laissée telle quelle pour qu'on puisse en récupérer le "
                       "contenu ; déplacez-la ailleurs pour repartir d'une base neuve.";
            } else {
                return refused("n'a pas pu être lue", failure->text());
            }
        }
        break;
    }
    if (installed) {
        return installed;
    }

    {
        SqlConnection::Failure failure;
        auto connection = SqlConnection::open(path, &failure);
        if (!connection) {
            return refused("n'a pas pu être ouverte", failure.text());
        }
        // Lets the sender's and the screens' connections read while one of them writes.
        SqlStatement wal(*connection, "PRAGMA journal_mode=WAL");
        if (!wal.execute()) {
            return refused("n'a pas pu passer en journal d'écriture anticipée",
                           connection->lastFailure().text());
        }
    }
    if (auto failure = bddRq_.selectDataBaseInfo()) {
        return refused("n'a pas pu être lue", failure->text());
    }
    int version = bddRq_.numVersion();
    if (version > dataBaseRequest::kCurrentVersion - 1) {
        return std::nullopt;
    }
    std::optional<SqlConnection::Failure> failure;
    if (version <= 0) {
        failure = bddRq_.createDataBaseTable();
    }
    if (!failure) {
        failure = updateDataBase(version);
    }
    if (!failure) {
        failure = bddRq_.updateNumVersionDataBase(dataBaseRequest::kCurrentVersion);
    }
    if (failure) {
        return refused("n'a pas pu être mise à jour", failure->text());
    }
    return std::nullopt;
}

std::optional<SqlConnection::Failure> OrvanehAppDelegate::updateDataBase(int version) {
    if (version > dataBaseRequest::kCurrentVersion - 1) {
        return std::nullopt;
    }
    int from = std::max(version, 0);
    for (int step = from; step < dataBaseRequest::kCurrentVersion; ++step) {
        if (auto failure = bddRq_.runStep(step)) {
            return failure;
        }
    }
    if (from <= 1) {
        worktypeRequest().organizeWorktypeInNewDataBase();
    }
    return std::nullopt;
}

std::int64_t OrvanehAppDelegate::dictationBeingSent() const {
    return Uploader::dictationBeingSent();
}

void OrvanehAppDelegate::sendDictees() {
    RunLoop& loop = RunLoop::main();
    if (!uploadTimer_) {
        uploadTimer_ =
            loop.scheduleTimer(Seconds(kUploadInterval), true, [this](Timer&) { doSendDictees(); });
    }
    // The wake-up timer dies with this object: the prompt, which may still be pending then
    // (a window closed at once, a test restarting the application), goes with it.
    loop.scheduleTimer(Seconds(kPromptDelay), false,
                       [this, wake = std::weak_ptr<Timer>(uploadTimer_)](Timer&) {
                           if (auto timer = wake.lock(); timer && timer->isValid()) {
                               doSendDictees();
                           }
                       });
}

void OrvanehAppDelegate::doSendDictees() {
    uploader_.startRun();
}

bool OrvanehAppDelegate::siteExists() {
    return !siteRequest().selectSites().empty();
}

void OrvanehAppDelegate::applicationWillEnterForeground() {
    badgeNumber_ = 0;
}

void OrvanehAppDelegate::applicationDidBecomeActive() {
    NotificationCenter::defaultCenter().post("ApplicationBecomeActive");
}

} // namespace orvaneh

namespace orvaneh {

void OrvanehAppDelegate::popToRoot() {
    navigation_.popToRoot();
    UserInterface::shared().popToRoot();
}

void OrvanehAppDelegate::showMenu() {
    if (!menu_) {
        menu_ = std::make_unique<Menu>();
        menu_->setTarget([this](int tag) { onMenuItem(tag); });
    }
    menu_->show();
}

void OrvanehAppDelegate::startScreens() {
    navigation_.setRoot(std::make_shared<ListeDictViewController>(*this));
    if (!siteExists()) {
        OpenNewSite();
    }
}

template <class T, class Make> void OrvanehAppDelegate::openUnlessOnTop(Make make) {
    if (!navigation_.topIs<T>()) {
        navigation_.push(make());
    }
}

void OrvanehAppDelegate::onMenuItem(int tag) {
    std::string title;
    if (menu_) {
        for (const auto& entry : menu_->entries()) {
            if (entry.tag == tag) {
                title = " (" + entry.title + ")";
            }
        }
    }
    Log::write("MENU ITEM : " + std::to_string(tag) + title);
    switch (tag) {
    case Menu::Dictees:
        OpenDictees();
        break;
    case Menu::Workflow:
        OpenWorkflow();
        break;
    case Menu::Sites:
        OpenSites();
        break;
    case Menu::Parametres:
        OpenSettings();
        break;
    case Menu::Informations:
        OpenAbout();
        break;
    default:
        break;
    }
}

void OrvanehAppDelegate::OpenDictees() {
    openUnlessOnTop<ListeDictViewController>(
        [this] { return std::make_shared<ListeDictViewController>(*this); });
}

void OrvanehAppDelegate::OpenWorkflow() {
    openUnlessOnTop<ParamWorkflowDefault>([this] {
        auto screen = std::make_shared<ParamWorkflowDefault>();
        screen->setServicesOpener(AbstractParamWorkflow::presentingOn(navigation_));
        return screen;
    });
}

void OrvanehAppDelegate::OpenSites() {
    openUnlessOnTop<SiteListViewController>(
        [this] { return std::make_shared<SiteListViewController>(this); });
}

void OrvanehAppDelegate::OpenSettings() {
    openUnlessOnTop<SettingsViewController>([] { return std::make_shared<SettingsViewController>(); });
}

void OrvanehAppDelegate::OpenAbout() {
    openUnlessOnTop<AboutController>([] { return std::make_shared<AboutController>(); });
}

void OrvanehAppDelegate::OpenNewSite() {
    openUnlessOnTop<SiteViewController>([] { return std::make_shared<SiteViewController>(); });
}

} // namespace orvaneh
