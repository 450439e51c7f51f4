#include "transport/ImportFixture.h"

#include "Classes/core/siteRequest.h"
#include "Classes/packaging/Entity.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <fstream>

namespace orvaneh::test {

OfficeSimulator::OfficeSimulator(const std::string& script, const std::vector<std::string>& options)
    : ftp_(script.find("ftp") != std::string::npos) {
    std::vector<std::string> arguments{ftp_ ? "--root" : "--store",
                                       directory_.path().string(),
                                       "--login",
                                       kImportLogin,
                                       "--password",
                                       kImportPassword,
                                       "--seed-demo",
                                       "--quiet"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    process_ = std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/" + script, arguments,
                                             (directory_.path() / "server.log").string());
}

std::filesystem::path OfficeSimulator::catalogueRoot() const {
    return directory_.path() / "config";
}

std::vector<std::string> OfficeSimulator::requestedPaths() const {
    std::vector<std::string> paths;
    std::ifstream log(directory_.path() / "requests.jsonl");
    for (std::string line; std::getline(log, line);) {
        paths.push_back(Json::parse(line).value("path", ""));
    }
    return paths;
}

ImportTest::ImportTest() {
    observation_ = NotificationCenter::defaultCenter().addObserver(
        "DownLoadFinished", [this](const PostedNotification&) { ++downLoadFinished; });
    seedWorkflow();
}

void ImportTest::seedWorkflow() {
    Entity::importCatalogue("<Catalogue><LoginUserInfos><LoginUserInfo><Role>Dictant</Role>"
                            "<LoginName>avant</LoginName></LoginUserInfo></LoginUserInfos></Catalogue>");
}

void ImportTest::addSite(std::int32_t type, const std::string& address, const std::string& password,
                         bool selected) {
    SiteModel site{0, "Cabinet", address, kImportLogin, password, type, false, false};
    siteRequest sites;
    site.idSite = sites.addSite(site);
    site.selected = selected;
    sites.updateSite(site);
}

std::vector<std::string> ImportTest::authors() {
    std::vector<std::string> names;
    for (const auto& row : rows("select login_name from user where role = 'Dictant' order by login_name")) {
        names.push_back(row.at(0));
    }
    return names;
}

SiteListViewController::ImportState ImportTest::import(SiteListViewController& sites) {
    sites.importSelectedSites();
    runUntil([&] { return sites.importState() != SiteListViewController::ImportState::Running; });
    return sites.importState();
}

bool ImportTest::runUntil(const std::function<bool()>& done) {
    auto& loop = RunLoop::main();
    return loop.runUntil(done, loop.clock().now() + std::chrono::hours(1), Seconds(30));
}

HeadlessUserInterface::Call ImportTest::lastChoice() {
    auto calls = profile.ui().calls();
    auto found =
        std::find_if(calls.rbegin(), calls.rend(), [](const auto& call) { return call.kind == "choices"; });
    return found == calls.rend() ? HeadlessUserInterface::Call{} : *found;
}

} // namespace orvaneh::test
