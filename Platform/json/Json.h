#pragma once

#include <nlohmann/json.hpp>

namespace orvaneh {

// Dictionaries and lists exchanged inside the system (preferences, catalogue records,
// web-service answers) are JSON values.
using Json = nlohmann::json;

} // namespace orvaneh
