#pragma once

#include <string>

namespace orvaneh {

// The French text for an errno value, for the explanations given to the user; the
// system's own text for the rare ones we do not translate.
std::string systemErrorText(int errorNumber);
// True for a fault of the disk itself (full, over quota, failing, read-only): whatever the
// operation, the user has to make room or change the medium. Other errors (a missing file, a
// refused permission) are said where they happen.
bool isDiskError(int errorNumber);
// `text`, followed by " (what the disk did)" when `errorNumber` is a fault of the disk.
std::string withDiskCause(const std::string& text, int errorNumber);

} // namespace orvaneh
