#pragma once

// The office simulators of tools/, and fixtures for sending to them and importing from them.
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/packaging/Entity.h"
#include "Classes/transport/FTPSend.h"
#include "Classes/transport/Uploader.h"
#include "Gestion Site/SiteListViewController.h"
#include "Platform/json/Json.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/PeerProcess.h"
#include "support/TestDatabase.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh::test {

// Credentials that a URL could not carry.
inline const std::string kLogin = "jean@cabinet:dictée";
inline const std::string kPassword = "p@ss:w/rd";

// An office simulator on a directory of its own, with the demo catalogues. The web service's
// authority is made once per program and trusted by the current profile.
class OfficeSimulator {
public:
    enum class Kind { Ftp, WebService };
    explicit OfficeSimulator(Kind kind, const std::vector<std::string>& options = {}) {
        const bool ftp = kind == Kind::Ftp;
        static TemporaryDirectory certificates;
        std::vector<std::string> arguments{ftp ? "--root" : "--store",
                                           root().string(),
                                           "--login",
                                           kLogin,
                                           "--password",
                                           kPassword,
                                           "--seed-demo"};
        // The FTP server's TLS modes take their certificate from the web service's authority.
        const bool tls = !ftp || std::find_if(options.begin(), options.end(), [](const std::string& option) {
                                     return option.starts_with("--tls");
                                 }) != options.end();
        if (!ftp) {
            arguments.push_back("--quiet");
        }
        if (tls) {
            arguments.insert(arguments.end(), {"--cert-dir", certificates.path().string()});
        }
        arguments.insert(arguments.end(), options.begin(), options.end());
        process_ = std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/office-" +
                                                     (ftp ? "ftp" : "https") + "-server.py",
                                                 arguments, (root() / "server.log").string());
        if (tls) {
            PreferenceStore::standard().setString("TrustedCertificatesFile", process_->value("CA"));
        }
    }
    int port() const { return process_->port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    // The FTP root or the web service's store.
    std::filesystem::path root() const { return directory_.path(); }
    std::filesystem::path catalogueRoot() const { return root() / "config"; }
    std::filesystem::path importDirectory() const { return root() / "import"; }

    // FTP: the files stored, in the order the server completed them.
    std::vector<std::string> storedInOrder() const {
        std::ifstream log(root() / "server.log");
        const std::regex stored(R"( STOR .*/import/(.+) completed=1 )");
        std::vector<std::string> names;
        std::smatch match;
        for (std::string line; std::getline(log, line);) {
            if (std::regex_search(line, match, stored)) {
                names.push_back(match[1]);
            }
        }
        return names;
    }
    // FTP: the journal's lines that hold `text` (see tools/README.md).
    std::vector<std::string> journal(const std::string& text) const {
        std::ifstream log(root() / "server.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) {
            if (line.find(text) != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // Web service: the requests it answered or dropped, in order.
    std::vector<Json> requests() const {
        std::vector<Json> requests;
        std::ifstream log(root() / "requests.jsonl");
        for (std::string line; std::getline(log, line);) {
            requests.push_back(Json::parse(line));
        }
        return requests;
    }
    // Web service: the stored jobs' directories (a job is built aside, then renamed to its number).
    std::vector<std::filesystem::path> jobs() const {
        std::vector<std::filesystem::path> jobs;
        std::error_code none; // no job yet
        for (const auto& entry : std::filesystem::directory_iterator(root() / "jobs", none)) {
            if (entry.path().filename().string().find_first_not_of("0123456789") == std::string::npos) {
                jobs.push_back(entry.path());
            }
        }
        return jobs;
    }

private:
    TemporaryDirectory directory_;
    std::unique_ptr<PeerProcess> process_;
};

// A profile and its database, and sites on it.
class OfficeTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    std::unique_ptr<OfficeSimulator> webService;

    // Stores a site; a selected one becomes the only default one.
    static std::int32_t addSite(std::int32_t type, const std::string& address,
                                const std::string& password = kPassword, bool selected = true,
                                FtpSecurity ftps = FtpSecurity::Plain) {
        SiteModel site{0, "Cabinet", address, kLogin, password, type, false, false, ftps};
        siteRequest sites;
        site.idSite = sites.addSite(site);
        if (selected) {
            sites.unselectSite();
        }
        site.selected = selected;
        sites.updateSite(site);
        return site.idSite;
    }
    // Starts a web service (in place of the last one) and makes it the default site, of `type`.
    void serveWebService(const std::vector<std::string>& options = {}, std::int32_t type = 2) {
        webService = std::make_unique<OfficeSimulator>(OfficeSimulator::Kind::WebService, options);
        ASSERT_NE(webService->port(), 0) << "le simulateur des Web Services n'a pas démarré";
        addSite(type, webService->address());
    }
    // Runs the main loop until `done` holds, within an hour of its clock and `realTime` seconds.
    static bool runUntil(const std::function<bool()>& done, double realTime = 30) {
        auto& loop = RunLoop::main();
        return loop.runUntil(done, loop.clock().now() + std::chrono::hours(1), Seconds(realTime));
    }
};

// A sender, the send notifications it posts with the thread that posted them, and dictations.
class SendTest : public OfficeTest {
protected:
    struct Event {
        std::string name;
        std::thread::id thread;
    };
    Uploader uploader;

    void SetUp() override {
        OrvanehAppDelegate::initInformationConnectionFTP();
        for (const char* name : {"EnvoiOpen", "EnvoiClose", "EnvoiProgress"}) {
            observations_.push_back(NotificationCenter::defaultCenter().addObserver(
                name, [this](const PostedNotification& posted) {
                    std::lock_guard lock(mutex_);
                    events_.push_back({posted.name, std::this_thread::get_id()});
                }));
        }
    }
    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::size_t count(const std::string& name) const {
        const auto all = events();
        return static_cast<std::size_t>(
            std::count_if(all.begin(), all.end(), [&](const Event& event) { return event.name == name; }));
    }

    // A dictation ready to send with its recording "/N.wav" of `seconds` (and "/IN.wav").
    std::int64_t addDictation(const std::string& title, double seconds = 2, bool instruction = false,
                              int pictures = 0) {
        DicteeModel dictee;
        dictee.titre = title;
        dictee.auteur = "jdupont";
        dictee.worktype = "Courrier";
        dictee.brouillon = false;
        dictee.masterJobId = Tools::generateUUID();
        const std::int64_t id = DicteeRequest().insertDictee(dictee);
        const auto samples = static_cast<std::size_t>(seconds * 16000);
        writeBytes(profile.documents() / (std::to_string(id) + ".wav"), Wave{ramp(0, samples, 7)}.bytes());
        if (instruction) {
            writeBytes(profile.documents() / ("I" + std::to_string(id) + ".wav"),
                       Wave{ramp(5, 8000, 3)}.bytes());
        }
        for (int picture = 1; picture <= pictures; ++picture) {
            profile.writeDocument(std::to_string(id) + "-" + std::to_string(picture) + ".jpg",
                                  "jpeg " + std::to_string(picture));
        }
        return id;
    }
    static DicteeModel record(std::int64_t idDictee) { return DicteeRequest().selectDictee(idDictee); }
    std::string recording(std::int64_t idDictee) const {
        return readBytes(profile.documents() / (std::to_string(idDictee) + ".wav"));
    }
    // Wakes the sender and runs the main loop until it is idle again.
    void sendPass() {
        ASSERT_TRUE(uploader.startRun());
        ASSERT_TRUE(runUntil([&] { return !uploader.running(); }, 120));
        RunLoop::main().runPending();
    }
    // The names of the documents directory's entries that contain `text`.
    std::vector<std::string> documentsContaining(const std::string& text) const {
        std::vector<std::string> names;
        for (const auto& [name, contents] : filesIn(profile.documents())) {
            if (name.find(text) != std::string::npos) {
                names.push_back(name);
            }
        }
        return names;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::vector<Observation> observations_;
};

// A workflow holding the author "avant" alone before each import, and the import's end counted.
class ImportTest : public OfficeTest {
protected:
    int downLoadFinished = 0;

    ImportTest() { seedWorkflow(); }
    static void seedWorkflow() {
        Entity::importCatalogue("<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                                "<LoginName>avant</LoginName></LoginUserInfo></LoginUserInfos></Catalogue>");
    }
    // The login names of the workflow's authors, sorted.
    static std::vector<std::string> authors() {
        std::vector<std::string> names;
        for (const auto& row :
             rows("select login_name from user where role = 'Dictant' order by login_name")) {
            names.push_back(row.at(0));
        }
        return names;
    }
    // Starts the import and runs the main loop until it ends.
    static SiteListViewController::ImportState import(SiteListViewController& sites) {
        sites.importSelectedSites();
        runUntil([&] { return sites.importState() != SiteListViewController::ImportState::Running; });
        return sites.importState();
    }

private:
    Observation observation_ = NotificationCenter::defaultCenter().addObserver(
        "DownLoadFinished", [this](const PostedNotification&) { ++downLoadFinished; });
};

} // namespace orvaneh::test
