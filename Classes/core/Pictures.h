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
    // Renames the pictures of dictation `from` to dictation `to` ("from-k.jpg" becomes
    // "to-k.jpg"), never over an existing file; failures are logged.
    static void renumberPictures(std::int64_t from, std::int64_t to);
};

} // namespace orvaneh
