#include "Platform/media/InPlaceWaveWriter.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/files/WriteAt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace orvaneh {

namespace {

constexpr std::uint64_t kHeaderBytes = 44;
// The largest data chunk whose RIFF size still fits in 32 bits.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - (kHeaderBytes - 8);
static_assert(std::endian::native == std::endian::little, "samples are written as they are");

void put16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

void put32(unsigned char* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

} // namespace

InPlaceWaveWriter::~InPlaceWaveWriter() {
    finish();
}

bool InPlaceWaveWriter::create(const std::string& path, int channels, int sampleRate, double refreshSeconds,
                               std::string* error) {
    finish();
    path_ = path;
    dataBytes_ = 0;
    unrefreshed_ = 0;
    error_ = 0;
    auto fail = [&](const char* what, int number) {
        error_ = number;
        if (error != nullptr) {
            *error = "Impossible d'écrire « " + path_ + " » (" + what + ") : " + systemErrorText(number);
        }
        return false;
    };
    if (channels <= 0 || channels > 8 || sampleRate <= 0 || !std::isfinite(refreshSeconds) ||
        refreshSeconds < 0) {
        return fail("format", EINVAL);
    }
    blockAlign_ = static_cast<std::uint32_t>(channels) * 2;
    refreshBytes_ = std::max<std::uint64_t>(
        blockAlign_, static_cast<std::uint64_t>(refreshSeconds * sampleRate) * blockAlign_);
    descriptor_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor_ < 0) {
        return fail("création", errno);
    }
    std::array<unsigned char, kHeaderBytes> header{'R', 'I', 'F', 'F', 0,   0,   0,  0, 'W', 'A',
                                                   'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0,   0};
    put16(header.data() + 20, 1); // linear PCM
    put16(header.data() + 22, static_cast<std::uint32_t>(channels));
    put32(header.data() + 24, static_cast<std::uint32_t>(sampleRate));
    put32(header.data() + 28, static_cast<std::uint32_t>(sampleRate) * blockAlign_);
    put16(header.data() + 32, blockAlign_);
    put16(header.data() + 34, 16);
    const char data[] = {'d', 'a', 't', 'a'};
    std::copy(std::begin(data), std::end(data), header.begin() + 36);
    put32(header.data() + 4, static_cast<std::uint32_t>(kHeaderBytes - 8));
    if (!writeAt(descriptor_, header.data(), header.size(), 0)) {
        const int number = errno;
        ::close(descriptor_);
        descriptor_ = -1;
        return fail("écriture", number);
    }
    return true;
}

bool InPlaceWaveWriter::write(const void* bytes, std::size_t count) {
    if (descriptor_ < 0 || error_ != 0) {
        return false;
    }
    if (count > kMaxDataBytes - dataBytes_) {
        error_ = EFBIG;
        return false;
    }
    if (!writeAt(descriptor_, bytes, count, kHeaderBytes + dataBytes_)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    dataBytes_ += count;
    unrefreshed_ += count;
    if (unrefreshed_ >= refreshBytes_) {
        refreshHeader();
    }
    return error_ == 0;
}

bool InPlaceWaveWriter::append(const std::int16_t* samples, std::size_t count) {
    // Whole frames only: a torn frame would shift every channel after it.
    const std::size_t bytes = count * sizeof(std::int16_t) / blockAlign_ * blockAlign_;
    return write(samples, bytes);
}

bool InPlaceWaveWriter::appendSilence(std::size_t count) {
    static constexpr std::array<std::int16_t, 2048> zeros{};
    const std::size_t channels = blockAlign_ / 2;
    const std::size_t most = zeros.size() / channels * channels;
    for (count = count / channels * channels; count > 0;) {
        const std::size_t part = std::min(count, most);
        if (!append(zeros.data(), part)) {
            return false;
        }
        count -= part;
    }
    return error_ == 0;
}

bool InPlaceWaveWriter::refreshHeader() {
    if (descriptor_ < 0) {
        return false;
    }
    unrefreshed_ = 0;
    std::array<unsigned char, 4> size{};
    put32(size.data(), static_cast<std::uint32_t>(kHeaderBytes - 8 + dataBytes_));
    bool ok = writeAt(descriptor_, size.data(), size.size(), 4);
    put32(size.data(), static_cast<std::uint32_t>(dataBytes_));
    ok = ok && writeAt(descriptor_, size.data(), size.size(), 40);
    if (!ok && error_ == 0) {
        error_ = errno != 0 ? errno : EIO;
    }
    return ok;
}

bool InPlaceWaveWriter::finish(std::string* error) {
    if (descriptor_ < 0) {
        return false;
    }
    refreshHeader();
    if (::close(descriptor_) != 0 && error_ == 0) {
        error_ = errno;
    }
    descriptor_ = -1;
    if (error_ != 0 && error != nullptr) {
        *error = error_ == EFBIG ? "Enregistrement trop long pour un fichier WAV : « " + path_ + " »"
                                 : "Impossible d'écrire « " + path_ + " » : " + systemErrorText(error_);
    }
    return error_ == 0;
}

} // namespace orvaneh
