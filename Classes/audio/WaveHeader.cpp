#include "Classes/audio/WaveHeader.h"

#include "Platform/files/SystemErrorText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvaneh {

namespace {

constexpr std::uint64_t kFirstChunk = 12; // after "RIFF", its size and "WAVE"
constexpr std::size_t kSearchBlock = 64 * 1024;
constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;

std::uint16_t le16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t le32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool isTag(const unsigned char* bytes, const char* tag) {
    return std::memcmp(bytes, tag, 4) == 0;
}

// Reads exactly `count` bytes at `offset`. A short read counts as a failure: the header said
// the bytes were there, so the file changed or is damaged.
bool readAt(int descriptor, void* into, std::size_t count, std::uint64_t offset) {
    auto* cursor = static_cast<char*>(into);
    while (count > 0) {
        auto got = ::pread(descriptor, cursor, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = EIO;
            }
            return false;
        }
        cursor += got;
        count -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

struct Tags {
    std::optional<std::uint64_t> fmt;
    std::optional<std::uint64_t> data;
    bool complete() const { return fmt && data; }
};

enum class Walk { found, absent, broken, unreadable };

// Follows the chunk sizes from byte 12. Absent when the list ends exactly at the end of the
// file without both chunks; broken when a size leads elsewhere.
Walk walkChunks(int descriptor, std::uint64_t fileSize, Tags& tags) {
    std::uint64_t position = kFirstChunk;
    while (position + 8 <= fileSize) {
        std::array<unsigned char, 8> head{};
        if (!readAt(descriptor, head.data(), head.size(), position)) {
            return Walk::unreadable;
        }
        if (!tags.fmt && isTag(head.data(), "fmt ")) {
            tags.fmt = position;
        } else if (!tags.data && isTag(head.data(), "data")) {
            tags.data = position;
        }
        if (tags.complete()) {
            return Walk::found;
        }
        const std::uint64_t size = le32(head.data() + 4);
        position += 8 + size + (size & 1); // bodies are padded to an even length
    }
    return position == fileSize ? Walk::absent : Walk::broken;
}

// A tag found by search is taken only when its chunk fits in the file: the text of a damaged
// "LIST" chunk may hold "data" followed by letters, which read as a huge size.
bool plausibleChunk(int descriptor, std::uint64_t fileSize, std::uint64_t at, std::uint32_t minimumSize) {
    std::array<unsigned char, 8> head{};
    if (at + head.size() > fileSize || !readAt(descriptor, head.data(), head.size(), at)) {
        return false;
    }
    const std::uint32_t size = le32(head.data() + 4);
    return size >= minimumSize && at + head.size() + size <= fileSize;
}

// The first plausible occurrence of each tag from byte 12, streamed in blocks; a tag may
// straddle two blocks.
bool searchTags(int descriptor, std::uint64_t fileSize, Tags& tags) {
    constexpr std::size_t overlap = 3;
    std::vector<char> buffer(kSearchBlock + overlap);
    std::uint64_t position = kFirstChunk;
    std::size_t carried = 0;
    auto look = [&](std::string_view view, std::uint64_t viewStart, const char* tag, std::uint32_t minimum,
                    std::optional<std::uint64_t>& found) {
        for (auto at = view.find(tag); !found && at != std::string_view::npos; at = view.find(tag, at + 1)) {
            if (plausibleChunk(descriptor, fileSize, viewStart + at, minimum)) {
                found = viewStart + at;
            }
        }
    };
    while (position < fileSize && !tags.complete()) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kSearchBlock, fileSize - position));
        if (!readAt(descriptor, buffer.data() + carried, count, position)) {
            return false;
        }
        const std::string_view view(buffer.data(), carried + count);
        const std::uint64_t viewStart = position - carried;
        look(view, viewStart, "fmt ", 16, tags.fmt);
        look(view, viewStart, "data", 0, tags.data);
        position += count;
        carried = std::min(overlap, view.size());
        std::memmove(buffer.data(), buffer.data() + view.size() - carried, carried);
    }
    return true;
}

std::optional<WaveHeader> refuse(std::string* why, std::string text) {
    if (why != nullptr) {
        *why = std::move(text);
    }
    return std::nullopt;
}

std::optional<WaveHeader> unreadable(std::string* why) {
    return refuse(why, "lecture impossible : " + systemErrorText(errno));
}

} // namespace

bool WaveHeader::sameFormatAs(const WaveHeader& other) const {
    return formatTag == other.formatTag && channels == other.channels && sampleRate == other.sampleRate &&
           byteRate == other.byteRate && blockAlign == other.blockAlign &&
           bitsPerSample == other.bitsPerSample;
}

bool WaveHeader::isUncompressed() const {
    return formatTag == kPcm || formatTag == kFloat || formatTag == kExtensible;
}

// Uncompressed audio has fixed-size frames: one sample of every channel, each a whole number of
// bytes. A header that says otherwise cannot be cut on frame boundaries, and a reader that
// trusts one field over another plays noise or silence.
std::optional<std::string> WaveHeader::uncompressedContradiction() const {
    if (!isUncompressed()) {
        return std::nullopt;
    }
    const std::uint32_t bytesPerSample = (bitsPerSample + 7U) / 8U;
    if (bitsPerSample == 0 || blockAlign != channels * bytesPerSample) {
        return "taille d'une trame de " + std::to_string(blockAlign) + " octets au lieu de " +
               std::to_string(channels * bytesPerSample) + " (" + std::to_string(channels) +
               " canal(aux) de " + std::to_string(bitsPerSample) + " bits)";
    }
    if (static_cast<std::uint64_t>(sampleRate) * blockAlign != byteRate) {
        return "débit de " + std::to_string(byteRate) + " octets par seconde au lieu de " +
               std::to_string(static_cast<std::uint64_t>(sampleRate) * blockAlign);
    }
    return std::nullopt;
}

std::optional<WaveHeader> WaveHeader::read(int descriptor, std::string* why) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return unreadable(why);
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse(why, "ce n'est pas un fichier ordinaire : dossier, tube ou périphérique");
    }
    WaveHeader header;
    header.fileSize = static_cast<std::uint64_t>(status.st_size);

    std::array<unsigned char, 12> riff{};
    if (header.fileSize < riff.size()) {
        return refuse(why, "ce n'est pas un fichier WAV (en-tête RIFF/WAVE absent)");
    }
    if (!readAt(descriptor, riff.data(), riff.size(), 0)) {
        return unreadable(why);
    }
    if (!isTag(riff.data(), "RIFF") || !isTag(riff.data() + 8, "WAVE")) {
        return refuse(why, "ce n'est pas un fichier WAV (en-tête RIFF/WAVE absent)");
    }

    Tags tags;
    const Walk walk = walkChunks(descriptor, header.fileSize, tags);
    if (walk == Walk::unreadable) {
        return unreadable(why);
    }
    if (walk == Walk::broken) {
        tags = Tags{};
        header.foundBySearch = true;
        if (!searchTags(descriptor, header.fileSize, tags)) {
            return unreadable(why);
        }
    }

    std::array<unsigned char, 24> fmt{}; // chunk header and the 16 bytes every PCM format has
    if (!tags.fmt || *tags.fmt + fmt.size() > header.fileSize) {
        return refuse(why, "bloc « fmt  » absent ou incomplet");
    }
    if (!readAt(descriptor, fmt.data(), fmt.size(), *tags.fmt)) {
        return unreadable(why);
    }
    header.fmtOffset = *tags.fmt;
    header.formatTag = le16(fmt.data() + 8);
    header.channels = le16(fmt.data() + 10);
    header.sampleRate = le32(fmt.data() + 12);
    header.byteRate = le32(fmt.data() + 16);
    header.blockAlign = le16(fmt.data() + 20);
    header.bitsPerSample = le16(fmt.data() + 22);
    // Without a frame size and a byte rate no time can be turned into a position.
    if (le32(fmt.data() + 4) < 16 || header.channels == 0 || header.byteRate == 0 || header.blockAlign == 0) {
        return refuse(why, "bloc « fmt  » inutilisable");
    }
    header.fmtSize = le32(fmt.data() + 4);
    if (auto contradiction = header.uncompressedContradiction()) {
        return refuse(why, "bloc « fmt  » incohérent : " + *contradiction);
    }

    std::array<unsigned char, 8> data{};
    if (!tags.data || *tags.data + data.size() > header.fileSize) {
        return refuse(why, "bloc « data » absent ou incomplet");
    }
    if (!readAt(descriptor, data.data(), data.size(), *tags.data)) {
        return unreadable(why);
    }
    header.dataOffset = *tags.data;
    header.declaredAudioSize = le32(data.data() + 4);
    header.audioSize =
        std::min<std::uint64_t>(header.declaredAudioSize, header.fileSize - header.audioOffset());
    return header;
}

std::optional<WaveHeader> WaveHeader::readFile(const std::filesystem::path& path, std::string* why) {
    // Without waiting: a tube or a device named as a WAV file is refused, never waited on.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return refuse(why, "ouverture impossible : " + systemErrorText(errno));
    }
    auto header = read(descriptor, why);
    ::close(descriptor);
    return header;
}

} // namespace orvaneh
