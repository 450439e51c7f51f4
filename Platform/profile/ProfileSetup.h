#pragma once

#include "Platform/profile/Profile.h"

#include <string>

namespace orvaneh {

// Puts a profile in service for this process: creates its directories (owner-only), makes it
// the current profile, sends the log to its log file, opens its preference store and loads
// the localisation table. The user interface is installed by the caller.
class ProfileSetup {
public:
    // False with a French explanation when the directories cannot be created.
    static bool install(const Profile& profile, std::string* error = nullptr);
};

} // namespace orvaneh
