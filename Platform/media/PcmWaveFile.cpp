#include "Platform/media/PcmWaveFile.h"

#include "Platform/files/AtomicFile.h"

#include <limits>

namespace orvaneh {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatExtensible = 0xFFFE;
constexpr std::size_t fmtSize = 16;

std::uint16_t read16(std::string_view bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

std::uint32_t read32(std::string_view bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(read16(bytes, offset)) |
           static_cast<std::uint32_t>(read16(bytes, offset + 2)) << 16;
}

void append16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void append32(std::string& out, std::uint32_t value) {
    append16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    append16(out, static_cast<std::uint16_t>(value >> 16));
}

void appendChunkHeader(std::string& out, std::string_view id, std::size_t size) {
    out.append(id);
    append32(out, static_cast<std::uint32_t>(size));
}

} // namespace

PcmWaveFile::PcmWaveFile(int channels, int sampleRate, std::vector<std::int16_t> samples)
    : channels_(channels), sampleRate_(sampleRate), samples_(std::move(samples)) {}

std::size_t PcmWaveFile::frameCount() const {
    return channels_ > 0 ? samples_.size() / static_cast<std::size_t>(channels_) : 0;
}

double PcmWaveFile::duration() const {
    return sampleRate_ > 0 ? static_cast<double>(frameCount()) / sampleRate_ : 0;
}

std::int16_t PcmWaveFile::sample(std::size_t frame, int channel) const {
    return samples_[frame * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(channel)];
}

std::optional<PcmWaveFile> PcmWaveFile::read(const std::filesystem::path& path) {
    auto bytes = AtomicFile::read(path);
    if (!bytes) {
        return std::nullopt;
    }
    return parse(*bytes);
}

std::optional<PcmWaveFile> PcmWaveFile::parse(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    std::optional<std::string_view> format;
    std::optional<std::string_view> data;
    std::uint64_t offset = 12;
    while (offset + 8 <= bytes.size() && !(format && data)) {
        auto at = static_cast<std::size_t>(offset);
        auto id = bytes.substr(at, 4);
        std::uint64_t size = read32(bytes, at + 4);
        auto body = at + 8;
        auto present = static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes.size() - body));
        if (id == "fmt " && !format) {
            format = bytes.substr(body, present);
        } else if (id == "data" && !data) {
            data = bytes.substr(body, present);
        }
        offset = body + size + (size & 1);
    }
    if (!format || !data || format->size() < fmtSize) {
        return std::nullopt;
    }
    auto tag = read16(*format, 0);
    if (tag == formatExtensible && format->size() >= 26) {
        tag = read16(*format, 24); // the sub-format's leading tag
    }
    auto channels = read16(*format, 2);
    auto sampleRate = read32(*format, 4);
    auto blockAlign = read16(*format, 12);
    auto bitsPerSample = read16(*format, 14);
    if (tag != formatPcm || bitsPerSample != 16 || channels == 0 || blockAlign != channels * 2 ||
        sampleRate == 0 || sampleRate > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    auto frames = data->size() / blockAlign;
    std::vector<std::int16_t> samples(frames * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(read16(*data, i * 2));
    }
    return PcmWaveFile(channels, static_cast<int>(sampleRate), std::move(samples));
}

std::string PcmWaveFile::encode(std::size_t fillerBytes) const {
    auto dataBytes = samples_.size() * 2;
    auto fillerChunk = fillerBytes > 0 ? 8 + fillerBytes + (fillerBytes & 1) : 0;
    auto riffSize = 4 + (8 + fmtSize) + fillerChunk + 8 + dataBytes;
    if (riffSize > std::numeric_limits<std::uint32_t>::max() || channels_ <= 0 || channels_ > 0xFFFF ||
        sampleRate_ <= 0) {
        return {};
    }
    auto channels = static_cast<std::uint16_t>(channels_);
    auto blockAlign = static_cast<std::uint16_t>(channels * 2);
    std::string out;
    out.reserve(8 + riffSize);
    appendChunkHeader(out, "RIFF", riffSize);
    out.append("WAVE");
    appendChunkHeader(out, "fmt ", fmtSize);
    append16(out, formatPcm);
    append16(out, channels);
    append32(out, static_cast<std::uint32_t>(sampleRate_));
    append32(out, static_cast<std::uint32_t>(sampleRate_) * blockAlign);
    append16(out, blockAlign);
    append16(out, 16);
    if (fillerBytes > 0) {
        appendChunkHeader(out, "FLLR", fillerBytes);
        out.append(fillerBytes + (fillerBytes & 1), '\0');
    }
    appendChunkHeader(out, "data", dataBytes);
    for (auto value : samples_) {
        append16(out, static_cast<std::uint16_t>(value));
    }
    return out;
}

bool PcmWaveFile::write(const std::filesystem::path& path, std::size_t fillerBytes,
                        std::string* error) const {
    auto bytes = encode(fillerBytes);
    if (bytes.empty()) {
        if (error != nullptr) {
            *error = "Enregistrement trop long pour un fichier WAV : « " + path.string() + " »";
        }
        return false;
    }
    return AtomicFile::write(path, bytes,
                             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
}

} // namespace orvaneh
