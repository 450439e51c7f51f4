// The WAV operations of FileManagerHelper: the recorder's insertion of a take and its cut.
// Edits stream the files (in the kernel when it can, otherwise through one 64 KiB buffer), so
// an hour-long track costs no more memory than a one-minute one.
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/FileManagerHelper.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/files/TemporaryFile.h"
#include "Platform/files/WriteAt.h"
#include "Platform/log/Log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvaneh {

namespace {

constexpr std::size_t kCopyBuffer = 64 * 1024;

std::string inQuotes(const std::string& path) {
    return "« " + path + " »";
}

// Closes the descriptor on every way out.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// An input of an edit, open for the whole edit so that what was read of its header is what
// gets copied.
struct OpenWave {
    Descriptor file;
    WaveHeader header;
};

std::optional<OpenWave> openWave(const std::string& path) {
    // Without waiting: a tube given as a take is refused by the header check, not waited on.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        Log::write("Impossible d'ouvrir le fichier audio " + inQuotes(path) + " : " + systemErrorText(errno));
        return std::nullopt;
    }
    std::string why;
    auto header = WaveHeader::read(file.get(), &why);
    if (header && !header->isUncompressed()) {
        why = "audio compressé (format " + std::to_string(header->formatTag) +
              ") : il ne se coupe pas sur des échantillons";
        header.reset();
    }
    // A "fmt " chunk after the audio is copied into a header of our own: it must be whole.
    if (header && !header->headerIsCopyable() && header->fmtOffset + 8 + header->fmtSize > header->fileSize) {
        why = "bloc « fmt  » incomplet";
        header.reset();
    }
    if (!header) {
        Log::write("Fichier audio refusé " + inQuotes(path) + " : " + why);
        return std::nullopt;
    }
    return OpenWave{std::move(file), *header};
}

void putLe32(unsigned char* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// The output of an edit: a hidden file beside the final name, renamed over it once complete
// and removed otherwise, so a failed edit never leaves a partial track under that name. It is
// locked while written, so that a clean-up at start-up leaves a live edit's output alone.
class PendingOutput {
public:
    explicit PendingOutput(std::string path) : path_(std::move(path)) {}

    int descriptor() const { return file_.descriptor(); }
    // The errno of the step that failed; 0 while none has.
    int error() const { return error_; }

    bool create() { return file_.create(path_) || fail("création", errno); }

    // Appends `length` bytes of `from` taken at `offset`.
    bool append(int from, std::uint64_t offset, std::uint64_t length) {
        while (length > 0) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(length, 1U << 30));
            const ssize_t copied =
                inKernel_ ? copyInKernel(from, offset, chunk) : copyThroughBuffer(from, offset, chunk);
            if (copied < 0 && errno == EINTR) {
                continue;
            }
            if (copied < 0 && inKernel_ &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                 errno == EPERM)) {
                inKernel_ = false; // another file system or an older kernel: copy by hand
                continue;
            }
            if (copied <= 0) {
                // 0: the input ends before its header said it would; it changed under the edit.
                return fail("copie", copied == 0 ? EIO : errno);
            }
            offset += static_cast<std::uint64_t>(copied);
            length -= static_cast<std::uint64_t>(copied);
            written_ += static_cast<std::uint64_t>(copied);
        }
        return true;
    }

    bool appendBytes(const unsigned char* bytes, std::size_t count) {
        if (!writeAt(file_.descriptor(), bytes, count, written_)) {
            return fail("écriture", errno);
        }
        written_ += count;
        return true;
    }

    bool sized(bool ok) { return ok || fail("mise à jour des tailles", errno); }

    // Not flushed to disk, like the copy the recorder makes of it next: a crash loses at most
    // the edit in progress, never the inputs, which are only read.
    bool commit() {
        const char* step = "";
        const int error = file_.commit(path_, &step);
        return error == 0 || fail(step, error);
    }

private:
    ssize_t copyInKernel(int from, std::uint64_t offset, std::size_t count) {
        auto in = static_cast<off_t>(offset);
        auto out = static_cast<off_t>(written_);
        return ::copy_file_range(from, &in, file_.descriptor(), &out, count, 0);
    }

    ssize_t copyThroughBuffer(int from, std::uint64_t offset, std::size_t count) {
        buffer_.resize(kCopyBuffer);
        const auto got =
            ::pread(from, buffer_.data(), std::min(count, buffer_.size()), static_cast<off_t>(offset));
        if (got <= 0) {
            return got;
        }
        if (!writeAt(file_.descriptor(), reinterpret_cast<const unsigned char*>(buffer_.data()),
                     static_cast<std::size_t>(got), written_)) {
            return -1;
        }
        return got;
    }

    bool fail(const char* what, int errorNumber) {
        error_ = errorNumber;
        Log::write("Impossible d'écrire le fichier audio " + inQuotes(path_) + " (" + what +
                   ") : " + systemErrorText(errorNumber));
        return false;
    }

    std::string path_;
    TemporaryFile file_;
    std::uint64_t written_ = 0;
    bool inKernel_ = true;
    std::vector<char> buffer_;
    int error_ = 0;
};

// Writes the header of an edit's output, up to the data size field, which the repair fills:
// the track's own bytes when they form a clean header, otherwise RIFF, a "fmt " chunk and a
// "data" chunk header, so that every reader finds the format before the audio. Integer PCM
// needs only the 16 common bytes of "fmt " (some readers stumble on an odd-sized one); other
// formats keep their whole body. `dataOffset` receives where the "data" tag lies in the output.
bool writeHeader(PendingOutput& out, const OpenWave& track, std::uint64_t& dataOffset) {
    const WaveHeader& wave = track.header;
    if (wave.headerIsCopyable()) {
        dataOffset = wave.dataOffset;
        return out.append(track.file.get(), 0, wave.audioOffset());
    }
    const std::uint32_t body = wave.formatTag == 1 ? 16 : wave.fmtSize;
    std::array<unsigned char, 20> head{'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                       'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    putLe32(head.data() + 16, body);
    const unsigned char pad[1] = {0};
    const unsigned char data[8] = {'d', 'a', 't', 'a', 0, 0, 0, 0};
    dataOffset = head.size() + body + (body & 1U);
    return out.appendBytes(head.data(), head.size()) &&
           out.append(track.file.get(), wave.fmtOffset + 8, body) &&
           ((body & 1U) == 0 || out.appendBytes(pad, sizeof pad)) && out.appendBytes(data, sizeof data);
}

// A failed edit leaves no output behind, not even one from an earlier edit, which the recorder
// would otherwise take for the result. An output that is one of the inputs is left alone.
// `error`, when given, receives `writeError`: the errno of the output's failed write, 0 when an
// input was the cause.
bool abandon(const std::string& output, std::initializer_list<const std::string*> inputs, int* error,
             int writeError = 0) {
    if (error != nullptr) {
        *error = writeError;
    }
    std::error_code ignored;
    for (const std::string* input : inputs) {
        if (std::filesystem::equivalent(output, *input, ignored)) {
            return false;
        }
    }
    std::filesystem::remove(output, ignored);
    return false;
}

// The byte position of a time in the audio: the nearest sample frame, no further than the
// last whole frame. Nearest rather than truncated: the slider's times are binary fractions,
// and 0.7 s must not land one frame early.
std::uint64_t framePosition(double seconds, const WaveHeader& wave) {
    if (!(seconds > 0)) {
        return 0; // also a position that is not a number
    }
    const double frame = std::round(seconds * wave.byteRate / wave.blockAlign);
    const auto frames = wave.frameCount();
    const std::uint64_t kept =
        frame < static_cast<double>(frames) ? static_cast<std::uint64_t>(frame) : frames;
    return kept * wave.blockAlign;
}

// A cut bound: as above, but a bound at the end reaches the very end, so that an incomplete
// last frame goes with the rest.
std::uint64_t cutPosition(double seconds, const WaveHeader& wave) {
    const auto position = framePosition(seconds, wave);
    return position == wave.frameCount() * wave.blockAlign ? wave.audioSize : position;
}

} // namespace

float FileManagerHelper::getNbrBytePerSecFromHandledFile(int descriptor) {
    if (descriptor < 0) {
        return 0;
    }
    const auto header = WaveHeader::read(descriptor);
    const std::uint32_t byteRate = header ? header->byteRate : 0;
    Log::write("NbrBytePerSec : " + std::to_string(byteRate));
    return static_cast<float>(byteRate);
}

float FileManagerHelper::getSampleRateForDictationAtPath(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return std::trunc(getNbrBytePerSecFromHandledFile(file.get()));
}

std::int32_t FileManagerHelper::getValueToSeekWithTime(float seconds, std::int32_t bytesPerSecond) {
    if (seconds == 0.0F || std::isnan(seconds)) {
        return 4;
    }
    // Single precision as the recorder computes it; saturated so that the conversion and the
    // rounding up below stay within 32 bits.
    constexpr float highest = 2147483520.0F; // the largest float below 2^31 − 3, a multiple of 4
    const float product = std::clamp(static_cast<float>(bytesPerSecond) * seconds, -highest, highest);
    const auto value = static_cast<std::int32_t>(product);
    switch (value % 4) {
    case 1:
        return value - 1;
    case 2:
        return value + 2;
    case 3:
        return value + 1;
    default:
        return value;
    }
}

bool FileManagerHelper::updateLengthOfNewFile(int descriptor, std::uint64_t dataOffset) {
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0) {
        return false;
    }
    auto length = static_cast<std::uint64_t>(status.st_size);
    if (length < dataOffset) {
        return false; // the chunks before the audio are not all there
    }
    std::array<unsigned char, 8> dataHeader{'d', 'a', 't', 'a', 0, 0, 0, 0};
    if (length < dataOffset + dataHeader.size()) {
        // No audio made it: the chunk header is completed and declares none.
        if (!writeAt(descriptor, dataHeader.data(), dataHeader.size(), dataOffset)) {
            return false;
        }
        length = dataOffset + dataHeader.size();
    }
    if (length - 8 > std::numeric_limits<std::uint32_t>::max()) {
        errno = EFBIG;
        return false;
    }
    std::array<unsigned char, 4> size{};
    putLe32(size.data(), static_cast<std::uint32_t>(length - 8));
    if (!writeAt(descriptor, size.data(), size.size(), 4)) {
        return false;
    }
    putLe32(size.data(), static_cast<std::uint32_t>(length - dataOffset - dataHeader.size()));
    return writeAt(descriptor, size.data(), size.size(), dataOffset + 4);
}

bool FileManagerHelper::insertWaveFile(const std::string& take, const std::string& base,
                                       const std::string& output, double seconds, int* error) {
    auto track = openWave(base);
    auto added = track ? openWave(take) : std::nullopt;
    if (!added) {
        return abandon(output, {&take, &base}, error);
    }
    const WaveHeader& into = track->header;
    const WaveHeader& from = added->header;
    // Spliced bytes of another layout or rate would play as noise or at the wrong speed.
    if (!from.sameFormatAs(into)) {
        Log::write("Format audio de " + inQuotes(take) + " différent de celui de " + inQuotes(base) +
                   " : insertion refusée");
        return abandon(output, {&take, &base}, error);
    }

    const std::uint64_t at = framePosition(seconds, into);
    PendingOutput out(output);
    std::uint64_t dataOffset = 0;
    // A take's incomplete last frame is left out: it would shift every sample after it.
    const std::uint64_t takeAudio = from.frameCount() * from.blockAlign;
    const bool ok = out.create() && writeHeader(out, *track, dataOffset) &&
                    out.append(track->file.get(), into.audioOffset(), at) &&
                    out.append(added->file.get(), from.audioOffset(), takeAudio) &&
                    out.append(track->file.get(), into.audioOffset() + at, into.audioSize - at) &&
                    out.sized(updateLengthOfNewFile(out.descriptor(), dataOffset)) && out.commit();
    return ok || abandon(output, {&take, &base}, error, out.error());
}

bool FileManagerHelper::deleteChunkBetweenPos1(double firstSeconds, double secondSeconds,
                                               const std::string& source, const std::string& output,
                                               int* error) {
    auto track = openWave(source);
    if (!track) {
        return abandon(output, {&source}, error);
    }
    const WaveHeader& wave = track->header;
    const std::uint64_t first = cutPosition(firstSeconds, wave);
    const std::uint64_t second = cutPosition(secondSeconds, wave);
    const std::uint64_t from = std::min(first, second);
    const std::uint64_t to = std::max(first, second);

    PendingOutput out(output);
    std::uint64_t dataOffset = 0;
    const bool ok = out.create() && writeHeader(out, *track, dataOffset) &&
                    out.append(track->file.get(), wave.audioOffset(), from) &&
                    out.append(track->file.get(), wave.audioOffset() + to, wave.audioSize - to) &&
                    out.sized(updateLengthOfNewFile(out.descriptor(), dataOffset)) && out.commit();
    return ok || abandon(output, {&source}, error, out.error());
}

} // namespace orvaneh
