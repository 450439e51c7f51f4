#include "Platform/profile/ProfileSetup.h"

#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"

#include <memory>

namespace orvaneh {

bool ProfileSetup::install(const Profile& profile, std::string* error) {
    if (!profile.createDirectories(error)) {
        return false;
    }
    Profile::install(profile);
    Log::setFile(profile.logFile());
    PreferenceStore::install(std::make_shared<PreferenceStore>(profile.preferencesFile()));
    Localization::loadDefaultTable();
    return true;
}

} // namespace orvaneh
