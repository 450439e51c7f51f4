#include "transport/WSFixture.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace orvaneh::test {

namespace fs = std::filesystem;

OfficeWebService::OfficeWebService(TestProfile& profile, const std::vector<std::string>& options) {
    // One authority for the whole program: making it takes a while.
    static TemporaryDirectory certificates;
    std::vector<std::string> arguments{
        "--store",    store().string(), "--login",    kWSLogin,
        "--password", kWSPassword,      "--cert-dir", certificates.path().string(),
        "--quiet",    "--seed-demo"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    process_ =
        std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/office-https-server.py",
                                      arguments, (store() / "server.log").string());
    profile.preferences().setString("TrustedCertificatesFile", process_->value("CA"));
}

std::vector<Json> OfficeWebService::requests() const {
    std::vector<Json> requests;
    std::ifstream log(store() / "requests.jsonl");
    for (std::string line; std::getline(log, line);) {
        requests.push_back(Json::parse(line));
    }
    return requests;
}

std::vector<fs::path> OfficeWebService::jobs() const {
    std::vector<fs::path> jobs;
    if (fs::is_directory(store() / "jobs")) {
        for (const auto& entry : fs::directory_iterator(store() / "jobs")) {
            // A job is built aside under another name, then renamed to its number.
            if (auto name = entry.path().filename().string();
                !name.empty() &&
                std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
                jobs.push_back(entry.path());
            }
        }
    }
    std::sort(jobs.begin(), jobs.end(), [](const fs::path& a, const fs::path& b) {
        return std::stoi(a.filename().string()) < std::stoi(b.filename().string());
    });
    return jobs;
}

} // namespace orvaneh::test
