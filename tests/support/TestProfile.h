#pragma once

#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/profile/Profile.h"
#include "Platform/runloop/VirtualClock.h"
#include "Platform/ui/HeadlessUserInterface.h"

#include <filesystem>
#include <memory>
#include <string>

namespace orvaneh::test {

// A whole throw-away profile for one test: a fresh directory under the system's temporary
// directory holding Documents/ and config/, installed as the current profile, with a new
// preference store on its file, a headless user interface, a fresh simulated media back-end,
// a virtual clock and a new main run loop on that clock. Everything is removed and the
// process-wide services are put back to neutral ones when the object dies.
class TestProfile {
public:
    TestProfile();
    ~TestProfile();
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;

    const std::filesystem::path& home() const { return home_; }
    const Profile& profile() const { return profile_; }
    std::filesystem::path documents() const { return profile_.documentsDirectory(); }
    PreferenceStore& preferences() { return *preferences_; }
    HeadlessUserInterface& ui() { return *ui_; }
    VirtualClock& clock() { return *clock_; }
    SimulatedMediaBackend& media() { return *media_; }

    // Drops the preference store and opens a new one on the same file (a restart).
    PreferenceStore& reopenPreferences();
    // Writes a file in the documents directory (name without leading "/").
    std::filesystem::path writeDocument(const std::string& name, const std::string& contents = "x");

private:
    std::filesystem::path home_;
    Profile profile_;
    std::shared_ptr<PreferenceStore> preferences_;
    std::shared_ptr<HeadlessUserInterface> ui_;
    std::shared_ptr<VirtualClock> clock_;
    std::shared_ptr<SimulatedMediaBackend> media_;
};

// A fresh empty directory under the system's temporary directory, removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace orvaneh::test
