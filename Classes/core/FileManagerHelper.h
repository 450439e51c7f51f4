#pragma once

#include <cstdint>
#include <string>

namespace orvaneh {

// Names and removal of the files kept flat in the documents directory.
class FileManagerHelper {
public:
    // The documents directory followed directly by `name` (which carries its leading "/").
    static std::string getPathForFileName(const std::string& name);

    // Removes a dictation's own files: "/N.wav", "/IN.wav" and "/N.XML" by exact name, then
    // its pictures ("N-….jpg"). The files of dictation 12 survive the removal of dictation 1.
    static void deleteFilesOfDictation(std::int64_t dictationId);
    // Removes every entry of the documents directory whose name contains the job name (the
    // files of one send job). The recordings, named by identifier, survive. An empty job
    // name removes nothing.
    static void deleteFilesOfJob(const std::string& jobName);
};

} // namespace orvaneh
