#pragma once

// The transcription-service simulator of tools/ on a store of its own, trusted by the current
// profile, and what it journals and delivers.
#include "Platform/preferences/PreferenceStore.h"
#include "support/PeerProcess.h"
#include "support/TestProfile.h"
#include "transport/OfficeFixture.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh::test {

class TranscriptionSimulator {
public:
    explicit TranscriptionSimulator(const std::vector<std::string>& options = {}) {
        static TemporaryDirectory certificates;
        std::vector<std::string> arguments{
            "--store",    store().string(), "--login",    kLogin,
            "--password", kPassword,        "--cert-dir", certificates.path().string(),
            "--quiet"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        process_ = std::make_unique<PeerProcess>(std::string(ORVANEH_SOURCE_DIR) +
                                                     "/tools/transcription-soap-server.py",
                                                 arguments, (store() / "server.log").string());
        PreferenceStore::standard().setString("TrustedCertificatesFile", process_->value("CA"));
    }
    int port() const { return process_->port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    std::filesystem::path store() const { return directory_.path(); }
    std::filesystem::path job(const std::string& name) const { return store() / "jobs" / name; }

    // The journal's lines, in call order.
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream log(store() / "calls.log");
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The journal's lines that start with `operation `.
    std::vector<std::string> callsTo(const std::string& operation) const {
        std::vector<std::string> lines;
        for (auto& line : calls()) {
            if (line.rfind(operation + " ", 0) == 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

private:
    TemporaryDirectory directory_;
    std::unique_ptr<PeerProcess> process_;
};

} // namespace orvaneh::test
