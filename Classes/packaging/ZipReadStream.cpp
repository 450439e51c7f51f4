#include "Classes/packaging/ZipReadStream.h"

#include "Classes/packaging/ZipException.h"

#include <algorithm>
#include <unzip.h>

namespace orvaneh {

namespace {

// minizip takes lengths as unsigned int and answers with an int.
constexpr std::size_t kLargestRead = 1U << 30;

} // namespace

ZipReadStream::ZipReadStream(std::shared_ptr<ZipHandle> unzip, std::uint64_t entry, std::string fileNameInZip)
    : unzip_(std::move(unzip)), entry_(entry), fileNameInZip_(std::move(fileNameInZip)) {}

bool ZipReadStream::isOpen() const {
    return unzip_->handle != nullptr && unzip_->openEntry == entry_;
}

std::size_t ZipReadStream::readDataWithBuffer(std::span<std::byte> buffer) {
    if (!isOpen()) {
        throw ZipException::entryNotRead(fileNameInZip_, UNZ_PARAMERROR);
    }
    const std::size_t count = std::min(buffer.size(), kLargestRead);
    const int got = unzReadCurrentFile(unzip_->handle, buffer.data(), static_cast<unsigned>(count));
    if (got < 0) {
        throw ZipException::entryNotRead(fileNameInZip_, got);
    }
    return static_cast<std::size_t>(got);
}

std::string ZipReadStream::readDataOfLength(std::size_t length) {
    std::string data(length, '\0');
    std::size_t filled = 0;
    while (filled < length) {
        const std::size_t got =
            readDataWithBuffer(std::as_writable_bytes(std::span(data.data() + filled, length - filled)));
        if (got == 0) {
            break;
        }
        filled += got;
    }
    data.resize(filled);
    return data;
}

void ZipReadStream::finishedReading() {
    if (!isOpen()) {
        throw ZipException::entryNotClosed(fileNameInZip_, UNZ_PARAMERROR);
    }
    unzip_->openEntry = 0;
    const int error = unzCloseCurrentFile(unzip_->handle);
    if (error != UNZ_OK) {
        throw ZipException::entryNotClosed(fileNameInZip_, error);
    }
}

} // namespace orvaneh
