#include "audio/WaveTestFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace orvaneh::test {

namespace {

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

std::uint32_t le32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

std::string chunk(const std::string& tag, const std::string& body) {
    std::string out = tag;
    putLe(out, static_cast<std::uint32_t>(body.size()), 4);
    out += body;
    if (body.size() % 2 != 0) {
        out.push_back('\0');
    }
    return out;
}

} // namespace

std::size_t dataOffsetOf(const WaveLayout& layout) {
    std::size_t offset = 12 + 8 + 16;
    for (const auto& [tag, body] : layout.extraChunks) {
        offset += chunk(tag, body).size();
    }
    return offset;
}

std::string waveBytes(const std::vector<std::int16_t>& samples, const WaveLayout& layout) {
    const auto blockAlign = static_cast<std::uint16_t>(2 * layout.channels);
    std::string fmt;
    putLe(fmt, 1, 2); // linear PCM
    putLe(fmt, layout.channels, 2);
    putLe(fmt, layout.sampleRate, 4);
    putLe(fmt, layout.sampleRate * blockAlign, 4);
    putLe(fmt, blockAlign, 2);
    putLe(fmt, 16, 2);
    std::string audio;
    for (auto sample : samples) {
        putLe(audio, static_cast<std::uint16_t>(sample), 2);
    }
    std::string body = "WAVE" + chunk("fmt ", fmt);
    for (const auto& [tag, contents] : layout.extraChunks) {
        body += chunk(tag, contents);
    }
    body += chunk("data", audio);
    for (const auto& [tag, contents] : layout.trailingChunks) {
        body += chunk(tag, contents);
    }
    std::string file = "RIFF";
    putLe(file, static_cast<std::uint32_t>(body.size()), 4);
    return file + body;
}

std::pair<std::string, std::string> listChunkMentioningData() {
    std::string comment = "dictation data recorded on the phone";
    comment.push_back('\0');
    std::string body = "INFOICMT";
    putLe(body, static_cast<std::uint32_t>(comment.size()), 4);
    return {"LIST", body + comment};
}

std::vector<std::int16_t> ramp(int first, std::size_t count, int step) {
    std::vector<std::int16_t> samples(count);
    int value = first;
    for (auto& sample : samples) {
        sample = static_cast<std::int16_t>(value);
        value += step;
    }
    return samples;
}

std::vector<std::int16_t> spliced(std::vector<std::int16_t> samples, std::size_t at,
                                  const std::vector<std::int16_t>& inserted) {
    samples.insert(samples.begin() + static_cast<std::ptrdiff_t>(at), inserted.begin(), inserted.end());
    return samples;
}

std::vector<std::int16_t> without(std::vector<std::int16_t> samples, std::size_t from, std::size_t to) {
    samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(from),
                  samples.begin() + static_cast<std::ptrdiff_t>(to));
    return samples;
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
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

WaveContents readWave(const std::filesystem::path& path, std::size_t dataOffset) {
    const std::string bytes = readBytes(path);
    WaveContents contents;
    contents.length = bytes.size();
    if (bytes.size() < dataOffset + 8) {
        throw std::runtime_error(path.string() + " is shorter than its header");
    }
    contents.beforeData = bytes.substr(0, dataOffset);
    contents.dataTag = bytes.substr(dataOffset, 4);
    contents.riffSize = le32At(bytes, 4);
    contents.dataSize = le32At(bytes, dataOffset + 4);
    for (std::size_t at = dataOffset + 8; at + 1 < bytes.size(); at += 2) {
        const auto value = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
        contents.samples.push_back(static_cast<std::int16_t>(value));
    }
    return contents;
}

std::vector<std::string> namesIn(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace orvaneh::test
