#pragma once

#include "Classes/transport/WSResult.h"
#include "Platform/json/Json.h"
#include "support/PeerProcess.h"
#include "support/TestProfile.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh::test {

// Credentials that a URL could not carry.
inline const std::string kWSLogin = "log@in";
inline const std::string kWSPassword = "pa:ss";

// The office web-service simulator (tools/office-https-server.py) on a store of its own, with
// the demo catalogues. Its authority is trusted by the profile given.
class OfficeWebService {
public:
    OfficeWebService(TestProfile& profile, const std::vector<std::string>& options = {});
    int port() const { return process_->port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    std::filesystem::path store() const { return directory_.path(); }
    std::filesystem::path catalogueRoot() const { return store() / "config"; }
    // The requests it answered or dropped, in order (requests.jsonl).
    std::vector<Json> requests() const;
    // The stored jobs' directories, in arrival order.
    std::vector<std::filesystem::path> jobs() const;

private:
    TemporaryDirectory directory_;
    std::unique_ptr<PeerProcess> process_;
};

// Keeps what a web-service transport reports.
struct RecordedResults : WSResultDelegate {
    std::vector<WSResult> finished, errors;
    std::vector<std::string> rawAnswers;
    void requestDidFinish(const WSResult& result) override { finished.push_back(result); }
    void errorRequest(const WSResult& result) override { errors.push_back(result); }
    void data(const std::string& bytes) override { rawAnswers.push_back(bytes); }
};

} // namespace orvaneh::test
