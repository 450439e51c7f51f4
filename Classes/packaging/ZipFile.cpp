#include "Classes/packaging/ZipFile.h"

#include "Classes/packaging/ZipException.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

namespace orvaneh {

namespace {

tm_zip calendarFields(WallTime date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    if (local.tm_year < 80) {
        // Zip dates start in 1980; an earlier clock would wrap into a nonsense date.
        local = std::tm{};
        local.tm_mday = 1;
        local.tm_year = 80;
    }
    tm_zip fields{};
    fields.tm_sec = static_cast<uInt>(local.tm_sec);
    fields.tm_min = static_cast<uInt>(local.tm_min);
    fields.tm_hour = static_cast<uInt>(local.tm_hour);
    fields.tm_mday = static_cast<uInt>(local.tm_mday);
    fields.tm_mon = static_cast<uInt>(local.tm_mon);
    fields.tm_year = static_cast<uInt>(local.tm_year + 1900);
    return fields;
}

WallTime dateOf(const tm_unz& fields) {
    std::tm local{};
    local.tm_sec = static_cast<int>(fields.tm_sec);
    local.tm_min = static_cast<int>(fields.tm_min);
    local.tm_hour = static_cast<int>(fields.tm_hour);
    local.tm_mday = static_cast<int>(fields.tm_mday);
    local.tm_mon = static_cast<int>(fields.tm_mon);
    local.tm_year = static_cast<int>(fields.tm_year) - 1900;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

} // namespace

ZipFile::ZipFile(std::string fileName, ZipFileMode mode)
    : fileName_(std::move(fileName)), mode_(mode), zip_(std::make_shared<ZipHandle>()) {
    switch (mode_) {
    case ZipFileMode::Unzip:
        zip_->handle = unzOpen(fileName_.c_str());
        break;
    case ZipFileMode::Create:
    case ZipFileMode::Append:
        // Held locked until close(), so that a clean-up by another process leaves it alone.
        if (!temporary_.create(fileName_)) {
            break;
        }
        if (mode_ == ZipFileMode::Append) {
            // minizip appends in place; a copy keeps the archive whole until close().
            std::error_code error;
            if (!std::filesystem::is_regular_file(fileName_, error) ||
                !std::filesystem::copy_file(fileName_, temporary_.path(),
                                            std::filesystem::copy_options::overwrite_existing, error)) {
                break;
            }
        }
        zip_->handle = zipOpen(temporary_.path().c_str(),
                               mode_ == ZipFileMode::Create ? APPEND_STATUS_CREATE : APPEND_STATUS_ADDINZIP);
        break;
    default:
        throw ZipException::unknownMode(static_cast<int>(mode_));
    }
    if (zip_->handle == nullptr) {
        discard();
        throw ZipException::archiveNotOpened(fileName_);
    }
}

ZipFile::~ZipFile() {
    if (mode_ == ZipFileMode::Unzip) {
        if (zip_->handle != nullptr) {
            unzClose(zip_->handle);
            zip_->handle = nullptr;
        }
    } else {
        discard();
    }
}

void ZipFile::discard() noexcept {
    if (zip_->handle != nullptr) {
        zipClose(zip_->handle, nullptr);
        zip_->handle = nullptr;
    }
    temporary_.discard();
}

void ZipFile::requireWriting() const {
    if (mode_ == ZipFileMode::Unzip) {
        throw ZipException::openedForReading();
    }
}

void ZipFile::requireReading() const {
    if (mode_ != ZipFileMode::Unzip) {
        throw ZipException::openedForWriting();
    }
}

ZipWriteStream ZipFile::writeFileInZipWithName(const std::string& name, int level) {
    return writeFileInZipWithName(name, Clock::current()->wallNow(), level);
}

// No encrypted entries: Debian's minizip writes a traditional encryption header that unzip
// rejects, and reads none. The system never encrypts.
ZipWriteStream ZipFile::writeFileInZipWithName(const std::string& name, WallTime date, int level) {
    requireWriting();
    if (zip_->handle == nullptr) {
        throw ZipException::entryNotOpened(name, ZIP_PARAMERROR);
    }
    // minizip checks the level only once it has allocated the entry, which then leaks.
    if (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION) {
        throw ZipException::entryNotOpened(name, Z_STREAM_ERROR);
    }
    zip_fileinfo info{};
    info.tmz_date = calendarFields(date);
    const int error = zipOpenNewFileInZip3(zip_->handle, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                           level != 0 ? Z_DEFLATED : 0, level, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                           Z_DEFAULT_STRATEGY, nullptr, 0);
    // minizip ended the previous entry either way.
    zip_->openEntry = 0;
    if (error != ZIP_OK) {
        throw ZipException::entryNotOpened(name, error);
    }
    zip_->openEntry = ++zip_->lastEntry;
    return ZipWriteStream(zip_, zip_->openEntry, name);
}

void ZipFile::close() {
    if (zip_->handle == nullptr) {
        return;
    }
    if (mode_ == ZipFileMode::Unzip) {
        const int error = unzClose(zip_->handle);
        zip_->handle = nullptr;
        if (error != UNZ_OK) {
            throw ZipException::archiveNotClosed(fileName_, error);
        }
        return;
    }
    const int error = zipClose(zip_->handle, nullptr);
    zip_->handle = nullptr;
    zip_->openEntry = 0;
    if (error != ZIP_OK) {
        discard();
        throw ZipException::archiveNotClosed(fileName_, error);
    }
    if (temporary_.commit(fileName_) != 0) {
        discard();
        throw ZipException::archiveNotClosed(fileName_, ZIP_ERRNO);
    }
}

std::size_t ZipFile::numFilesInZip() {
    requireReading();
    unz_global_info64 info{};
    if (zip_->handle == nullptr || unzGetGlobalInfo64(zip_->handle, &info) != UNZ_OK) {
        throw ZipException::directoryNotRead(fileName_, UNZ_PARAMERROR);
    }
    return static_cast<std::size_t>(info.number_entry);
}

std::vector<FileInZipInfo> ZipFile::listFileInZipInfos() {
    std::vector<FileInZipInfo> infos;
    const std::size_t count = numFilesInZip();
    if (count == 0) {
        return infos; // an empty archive has no first entry to go to
    }
    infos.reserve(count);
    goToFirstFileInZip();
    do {
        infos.push_back(getCurrentFileInZipInfo());
    } while (goToNextFileInZip());
    return infos;
}

void ZipFile::goToFirstFileInZip() {
    requireReading();
    const int error = zip_->handle == nullptr ? UNZ_PARAMERROR : unzGoToFirstFile(zip_->handle);
    zip_->openEntry = 0;
    if (error != UNZ_OK) {
        throw ZipException::directoryNotRead(fileName_, error);
    }
}

bool ZipFile::goToNextFileInZip() {
    requireReading();
    const int error = zip_->handle == nullptr ? UNZ_PARAMERROR : unzGoToNextFile(zip_->handle);
    zip_->openEntry = 0;
    if (error == UNZ_END_OF_LIST_OF_FILE) {
        return false;
    }
    if (error != UNZ_OK) {
        throw ZipException::directoryNotRead(fileName_, error);
    }
    return true;
}

bool ZipFile::locateFileInZip(const std::string& name) {
    requireReading();
    const int error = zip_->handle == nullptr ? UNZ_PARAMERROR : unzLocateFile(zip_->handle, name.c_str(), 1);
    zip_->openEntry = 0;
    if (error == UNZ_END_OF_LIST_OF_FILE) {
        return false;
    }
    if (error != UNZ_OK) {
        throw ZipException::directoryNotRead(fileName_, error);
    }
    return true;
}

FileInZipInfo ZipFile::getCurrentFileInZipInfo() {
    requireReading();
    unz_file_info64 raw{};
    std::string name(1024, '\0');
    const int error = zip_->handle == nullptr
                          ? UNZ_PARAMERROR
                          : unzGetCurrentFileInfo64(zip_->handle, &raw, name.data(),
                                                    static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0);
    if (error != UNZ_OK) {
        throw ZipException::directoryNotRead(fileName_, error);
    }
    name.resize(std::min<std::size_t>(raw.size_filename, name.size()));
    FileInZipInfo info;
    info.name = std::move(name);
    info.length = raw.uncompressed_size;
    info.level = FileInZipInfo::levelFromMethodAndFlags(raw.compression_method, raw.flag);
    info.crypted = (raw.flag & 1U) != 0;
    info.size = raw.compressed_size;
    info.date = dateOf(raw.tmu_date);
    info.crc32 = static_cast<std::uint32_t>(raw.crc);
    return info;
}

ZipReadStream ZipFile::readCurrentFileInZip() {
    requireReading();
    const FileInZipInfo info = getCurrentFileInZipInfo();
    const int error = unzOpenCurrentFile(zip_->handle);
    if (error != UNZ_OK) {
        throw ZipException::entryNotOpened(info.name, error);
    }
    zip_->openEntry = ++zip_->lastEntry;
    return ZipReadStream(zip_, zip_->openEntry, info.name);
}

} // namespace orvaneh
