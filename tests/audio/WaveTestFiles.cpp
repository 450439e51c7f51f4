#include "audio/WaveTestFiles.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

namespace orvaneh::test {

namespace {

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::string chunk(const std::string& tag, const std::string& body) {
    std::string out = tag;
    putLe(out, static_cast<std::uint32_t>(body.size()), 4);
    return out + body + std::string(body.size() % 2, '\0');
}

std::string chunks(const Chunks& list) {
    std::string out;
    for (const auto& [tag, body] : list) {
        out += chunk(tag, body);
    }
    return out;
}

} // namespace

std::size_t Wave::dataOffset() const {
    if (dataFirst) {
        return 12 + chunks(beforeFmt).size();
    }
    return 12 + chunks(beforeFmt).size() + chunk("fmt ", std::string(16, ' ') + fmtExtra).size() +
           chunks(beforeData).size();
}

std::string Wave::bytes() const {
    const auto align = static_cast<std::uint32_t>(blockAlign != 0 ? blockAlign : channels * bits / 8);
    std::string fmt;
    putLe(fmt, 1, 2); // linear PCM
    putLe(fmt, channels, 2);
    putLe(fmt, rate, 4);
    putLe(fmt, byteRate != 0 ? byteRate : rate * align, 4);
    putLe(fmt, align, 2);
    putLe(fmt, bits, 2);
    std::string audio;
    for (const auto sample : samples) {
        putLe(audio,
              bits == 8 ? static_cast<std::uint32_t>((sample >> 8) + 128)
                        : static_cast<std::uint16_t>(sample),
              bits / 8);
    }
    std::string data;
    if (withData) {
        data = chunk("data", audio);
        setLe32(data, 4, dataSize.value_or(static_cast<std::uint32_t>(audio.size())));
    }
    const std::string format = chunk("fmt ", fmt + fmtExtra) + chunks(beforeData);
    std::string body = "WAVE" + chunks(beforeFmt) + (dataFirst ? data + format : format + data);
    std::string file = "RIFF";
    putLe(file, static_cast<std::uint32_t>(body.size() + chunks(afterData).size()), 4);
    return file + body + chunks(afterData);
}

Samples ramp(int first, std::size_t count, int step) {
    Samples samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(first + step * static_cast<int>(i));
    }
    return samples;
}

Samples signal(int sign, double seconds, std::size_t offset) {
    Samples samples(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(sign * static_cast<int>(1 + (i + offset) % 30000));
    }
    return samples;
}

Samples part(const Samples& samples, double from, double to) {
    const auto begin = std::min(samples.size(), static_cast<std::size_t>(from * kRate));
    const auto end = std::min(samples.size(), static_cast<std::size_t>(to * kRate));
    return Samples(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                   samples.begin() + static_cast<std::ptrdiff_t>(end));
}

Samples operator+(Samples first, const Samples& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::uint32_t le32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{static_cast<unsigned char>(bytes.at(at + i))} << (8 * i);
    }
    return value;
}

void setLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::string field;
    putLe(field, value, 4);
    bytes.replace(at, 4, field);
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::map<std::string, std::string> filesIn(const std::filesystem::path& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        files[entry.path().filename().string()] = entry.is_regular_file() ? readBytes(entry.path()) : "";
    }
    return files;
}

Samples samplesFrom(std::string_view bytes, std::size_t offset) {
    Samples samples;
    for (std::size_t at = offset; at + 1 < bytes.size(); at += 2) {
        samples.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                                    static_cast<unsigned char>(bytes[at + 1]) << 8));
    }
    return samples;
}

Samples audioOf(const std::filesystem::path& path) {
    const std::string bytes = readBytes(path);
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = le32(bytes, at + 4);
        if (bytes.compare(at, 4, "data") == 0) {
            return samplesFrom(bytes.substr(0, at + 8 + size), at + 8);
        }
        at += 8 + size + (size & 1U);
    }
    ADD_FAILURE() << path << " has no audio";
    return {};
}

} // namespace orvaneh::test
