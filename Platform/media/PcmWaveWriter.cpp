#include "Platform/media/PcmWaveWriter.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/files/WriteAt.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace orvaneh {

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
static_assert(std::endian::native == std::endian::little, "samples are written as they are");

void append16(std::vector<char>& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void append32(std::vector<char>& out, std::uint32_t value) {
    append16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    append16(out, static_cast<std::uint16_t>(value >> 16));
}

void appendChunkHeader(std::vector<char>& out, const char* id, std::uint32_t size) {
    out.insert(out.end(), id, id + 4);
    append32(out, size);
}

} // namespace

bool PcmWaveWriter::create(const std::string& path, int channels, int sampleRate, std::size_t fillerBytes,
                           std::string* error) {
    path_ = path;
    written_ = 0;
    error_ = 0;
    buffer_.clear();
    if (channels <= 0 || channels > 0xFFFF || sampleRate <= 0 || fillerBytes > kBufferBytes) {
        return fail(error, "format", EINVAL);
    }
    if (!file_.create(path)) {
        return fail(error, "création", errno);
    }
    const auto blockAlign = static_cast<std::uint16_t>(channels * 2);
    buffer_.reserve(kBufferBytes + 128);
    appendChunkHeader(buffer_, "RIFF", 0); // sizes written by finish()
    buffer_.insert(buffer_.end(), {'W', 'A', 'V', 'E'});
    appendChunkHeader(buffer_, "fmt ", 16);
    append16(buffer_, 1); // linear PCM
    append16(buffer_, static_cast<std::uint16_t>(channels));
    append32(buffer_, static_cast<std::uint32_t>(sampleRate));
    append32(buffer_, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    append16(buffer_, blockAlign);
    append16(buffer_, 16);
    if (fillerBytes > 0) {
        appendChunkHeader(buffer_, "FLLR", static_cast<std::uint32_t>(fillerBytes));
        buffer_.insert(buffer_.end(), fillerBytes + (fillerBytes & 1), '\0');
    }
    dataOffset_ = buffer_.size();
    appendChunkHeader(buffer_, "data", 0);
    return true;
}

bool PcmWaveWriter::append(const std::int16_t* samples, std::size_t count) {
    const auto* bytes = reinterpret_cast<const char*>(samples);
    std::size_t remaining = count * sizeof(std::int16_t);
    while (remaining > 0 && error_ == 0) {
        const std::size_t room = kBufferBytes - std::min(kBufferBytes, buffer_.size());
        const std::size_t part = std::min(room, remaining);
        buffer_.insert(buffer_.end(), bytes, bytes + part);
        bytes += part;
        remaining -= part;
        if (buffer_.size() >= kBufferBytes) {
            flush();
        }
    }
    return error_ == 0;
}

bool PcmWaveWriter::flush() {
    if (error_ == 0 && !buffer_.empty()) {
        if (writeAt(file_.descriptor(), buffer_.data(), buffer_.size(), written_)) {
            written_ += buffer_.size();
        } else {
            error_ = errno != 0 ? errno : EIO;
        }
    }
    buffer_.clear();
    return error_ == 0;
}

bool PcmWaveWriter::finish(std::string* error) {
    if (!file_.exists()) {
        return fail(error, "création", EBADF);
    }
    if (!flush()) {
        return fail(error, "écriture", error_);
    }
    const std::uint64_t length = written_;
    if (length - 8 > std::numeric_limits<std::uint32_t>::max()) {
        if (error != nullptr) {
            *error = "Enregistrement trop long pour un fichier WAV : « " + path_ + " »";
        }
        error_ = EFBIG;
        file_.discard();
        return false;
    }
    std::vector<char> size;
    append32(size, static_cast<std::uint32_t>(length - 8));
    append32(size, static_cast<std::uint32_t>(length - dataOffset_ - 8));
    if (!writeAt(file_.descriptor(), size.data(), 4, 4) ||
        !writeAt(file_.descriptor(), size.data() + 4, 4, dataOffset_ + 4)) {
        return fail(error, "écriture", errno);
    }
    const char* step = "";
    if (const int failed = file_.commit(path_, &step); failed != 0) {
        return fail(error, step, failed);
    }
    return true;
}

bool PcmWaveWriter::fail(std::string* error, const std::string& what, int errorNumber) {
    error_ = errorNumber;
    if (error != nullptr) {
        *error = "Impossible d'écrire « " + path_ + " » (" + what + ") : " + systemErrorText(errorNumber);
    }
    file_.discard();
    return false;
}

} // namespace orvaneh
