#include "Classes/core/OrvanehAppDelegate.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Classes/core/siteRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "Platform/files/Resources.h"
#include "Platform/log/Log.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/time/DateFormatter.h"

#include <chrono>
#include <filesystem>
#include <sqlite3.h>

namespace orvaneh {

namespace {

namespace fs = std::filesystem;

// True when the file opens and answers as an SQLite database.
bool isReadableDatabase(const fs::path& path) {
    auto connection = SqlConnection::open(path);
    if (!connection) {
        return false;
    }
    SqlStatement probe(*connection, "select count(*) from sqlite_master");
    return probe.prepared() && probe.step() == SqlStatement::Step::Row;
}

} // namespace

OrvanehAppDelegate::OrvanehAppDelegate() = default;

OrvanehAppDelegate::~OrvanehAppDelegate() {
    if (uploadTimer_) {
        uploadTimer_->invalidate();
    }
}

void OrvanehAppDelegate::startCore(bool startSender) {
    initInformationConnectionFTP();
    initDataBase();
    checkAndCreateDataBase();
    if (startSender) {
        sendDictees();
    }
    ConfigurationManager::checkAndCreateDefaultXmlFields();
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

bool OrvanehAppDelegate::copyTemplate() {
    const fs::path source = Resources::path(dataBaseName_);
    const fs::path target = dataBasePath_;
    const fs::path partial = target.string() + ".copie";
    std::error_code error;
    fs::remove(partial, error);
    // Copy then rename, so an interrupted copy never leaves a half database under the real name.
    if (!fs::copy_file(source, partial, error)) {
        Log::write("Impossible de copier le modèle de base de données " + source.string() + " : " +
                   error.message());
        fs::remove(partial, error);
        return false;
    }
    fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, error);
    fs::rename(partial, target, error);
    if (error) {
        Log::write("Impossible d'installer la base de données " + target.string() + " : " + error.message());
        fs::remove(partial, error);
        return false;
    }
    return true;
}

void OrvanehAppDelegate::setAsideUnreadableDatabase() {
    const fs::path path = dataBasePath_;
    const fs::path aside =
        path.string() + ".illisible-" + DateFormatter::format("yyyyMMdd-HHmmss", Clock::current()->wallNow());
    std::error_code error;
    fs::rename(path, aside, error);
    if (error) {
        Log::write("La base de données " + path.string() +
                   " est illisible et n'a pas pu être mise de côté : " + error.message());
        return;
    }
    // A write-ahead log left beside it belongs to the old file, not to the new one.
    for (const char* suffix : {"-wal", "-shm"}) {
        fs::rename(path.string() + suffix, aside.string() + suffix, error);
    }
    Log::write("La base de données " + path.string() +
               " n'est pas une base SQLite : elle est conservée sous " + aside.string() +
               " et une nouvelle base est créée");
}

void OrvanehAppDelegate::checkAndCreateDataBase() {
    bddRq_ = dataBaseRequest();
    std::error_code error;
    if (!fs::exists(dataBasePath_, error)) {
        copyTemplate();
    } else if (!isReadableDatabase(dataBasePath_)) {
        setAsideUnreadableDatabase();
        copyTemplate();
    }
    if (auto connection = SqlConnection::open(dataBasePath_)) {
        // Lets the sender's and the screens' connections read while one of them writes.
        SqlStatement wal(*connection, "PRAGMA journal_mode=WAL");
        wal.execute();
    }
    bddRq_.selectDataBaseInfo();
    int version = bddRq_.numVersion();
    if (version > dataBaseRequest::kCurrentVersion - 1) {
        return;
    }
    if (version <= 0) {
        bddRq_.createDataBaseTable();
    }
    updateDataBase(version);
    bddRq_.updateNumVersionDataBase(dataBaseRequest::kCurrentVersion);
}

void OrvanehAppDelegate::updateDataBase(int version) {
    if (version > dataBaseRequest::kCurrentVersion - 1) {
        return;
    }
    int from = std::max(version, 0);
    for (int step = from; step < dataBaseRequest::kCurrentVersion; ++step) {
        bddRq_.runStep(step);
    }
    if (from <= 1) {
        worktypeRequest().organizeWorktypeInNewDataBase();
    }
}

void OrvanehAppDelegate::sendDictees() {
    RunLoop& loop = RunLoop::main();
    if (!uploadTimer_) {
        uploadTimer_ =
            loop.scheduleTimer(Seconds(kUploadInterval), true, [this](Timer&) { doSendDictees(); });
    }
    loop.scheduleTimer(Seconds(kPromptDelay), false, [this](Timer&) { doSendDictees(); });
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
