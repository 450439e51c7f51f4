#pragma once

#include "Classes/packaging/ZipHandle.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace orvaneh {

// The reading end of the current entry of an archive opened for reading.
class ZipReadStream {
public:
    ZipReadStream(std::shared_ptr<ZipHandle> unzip, std::uint64_t entry, std::string fileNameInZip);

    const std::string& fileNameInZip() const { return fileNameInZip_; }

    // Fills up to the buffer's size with uncompressed bytes; 0 at the end of the entry.
    // Throws ZipException::entryNotRead.
    std::size_t readDataWithBuffer(std::span<std::byte> buffer);
    // Up to `length` bytes; fewer only at the end of the entry.
    std::string readDataOfLength(std::size_t length);
    // Ends the reading; an entry read to its end whose CRC does not match throws
    // ZipException::entryNotClosed.
    void finishedReading();

private:
    // Still the archive's current entry: another one opened since ends this stream.
    bool isOpen() const;

    std::shared_ptr<ZipHandle> unzip_;
    std::uint64_t entry_;
    std::string fileNameInZip_;
};

} // namespace orvaneh
