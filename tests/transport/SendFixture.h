#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/transport/Uploader.h"
#include "Platform/notifications/NotificationCenter.h"
#include "support/PeerProcess.h"
#include "support/TestDatabase.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvaneh::test {

// Credentials that a URL could not carry.
inline const std::string kFtpLogin = "dicteur@cabinet:paris";
inline const std::string kFtpPassword = "p@ss:w/rd";

// The office FTP simulator (tools/office-ftp-server.py) on a root of its own, its log kept.
class OfficeFtpServer {
public:
    explicit OfficeFtpServer(const std::vector<std::string>& faults = {});
    int port() const { return process_->port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    std::filesystem::path importDirectory() const { return root_.path() / "import"; }
    // The files stored, in the order the server completed them.
    std::vector<std::string> storedInOrder() const;

private:
    TemporaryDirectory root_;
    std::unique_ptr<PeerProcess> process_;
};

// The send notifications seen, with the thread that posted them.
class SendEvents {
public:
    struct Event {
        std::string name;
        std::thread::id thread;
    };
    SendEvents();
    std::vector<Event> events() const;
    std::size_t count(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
    std::vector<Observation> observations_;
};

// A profile with its database, a sender, and helpers to add sites and dictations.
class SendTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    Uploader uploader;
    SendEvents events;

    void SetUp() override;

    // A default site (selected).
    static std::int32_t addSite(std::int32_t type, const std::string& address,
                                const std::string& login = kFtpLogin,
                                const std::string& password = kFtpPassword);
    static void changeSite(std::int32_t idSite, const std::string& address, const std::string& password);
    // A dictation ready to send with its recording "/N.wav" of `seconds` (and "/IN.wav").
    std::int64_t addDictation(const std::string& title, double seconds = 2, bool instruction = false,
                              int pictures = 0);
    static DicteeModel record(std::int64_t idDictee);
    // Wakes the sender and runs the main loop until it is idle again.
    void sendPass();
    // The names of the documents directory's entries that contain `text`.
    std::vector<std::string> documentsContaining(const std::string& text) const;
};

} // namespace orvaneh::test
