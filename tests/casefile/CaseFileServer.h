#pragma once

// The practice-management simulator of tools/ on a store of its own, trusted by the current
// profile, with what it journals and the case files it serves.
#include "Classes/casefile/Dossier.h"
#include "Classes/casefile/WSFendraExpert.h"
#include "Platform/json/Json.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/RunLoop.h"
#include "support/PeerProcess.h"
#include "support/TestProfile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace orvaneh::test {

inline const std::string kCaseLogin = "m.dupre";
inline const std::string kCasePassword = "mot de passe: é&\"";

class CaseFileServer {
public:
    explicit CaseFileServer(const std::vector<std::string>& options = {}) {
        static TemporaryDirectory certificates;
        std::vector<std::string> arguments{
            "--store",    store().string(), "--login",    kCaseLogin,
            "--password", kCasePassword,    "--cert-dir", certificates.path().string(),
            "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        process_ =
            std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) + "/tools/casefile-https-server.py",
                                          arguments, (store() / "server.log").string());
        PreferenceStore::standard().setString("TrustedCertificatesFile", process_->value("CA"));
    }
    int port() const { return process_->port(); }
    std::string host() const { return "127.0.0.1:" + std::to_string(port()); }
    std::filesystem::path store() const { return directory_.path(); }

    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream log(store() / "calls.log");
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The journal's lines, each cut to its method, route and result (the details are checked apart).
    std::vector<std::string> callSummary() const {
        std::vector<std::string> lines;
        for (const auto& line : calls()) {
            std::istringstream words(line);
            std::string method, path;
            words >> method >> path;
            lines.push_back(method + " " + path.substr(path.rfind('/') + 1) + " " +
                            line.substr(line.rfind("result=")));
        }
        return lines;
    }
    // Every case file of the store, oldest first.
    Json caseFiles() const {
        std::ifstream file(store() / "casefiles.json");
        std::stringstream text;
        text << file.rdbuf();
        return Json::parse(text.str());
    }

private:
    TemporaryDirectory directory_;
    std::unique_ptr<PeerProcess> process_;
};

// Runs the main loop until the condition holds (network callbacks arrive through it).
inline bool runUntil(const std::function<bool()>& condition) {
    return RunLoop::main().runUntil(condition, Seconds(60));
}

} // namespace orvaneh::test
