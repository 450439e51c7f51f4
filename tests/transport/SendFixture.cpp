#include "transport/SendFixture.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/OrvanehAppDelegate.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/transport/FTPSend.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"

#include <chrono>
#include <fstream>
#include <regex>

namespace orvaneh::test {

namespace fs = std::filesystem;

OfficeFtpServer::OfficeFtpServer(const std::vector<std::string>& faults) {
    std::vector<std::string> arguments{"--root",  root_.path().string(), "--login",
                                       kFtpLogin, "--password",          kFtpPassword};
    arguments.insert(arguments.end(), faults.begin(), faults.end());
    process_ = std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/office-ftp-server.py",
                                             arguments, (root_.path() / "server.log").string());
}

std::vector<std::string> OfficeFtpServer::storedInOrder() const {
    std::ifstream log(root_.path() / "server.log");
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

SendEvents::SendEvents() {
    for (const char* name : {"EnvoiOpen", "EnvoiClose", "EnvoiProgress"}) {
        observations_.push_back(
            NotificationCenter::defaultCenter().addObserver(name, [this](const PostedNotification& posted) {
                std::lock_guard lock(mutex_);
                events_.push_back({posted.name, std::this_thread::get_id()});
            }));
    }
}

std::vector<SendEvents::Event> SendEvents::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::size_t SendEvents::count(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(),
                                                  [&](const Event& event) { return event.name == name; }));
}

void SendTest::SetUp() {
    FTPSend::forgetParameters();
    OrvanehAppDelegate::initInformationConnectionFTP();
}

std::int32_t SendTest::addSite(std::int32_t type, const std::string& address, const std::string& login,
                               const std::string& password) {
    SiteModel site{0, "Cabinet", address, login, password, type, false, false};
    siteRequest sites;
    site.idSite = sites.addSite(site);
    site.selected = true;
    sites.unselectSite();
    sites.updateSite(site);
    return site.idSite;
}

void SendTest::changeSite(std::int32_t idSite, const std::string& address, const std::string& password) {
    SiteModel site = siteRequest().selectSiteWithId(idSite);
    site.address = address;
    site.mdp = password;
    siteRequest().updateSite(site);
}

std::int64_t SendTest::addDictation(const std::string& title, double seconds, bool instruction,
                                    int pictures) {
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
        writeBytes(profile.documents() / ("I" + std::to_string(id) + ".wav"), Wave{ramp(5, 8000, 3)}.bytes());
    }
    for (int picture = 1; picture <= pictures; ++picture) {
        profile.writeDocument(std::to_string(id) + "-" + std::to_string(picture) + ".jpg",
                              "jpeg " + std::to_string(picture));
    }
    return id;
}

DicteeModel SendTest::record(std::int64_t idDictee) {
    return DicteeRequest().selectDictee(idDictee);
}

void SendTest::sendPass() {
    ASSERT_TRUE(uploader.startRun());
    RunLoop& main = RunLoop::main();
    ASSERT_TRUE(main.runUntil([&] { return !uploader.running(); }, main.clock().now() + std::chrono::hours(1),
                              Seconds(120)));
    main.runPending();
}

std::vector<std::string> SendTest::documentsContaining(const std::string& text) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(profile.documents())) {
        if (auto name = entry.path().filename().string(); name.find(text) != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

} // namespace orvaneh::test
