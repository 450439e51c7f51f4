#pragma once

#include "Classes/packaging/ZipHandle.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace orvaneh {

// The writing end of one archive entry, handed out by ZipFile::writeFileInZipWithName.
class ZipWriteStream {
public:
    ZipWriteStream(std::shared_ptr<ZipHandle> zip, std::uint64_t entry, std::string fileNameInZip);

    const std::string& fileNameInZip() const { return fileNameInZip_; }

    // Appends to the entry (compressed as it goes). Throws ZipException::entryNotWritten.
    void writeData(std::span<const std::byte> bytes);
    void writeData(std::string_view bytes) {
        writeData(std::as_bytes(std::span(bytes.data(), bytes.size())));
    }
    // Ends the entry. Throws ZipException::entryNotClosed.
    void finishedWriting();

private:
    std::shared_ptr<ZipHandle> zip_;
    std::uint64_t entry_;
    std::string fileNameInZip_;
};

} // namespace orvaneh
