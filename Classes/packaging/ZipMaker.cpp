#include "Classes/packaging/ZipMaker.h"

#include "Classes/core/FileManagerHelper.h"
#include "Classes/packaging/ZipException.h"
#include "Classes/packaging/ZipFile.h"
#include "Platform/runloop/Clock.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

namespace orvaneh {

namespace {

constexpr int kBestCompression = 9;
constexpr std::size_t kBlock = 64 * 1024;

class InputFile {
public:
    explicit InputFile(const std::string& path) : descriptor_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~InputFile() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    // Bytes read into `buffer`; 0 at the end, -1 on error.
    ssize_t read(std::span<std::byte> buffer) {
        ssize_t got;
        do {
            got = ::read(descriptor_, buffer.data(), buffer.size());
        } while (got < 0 && errno == EINTR);
        return got;
    }

private:
    int descriptor_;
};

} // namespace

std::string ZipMaker::createZipFiles(const std::vector<std::string>& paths, const std::string& name) {
    const std::string archive = FileManagerHelper::getPathForFileName("/" + name + ".zip");
    // One moment for every entry of the job.
    const WallTime date = Clock::current()->wallNow();
    try {
        ZipFile zip(archive, ZipFileMode::Create);
        std::array<std::byte, kBlock> buffer;
        for (const auto& path : paths) {
            const auto slash = path.rfind('/');
            const std::string entryName = slash == std::string::npos ? path : path.substr(slash + 1);
            // A job without one of its files must not leave as if complete.
            InputFile input(path);
            if (!input.isOpen()) {
                throw ZipException::inputNotRead(entryName, ZIP_ERRNO);
            }
            ZipWriteStream stream = zip.writeFileInZipWithName(entryName, date, kBestCompression);
            for (;;) {
                const ssize_t got = input.read(buffer);
                if (got < 0) {
                    throw ZipException::inputNotRead(entryName, ZIP_ERRNO);
                }
                if (got == 0) {
                    break;
                }
                stream.writeData(std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(got)));
            }
            stream.finishedWriting();
        }
        zip.close();
    } catch (const ZipException&) {
        // Nor an archive of an earlier attempt: nothing of this job may be posted.
        ::unlink(archive.c_str());
        throw;
    }
    return archive;
}

} // namespace orvaneh
