#pragma once

#include "Gestion Site/SiteListViewController.h"
#include "Platform/notifications/NotificationCenter.h"
#include "support/PeerProcess.h"
#include "support/TestDatabase.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh::test {

// Credentials that a URL could not carry.
inline const std::string kImportLogin = "jean@cabinet:dictée";
inline const std::string kImportPassword = "p@ss:w/rd";

// One office simulator (tools/) with the demo catalogues, on a directory of its own.
class OfficeSimulator {
public:
    // `script`: "office-ftp-server.py" or "office-https-server.py".
    OfficeSimulator(const std::string& script, const std::vector<std::string>& options = {});
    int port() const { return process_->port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    // The catalogue root: the FTP server's "config" directory, or the web service's.
    std::filesystem::path catalogueRoot() const;
    // The paths the web service was asked for, in order.
    std::vector<std::string> requestedPaths() const;
    std::string value(const std::string& name) const { return process_->value(name); }

private:
    bool ftp_;
    TemporaryDirectory directory_;
    std::unique_ptr<PeerProcess> process_;
};

// A profile and database whose workflow holds the author "avant" before each import.
class ImportTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    int downLoadFinished = 0;

    ImportTest();
    // Makes the workflow hold the author "avant" alone.
    static void seedWorkflow();
    // Stores a site and makes it the default one unless told otherwise.
    static void addSite(std::int32_t type, const std::string& address,
                        const std::string& password = kImportPassword, bool selected = true);
    // The login names of the workflow's authors, sorted.
    static std::vector<std::string> authors();
    // Starts the import and runs the main loop until it ends.
    SiteListViewController::ImportState import(SiteListViewController& sites);
    // Runs the main loop until `done` holds (a real-time limit of 30 seconds).
    static bool runUntil(const std::function<bool()>& done);
    // The last "choices" call recorded by the user interface.
    HeadlessUserInterface::Call lastChoice();

private:
    Observation observation_;
};

} // namespace orvaneh::test
