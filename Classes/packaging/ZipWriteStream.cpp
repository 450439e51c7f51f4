#include "Classes/packaging/ZipWriteStream.h"

#include "Classes/packaging/ZipException.h"

#include <algorithm>
#include <zip.h>

namespace orvaneh {

namespace {

// minizip takes lengths as unsigned int.
constexpr std::size_t kLargestWrite = 1U << 30;

} // namespace

ZipWriteStream::ZipWriteStream(std::shared_ptr<ZipHandle> zip, std::uint64_t entry, std::string fileNameInZip)
    : zip_(std::move(zip)), entry_(entry), fileNameInZip_(std::move(fileNameInZip)) {}

void ZipWriteStream::writeData(std::span<const std::byte> bytes) {
    if (zip_->handle == nullptr || zip_->openEntry != entry_) {
        throw ZipException::entryNotWritten(fileNameInZip_, ZIP_PARAMERROR);
    }
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), kLargestWrite);
        const int error = zipWriteInFileInZip(zip_->handle, bytes.data(), static_cast<unsigned>(count));
        if (error != ZIP_OK) {
            throw ZipException::entryNotWritten(fileNameInZip_, error);
        }
        bytes = bytes.subspan(count);
    }
}

void ZipWriteStream::finishedWriting() {
    if (zip_->handle == nullptr || zip_->openEntry != entry_) {
        throw ZipException::entryNotClosed(fileNameInZip_, ZIP_PARAMERROR);
    }
    zip_->openEntry = 0;
    const int error = zipCloseFileInZip(zip_->handle);
    if (error != ZIP_OK) {
        throw ZipException::entryNotClosed(fileNameInZip_, error);
    }
}

} // namespace orvaneh
