#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

// The photographs of a dictation: JPEG files "N-k.jpg" in the documents directory.
class Pictures {
public:
    // The file names (no directory) that begin with "N-" and end with ".jpg", in directory
    // order.
    static std::vector<std::string> picturesForDictation(std::int64_t dictationId);
    // Removes every file picturesForDictation returns; failures are ignored.
    static void deletePicturesForDictation(std::int64_t dictationId);
};

} // namespace orvaneh
