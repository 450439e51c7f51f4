#pragma once

#include <string>
#include <vector>

namespace orvaneh {

// Packs a send job into one archive.
class ZipMaker {
public:
    // Writes "/NAME.zip" in the documents directory, replacing any archive of that name: one
    // entry per path, in order, named by the path's last component, deflated at level 9 and
    // all dated with the same moment. Files are copied in blocks, never read whole. Returns
    // the archive's path; throws ZipException (a missing or unreadable input throws
    // inputNotRead) and then leaves no archive under that name.
    static std::string createZipFiles(const std::vector<std::string>& paths, const std::string& name);
};

} // namespace orvaneh
