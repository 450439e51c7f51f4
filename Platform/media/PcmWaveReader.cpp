#include "Platform/media/PcmWaveReader.h"

#include <array>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatExtensible = 0xFFFE;
constexpr std::size_t fmtSize = 16;
static_assert(std::endian::native == std::endian::little, "samples are read in place");

std::uint16_t read16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t read32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(read16(bytes)) | static_cast<std::uint32_t>(read16(bytes + 2)) << 16;
}

// Up to `count` bytes at `offset`; how many were read (fewer at the end or on an error).
std::size_t readAt(int descriptor, void* into, std::size_t count, std::uint64_t offset) {
    auto* cursor = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < count) {
        const auto got = ::pread(descriptor, cursor + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

struct PcmWaveReader::File {
    explicit File(int fd) : descriptor(fd) {}
    ~File() { ::close(descriptor); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    int descriptor;
};

std::optional<PcmWaveReader> PcmWaveReader::open(const std::filesystem::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    auto file = std::make_shared<const File>(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);

    std::array<unsigned char, 12> riff{};
    if (readAt(descriptor, riff.data(), riff.size(), 0) != riff.size() ||
        std::string_view(reinterpret_cast<const char*>(riff.data()), 4) != "RIFF" ||
        std::string_view(reinterpret_cast<const char*>(riff.data() + 8), 4) != "WAVE") {
        return std::nullopt;
    }
    // The first 26 bytes of "fmt " hold everything read here, up to an extensible sub-format.
    std::array<unsigned char, 26> format{};
    std::size_t formatPresent = 0;
    bool haveFormat = false;
    std::optional<std::uint64_t> audioOffset;
    std::uint64_t audioSize = 0;
    std::uint64_t offset = 12;
    while (offset + 8 <= fileSize && !(haveFormat && audioOffset)) {
        std::array<unsigned char, 8> head{};
        if (readAt(descriptor, head.data(), head.size(), offset) != head.size()) {
            return std::nullopt;
        }
        const std::string_view id(reinterpret_cast<const char*>(head.data()), 4);
        const std::uint64_t size = read32(head.data() + 4);
        const std::uint64_t body = offset + 8;
        const std::uint64_t present = std::min(size, fileSize - body);
        if (id == "fmt " && !haveFormat) {
            haveFormat = true;
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(present, format.size()));
            formatPresent = readAt(descriptor, format.data(), wanted, body);
        } else if (id == "data" && !audioOffset) {
            audioOffset = body;
            audioSize = present;
        }
        offset = body + size + (size & 1);
    }
    if (!haveFormat || !audioOffset || formatPresent < fmtSize) {
        return std::nullopt;
    }
    auto tag = read16(format.data());
    if (tag == formatExtensible && formatPresent >= 26) {
        tag = read16(format.data() + 24); // the sub-format's leading tag
    }
    const auto channels = read16(format.data() + 2);
    const auto sampleRate = read32(format.data() + 4);
    const auto blockAlign = read16(format.data() + 12);
    const auto bitsPerSample = read16(format.data() + 14);
    if (tag != formatPcm || bitsPerSample != 16 || channels == 0 || blockAlign != channels * 2 ||
        sampleRate == 0 || sampleRate > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    PcmWaveReader reader;
    reader.file_ = std::move(file);
    reader.channels_ = channels;
    reader.sampleRate_ = static_cast<int>(sampleRate);
    reader.audioOffset_ = *audioOffset;
    reader.frameCount_ = static_cast<std::size_t>(audioSize / blockAlign);
    return reader;
}

double PcmWaveReader::duration() const {
    return static_cast<double>(frameCount_) / sampleRate_;
}

void PcmWaveReader::readFrames(std::size_t first, std::size_t count,
                               std::vector<std::int16_t>& samples) const {
    const std::size_t frames = first < frameCount_ ? std::min(count, frameCount_ - first) : 0;
    const auto frameBytes = static_cast<std::size_t>(channels_) * 2;
    samples.resize(frames * static_cast<std::size_t>(channels_));
    // Little-endian samples land as they are on this machine; the result is cut to whole frames.
    const std::size_t got = file_ ? readAt(file_->descriptor, samples.data(), frames * frameBytes,
                                           audioOffset_ + static_cast<std::uint64_t>(first) * frameBytes)
                                  : 0;
    samples.resize(got / frameBytes * static_cast<std::size_t>(channels_));
}

} // namespace orvaneh
