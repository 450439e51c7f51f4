#pragma once

#include <string>

namespace orvaneh {

// The French text for an errno value, for the explanations given to the user; the
// system's own text for the rare ones we do not translate.
std::string systemErrorText(int errorNumber);

} // namespace orvaneh
