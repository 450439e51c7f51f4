#pragma once

#include <stdexcept>
#include <string>

namespace orvaneh {

// The one exception of the system: every failure of the zip layer. The reason is a French
// sentence naming the archive or the entry, shown to the user as it is; `error` is minizip's
// (or zlib's) code, 0 when there is none. The named constructors keep each kind of failure
// worded the same wherever it is thrown.
class ZipException : public std::runtime_error {
public:
    explicit ZipException(const std::string& reason, int error = 0);

    static constexpr const char* name = "ZipException";

    static ZipException archiveNotOpened(const std::string& archive);
    static ZipException unknownMode(int mode);
    // Writing into an archive opened for reading, and the reverse.
    static ZipException openedForReading();
    static ZipException openedForWriting();
    static ZipException entryNotOpened(const std::string& entry, int error);
    static ZipException entryNotWritten(const std::string& entry, int error);
    static ZipException entryNotRead(const std::string& entry, int error);
    static ZipException entryNotClosed(const std::string& entry, int error);
    static ZipException archiveNotClosed(const std::string& archive, int error);
    // The read side's moves through the archive's directory.
    static ZipException directoryNotRead(const std::string& archive, int error);
    // A file of the job that could not be read to go into the archive.
    static ZipException inputNotRead(const std::string& file, int error);

    std::string reason() const { return what(); }
    int error() const { return error_; }

private:
    int error_;
};

} // namespace orvaneh
