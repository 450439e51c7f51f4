#pragma once

#include "Classes/packaging/FileInZipInfo.h"
#include "Classes/packaging/ZipHandle.h"
#include "Classes/packaging/ZipReadStream.h"
#include "Classes/packaging/ZipWriteStream.h"
#include "Platform/files/TemporaryFile.h"
#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh {

enum class ZipFileMode : int { Unzip = 0, Create = 1, Append = 2 };

// A zip archive over minizip, opened for reading (Unzip) or writing (Create, Append). Every
// failure throws ZipException.
//
// Writing goes to a hidden file beside the archive (".NAME.tmp-XXXXXX"), renamed over it by
// close(): a failed or abandoned archive never lies under its final name, and an archive
// being replaced or appended to stays whole until the new one is complete. The hidden name
// carries the archive's name, so removing a job's files by name also removes it.
class ZipFile {
public:
    // Create replaces an existing archive; Append adds entries to an existing one; Unzip
    // reads. Throws archiveNotOpened or unknownMode.
    ZipFile(std::string fileName, ZipFileMode mode);
    // Without close(), an archive being written is discarded.
    ~ZipFile();
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;

    const std::string& fileName() const { return fileName_; }
    ZipFileMode mode() const { return mode_; }

    // Opens a new entry, ending the one still open: deflated at `level` (stored at 0), dated
    // with the local calendar fields of `date` (now when not given). Throws entryNotOpened, also
    // for a level outside -1 (zlib's default) to 9.
    ZipWriteStream writeFileInZipWithName(const std::string& name, int level);
    ZipWriteStream writeFileInZipWithName(const std::string& name, WallTime date, int level);

    // Writes the central directory and puts the archive in place (writing modes), or releases
    // it (reading). Throws archiveNotClosed. Further calls do nothing.
    void close();

    // The read side.
    std::size_t numFilesInZip();
    std::vector<FileInZipInfo> listFileInZipInfos();
    void goToFirstFileInZip();
    // False past the last entry.
    bool goToNextFileInZip();
    // Makes the named entry current (names compared case-sensitively); false when absent.
    bool locateFileInZip(const std::string& name);
    FileInZipInfo getCurrentFileInZipInfo();
    ZipReadStream readCurrentFileInZip();

private:
    void requireWriting() const;
    void requireReading() const;
    void discard() noexcept;

    std::string fileName_;
    ZipFileMode mode_;
    TemporaryFile temporary_; // writing modes, until close()
    std::shared_ptr<ZipHandle> zip_;
};

} // namespace orvaneh
