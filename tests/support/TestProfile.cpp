#include "support/TestProfile.h"

#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/runloop/SystemClock.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

namespace orvaneh::test {

namespace {

std::filesystem::path makeUniqueDirectory(const std::string& prefix) {
    std::random_device random;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / (prefix + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            return candidate;
        }
    }
    throw std::runtime_error("impossible de créer un répertoire temporaire");
}

} // namespace

TemporaryDirectory::TemporaryDirectory() : path_(makeUniqueDirectory("orvaneh-test-")) {}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

TestProfile::TestProfile()
    : home_(makeUniqueDirectory("orvaneh-profile-")), profile_(Profile::inHome(home_)),
      ui_(std::make_shared<HeadlessUserInterface>()), clock_(std::make_shared<VirtualClock>()),
      media_(std::make_shared<SimulatedMediaBackend>()) {
    profile_.createDirectories();
    Profile::install(profile_);
    Log::setEchoToStderr(false);
    Log::setFile(profile_.logFile());
    Clock::install(clock_);
    RunLoop::resetMain(clock_);
    preferences_ = std::make_shared<PreferenceStore>(profile_.preferencesFile());
    PreferenceStore::install(preferences_);
    UserInterface::install(ui_);
    MediaBackend::install(media_);
    Localization::loadDefaultTable();
}

TestProfile::~TestProfile() {
    MediaBackend::install(std::make_shared<SimulatedMediaBackend>());
    UserInterface::install(std::make_shared<HeadlessUserInterface>());
    PreferenceStore::install(std::make_shared<PreferenceStore>());
    auto systemClock = std::make_shared<SystemClock>();
    Clock::install(systemClock);
    RunLoop::resetMain(systemClock);
    Log::setFile({});
    std::error_code error;
    std::filesystem::remove_all(home_, error);
}

PreferenceStore& TestProfile::reopenPreferences() {
    preferences_ = std::make_shared<PreferenceStore>(profile_.preferencesFile());
    PreferenceStore::install(preferences_);
    return *preferences_;
}

std::filesystem::path TestProfile::writeDocument(const std::string& name, const std::string& contents) {
    auto path = documents() / name;
    std::ofstream out(path, std::ios::binary);
    out << contents;
    return path;
}

} // namespace orvaneh::test
