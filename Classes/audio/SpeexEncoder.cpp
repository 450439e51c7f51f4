#include "Classes/audio/SpeexEncoder.h"

#include "Platform/log/Log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <ogg/ogg.h>
#include <optional>
#include <random>
#include <speex/speex.h>
#include <speex/speex_header.h>
#include <speex/speex_stereo.h>
#include <string_view>
#include <vector>

namespace orvaneh {

std::atomic<bool> SpeexEncoder::stopRequested{false};

namespace {

constexpr int kComplexity = 3;
constexpr int kHighpass = 1;
constexpr int kMaxPacketBytes = 2000;
constexpr std::size_t kVendorBufferSize = 64;
constexpr std::size_t kFileBufferSize = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct EncoderDestroyer {
    void operator()(void* state) const { speex_encoder_destroy(state); }
};
using EncoderState = std::unique_ptr<void, EncoderDestroyer>;

struct HeaderPacketFree {
    void operator()(char* packet) const { speex_header_free(packet); }
};

class Bits {
public:
    Bits() { speex_bits_init(&bits_); }
    ~Bits() { speex_bits_destroy(&bits_); }
    Bits(const Bits&) = delete;
    Bits& operator=(const Bits&) = delete;
    SpeexBits* get() { return &bits_; }

private:
    SpeexBits bits_;
};

class OggStream {
public:
    OggStream() = default;
    ~OggStream() {
        if (initialised_) {
            ogg_stream_clear(&stream_);
        }
    }
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;
    bool init(int serial) {
        initialised_ = ogg_stream_init(&stream_, serial) == 0;
        return initialised_;
    }
    ogg_stream_state* get() { return &stream_; }

private:
    ogg_stream_state stream_{};
    bool initialised_ = false;
};

void report(std::string_view text) {
    Log::write(text);
}

std::string systemError(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

std::uint16_t littleEndian16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

void appendLittleEndian32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

bool readExactly(std::FILE* file, void* buffer, std::size_t size) {
    return std::fread(buffer, 1, size, file) == size;
}

// RIFF chunks of odd size carry a pad byte, which the size does not count.
bool skipChunk(std::FILE* file, std::uint32_t size) {
    return fseeko(file, static_cast<off_t>(size) + (size & 1U), SEEK_CUR) == 0;
}

struct AudioFormat {
    int rate = 0;
    int channels = 1;
    int bytesPerSample = 2;
    std::int64_t dataSize = std::numeric_limits<std::int64_t>::max();
};

// Walks the chunk list from byte 12 (where `file` stands) and leaves it at the first byte of
// the audio. Nothing when the header is refused; the reason is logged.
std::optional<AudioFormat> readWaveHeader(std::FILE* file) {
    std::array<unsigned char, 8> chunk{};
    // A "fmt " chunk too short for the format fields, or cut by the end of the file, is as
    // good as none.
    const auto noFormat = [] {
        report("Corrupted WAVE file: no \"fmt \"");
        return std::nullopt;
    };
    for (;;) {
        if (!readExactly(file, chunk.data(), chunk.size())) {
            return noFormat();
        }
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            break;
        }
        if (!skipChunk(file, littleEndian32(chunk.data() + 4))) {
            return noFormat();
        }
    }
    const std::uint32_t formatSize = littleEndian32(chunk.data() + 4);
    std::array<unsigned char, 16> body{};
    if (formatSize < body.size() || !readExactly(file, body.data(), body.size())) {
        return noFormat();
    }
    const int formatTag = littleEndian16(body.data());
    const int channels = littleEndian16(body.data() + 2);
    const std::uint32_t rate = littleEndian32(body.data() + 4);
    const std::uint32_t byteRate = littleEndian32(body.data() + 8);
    const int blockAlign = littleEndian16(body.data() + 12);
    const int bitsPerSample = littleEndian16(body.data() + 14);
    if (formatTag != 1) {
        report("Only PCM encoding is supported");
        return std::nullopt;
    }
    if (channels < 1 || channels > 2) {
        report("Only mono and (intensity) stereo supported");
        return std::nullopt;
    }
    static constexpr std::array<std::uint32_t, 7> supportedRates{8000,  11025, 16000, 22050,
                                                                 32000, 44100, 48000};
    if (std::find(supportedRates.begin(), supportedRates.end(), rate) == supportedRates.end()) {
        report("Only 8 kHz (narrowband) and 16 kHz (wideband) supported (plus 11.025 kHz and 22.05 kHz, but "
               "your mileage may vary)");
        return std::nullopt;
    }
    if (bitsPerSample != 8 && bitsPerSample != 16) {
        report("Only 8/16-bit linear supported");
        return std::nullopt;
    }
    if (byteRate != rate * static_cast<std::uint32_t>(bitsPerSample * channels) / 8) {
        report("Corrupted header: ByteRate mismatch");
        return std::nullopt;
    }
    if (blockAlign != channels * bitsPerSample / 8) {
        report("Corrupted header: BlockAlign mismatch");
        return std::nullopt;
    }
    if (formatSize > body.size() && !skipChunk(file, formatSize - static_cast<std::uint32_t>(body.size()))) {
        return noFormat();
    }
    for (;;) {
        if (!readExactly(file, chunk.data(), chunk.size())) {
            report("Corrupted WAVE file: no \"data\"");
            return std::nullopt;
        }
        if (std::memcmp(chunk.data(), "data", 4) == 0) {
            break;
        }
        if (!skipChunk(file, littleEndian32(chunk.data() + 4))) {
            report("Corrupted WAVE file: no \"data\"");
            return std::nullopt;
        }
    }
    AudioFormat format;
    format.rate = static_cast<int>(rate);
    format.channels = channels;
    format.bytesPerSample = bitsPerSample / 8;
    // Unsigned: the field counts up to 4 GiB, and 0xFFFFFFFF ("unknown") reads to the end.
    format.dataSize = littleEndian32(chunk.data() + 4);
    return format;
}

// Reads one frame at a time, never past the declared audio, into 16-bit interleaved samples.
class FrameReader {
public:
    FrameReader(std::FILE* file, const AudioFormat& format, int frameSize)
        : file_(file), remaining_(format.dataSize), channels_(format.channels),
          bytesPerSample_(format.bytesPerSample),
          bytes_(static_cast<std::size_t>(frameSize * format.channels * format.bytesPerSample)),
          samples_(static_cast<std::size_t>(frameSize * format.channels)) {}

    // The number of whole sample frames read; the rest of the frame is zeros.
    int read() {
        std::size_t got = 0;
        if (remaining_ > 0) {
            const auto asked = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(bytes_.size()), remaining_));
            remaining_ -= static_cast<std::int64_t>(asked);
            got = std::fread(bytes_.data(), 1, asked, file_);
        }
        const std::size_t blockAlign = static_cast<std::size_t>(channels_ * bytesPerSample_);
        const std::size_t frames = got / blockAlign;
        const std::size_t count = frames * static_cast<std::size_t>(channels_);
        if (bytesPerSample_ == 2) {
            for (std::size_t index = 0; index < count; ++index) {
                samples_[index] = static_cast<std::int16_t>(littleEndian16(&bytes_[2 * index]));
            }
        } else {
            for (std::size_t index = 0; index < count; ++index) {
                samples_[index] =
                    static_cast<std::int16_t>(static_cast<std::uint16_t>((bytes_[index] << 8) ^ 0x8000));
            }
        }
        std::fill(samples_.begin() + static_cast<std::ptrdiff_t>(count), samples_.end(), std::int16_t{0});
        return static_cast<int>(frames);
    }

    bool failed() const { return std::ferror(file_) != 0; }
    spx_int16_t* samples() { return samples_.data(); }

private:
    std::FILE* file_;
    std::int64_t remaining_;
    int channels_;
    int bytesPerSample_;
    std::vector<unsigned char> bytes_;
    std::vector<spx_int16_t> samples_;
};

// Rate advice against the chosen mode, by band: only the band the rate falls in is checked.
bool checkRate(int rate, int modeId, const char* modeName) {
    const auto suggest = [&](const char* better) {
        report(std::string("Warning: Trying to encode in ") + modeName + " at " + std::to_string(rate) +
               " Hz. I'll do it but I suggest you try " + better + " instead");
    };
    if (rate > 48000) {
        report("Error: sampling rate too high: " + std::to_string(rate) + " Hz, try down-sampling");
        return false;
    }
    if (rate > 25000) {
        if (modeId != SPEEX_MODEID_UWB) {
            suggest("ultra-wideband");
        }
    } else if (rate > 12500) {
        if (modeId != SPEEX_MODEID_WB) {
            suggest("wideband");
        }
    } else if (rate >= 6000) {
        if (modeId != SPEEX_MODEID_NB) {
            suggest("narrowband");
        }
    } else {
        report("Error: sampling rate too low: " + std::to_string(rate) + " Hz");
        return false;
    }
    if (rate != 8000 && rate != 16000 && rate != 32000) {
        report("Warning: Speex is only optimized for 8, 16 and 32 kHz. It will still work at " +
               std::to_string(rate) + " Hz but your mileage may vary");
    }
    return true;
}

std::vector<unsigned char> commentPacket() {
    const char* version = nullptr;
    speex_lib_ctl(SPEEX_LIB_GET_VERSION_STRING, &version);
    std::array<char, kVendorBufferSize> vendor{};
    std::snprintf(vendor.data(), vendor.size(), "Encoded with Speex %s", version ? version : "");
    const std::size_t length = std::strlen(vendor.data());
    std::vector<unsigned char> packet;
    packet.reserve(length + 8);
    appendLittleEndian32(packet, static_cast<std::uint32_t>(length));
    packet.insert(packet.end(), vendor.data(), vendor.data() + length);
    appendLittleEndian32(packet, 0); // no user comments
    return packet;
}

enum class Outcome { Done, Failed, Stopped };

// One run of `encode`, writing to `output`; every resource is released with the object.
class Encoding {
public:
    Encoding(const std::atomic<bool>& stopRequested, const std::string& source, const std::string& output)
        : stopRequested_(stopRequested), source_(source), output_(output) {}

    Outcome run(int rateSelector) {
        const int modeId = rateSelector == 8    ? SPEEX_MODEID_NB
                           : rateSelector == 32 ? SPEEX_MODEID_UWB
                                                : SPEEX_MODEID_WB;
        const SpeexMode* mode = speex_lib_get_mode(modeId);
        if (!stream_.init(static_cast<int>(std::random_device{}() & 0x7fffffffU))) {
            report("Error: stream init failed");
            return Outcome::Failed;
        }
        const std::optional<AudioFormat> format = openInput(modeId, mode->modeName);
        if (!format) {
            return Outcome::Failed;
        }

        SpeexHeader header{};
        speex_init_header(&header, format->rate, 1, mode);
        header.frames_per_packet = 1;
        header.vbr = 0;
        header.nb_channels = format->channels;
        report("Encoding " + std::to_string(format->rate) + " Hz audio using " + mode->modeName + " mode (" +
               (format->channels == 1 ? "mono" : "stereo") + ")");

        EncoderState state(speex_encoder_init(mode));
        if (!state) {
            report("Compression Speex impossible : codeur non créé");
            return Outcome::Failed;
        }
        outputFile_.reset(std::fopen(output_.c_str(), "wb"));
        if (!outputFile_) {
            report(systemError(output_));
            return Outcome::Failed;
        }
        std::setvbuf(outputFile_.get(), nullptr, _IOFBF, kFileBufferSize);

        int frameSize = 0;
        int complexity = kComplexity;
        int samplingRate = format->rate;
        int highpass = kHighpass;
        int lookahead = 0;
        speex_encoder_ctl(state.get(), SPEEX_GET_FRAME_SIZE, &frameSize);
        speex_encoder_ctl(state.get(), SPEEX_SET_COMPLEXITY, &complexity);
        speex_encoder_ctl(state.get(), SPEEX_SET_SAMPLING_RATE, &samplingRate);
        speex_encoder_ctl(state.get(), SPEEX_SET_HIGHPASS, &highpass);
        speex_encoder_ctl(state.get(), SPEEX_GET_LOOKAHEAD, &lookahead);

        Outcome outcome = writeHeaders(header);
        if (outcome == Outcome::Done) {
            outcome = encodeFrames(*format, state.get(), frameSize, lookahead);
        }
        if (outcome == Outcome::Done) {
            outcome = writePages(true);
        }
        if (outcome == Outcome::Done && std::fclose(outputFile_.release()) != 0) {
            report("Error: failed writing header to output stream");
            outcome = Outcome::Failed;
        }
        return outcome;
    }

private:
    // Opens the source and reads its format; a file without "RIFF" is raw 16-bit mono
    // audio at the mode's own rate. Refusals and advice are logged.
    std::optional<AudioFormat> openInput(int modeId, const char* modeName) {
        input_.reset(std::fopen(source_.c_str(), "rb"));
        if (!input_) {
            report(systemError(source_));
            return std::nullopt;
        }
        std::setvbuf(input_.get(), nullptr, _IOFBF, kFileBufferSize);
        std::array<unsigned char, 12> start{};
        if (!readExactly(input_.get(), start.data(), start.size())) {
            report("short file");
            return std::nullopt;
        }
        if (std::memcmp(start.data(), "RIFF", 4) == 0) {
            std::optional<AudioFormat> format = readWaveHeader(input_.get());
            if (format && !checkRate(format->rate, modeId, modeName)) {
                return std::nullopt;
            }
            return format;
        }
        AudioFormat raw;
        raw.rate = modeId == SPEEX_MODEID_NB ? 8000 : modeId == SPEEX_MODEID_UWB ? 32000 : 16000;
        // The twelve bytes read to look for "RIFF" are audio too.
        std::rewind(input_.get());
        return raw;
    }

    // The Speex header, then the comments, each flushed to a page of its own.
    Outcome writeHeaders(SpeexHeader& header) {
        int headerSize = 0;
        std::unique_ptr<char, HeaderPacketFree> headerPacket(speex_header_to_packet(&header, &headerSize));
        ogg_packet packet{};
        packet.packet = reinterpret_cast<unsigned char*>(headerPacket.get());
        packet.bytes = headerSize;
        packet.b_o_s = 1;
        packet.packetno = 0;
        ogg_stream_packetin(stream_.get(), &packet);
        if (Outcome outcome = writePages(true); outcome != Outcome::Done) {
            return outcome;
        }
        std::vector<unsigned char> comments = commentPacket();
        packet = ogg_packet{};
        packet.packet = comments.data();
        packet.bytes = static_cast<long>(comments.size());
        packet.packetno = 1;
        ogg_stream_packetin(stream_.get(), &packet);
        return writePages(true);
    }

    Outcome encodeFrames(const AudioFormat& format, void* state, int frameSize, int lookahead) {
        Bits bits;
        std::array<unsigned char, kMaxPacketBytes> packetBytes{};
        FrameReader reader(input_.get(), format, frameSize);
        // The decoder drops the encoder's lookahead, so the stream ends once the samples
        // encoded, less the lookahead, cover every sample read.
        std::int64_t samplesRead = reader.read();
        std::int64_t samplesEncoded = -lookahead;
        bool inputExhausted = samplesRead == 0;
        for (std::int64_t frame = 0; !inputExhausted || samplesRead > samplesEncoded; ++frame) {
            if (stopRequested_) {
                return Outcome::Stopped;
            }
            if (format.channels == 2) {
                speex_encode_stereo_int(reader.samples(), frameSize, bits.get());
            }
            speex_encode_int(state, reader.samples(), bits.get());
            samplesEncoded += frameSize;

            const int count = reader.read();
            inputExhausted = count == 0;
            samplesRead += count;

            speex_bits_insert_terminator(bits.get());
            const int size = speex_bits_write(bits.get(), reinterpret_cast<char*>(packetBytes.data()),
                                              static_cast<int>(packetBytes.size()));
            speex_bits_reset(bits.get());

            ogg_packet packet{};
            packet.packet = packetBytes.data();
            packet.bytes = size;
            packet.e_o_s = inputExhausted && samplesRead <= samplesEncoded ? 1 : 0;
            packet.granulepos = std::min((frame + 1) * frameSize - lookahead, samplesRead);
            packet.packetno = 2 + frame;
            ogg_stream_packetin(stream_.get(), &packet);
            if (Outcome outcome = writePages(false); outcome != Outcome::Done) {
                return outcome;
            }
        }
        // A read error is not the end of the recording: shipping the part before it would
        // lose the rest without a word.
        if (reader.failed()) {
            report(systemError(source_));
            return Outcome::Failed;
        }
        return Outcome::Done;
    }

    // Writes the completed pages, or every pending one when `flush`.
    Outcome writePages(bool flush) {
        ogg_page page;
        for (;;) {
            if (stopRequested_) {
                return Outcome::Stopped;
            }
            const int ready =
                flush ? ogg_stream_flush(stream_.get(), &page) : ogg_stream_pageout(stream_.get(), &page);
            if (ready == 0) {
                return Outcome::Done;
            }
            std::FILE* file = outputFile_.get();
            const auto headerLength = static_cast<std::size_t>(page.header_len);
            const auto bodyLength = static_cast<std::size_t>(page.body_len);
            if (std::fwrite(page.header, 1, headerLength, file) != headerLength ||
                std::fwrite(page.body, 1, bodyLength, file) != bodyLength) {
                report("Error: failed writing header to output stream");
                return Outcome::Failed;
            }
        }
    }

    const std::atomic<bool>& stopRequested_;
    const std::string& source_;
    const std::string& output_;
    OggStream stream_;
    File input_;
    File outputFile_;
};

} // namespace

bool SpeexEncoder::encode(const std::string& source, const std::string& destination, int rate) {
    stopRequested = false;
    // Written aside and renamed once complete: the sender ships whatever exists under the
    // destination name, so a cut-off stream must never appear there.
    const std::string partial = destination + ".part";
    const Outcome outcome = Encoding(stopRequested, source, partial).run(rate);
    std::error_code error;
    if (outcome == Outcome::Done) {
        std::filesystem::rename(partial, destination, error);
        if (!error) {
            return true;
        }
        report(destination + ": " + error.message());
    } else if (outcome == Outcome::Stopped) {
        report("Compression Speex interrompue : " + source);
    }
    std::filesystem::remove(partial, error);
    // A stream left by an earlier attempt would otherwise be sent in place of this one.
    std::filesystem::remove(destination, error);
    return false;
}

void SpeexEncoder::stop() {
    stopRequested = true;
}

} // namespace orvaneh
