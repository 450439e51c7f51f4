#include "App/cli/DictationFormat.h"

#include "Classes/app/DictationCell.h"
#include "Classes/audio/WaveHeader.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/transport/Uploader.h"
#include "Platform/time/DateFormatter.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace orvaneh {

namespace {

WallTime wallTime(double secondsSince1970) {
    return WallTime(std::chrono::duration_cast<WallTime::duration>(Seconds(secondsSince1970)));
}

} // namespace

std::optional<std::int64_t> DictationFormat::parseIdentifier(const std::string& text) {
    std::int64_t value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string DictationFormat::stateLabel(const DicteeModel& record) {
    // The list's word, so that the command line and the screen never disagree.
    return DictationCell::stateWord(record, record.idDictee != 0 &&
                                                record.idDictee == Uploader::dictationBeingSent());
}

std::string DictationFormat::oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return line;
}

std::string DictationFormat::duration(double seconds) {
    // An undefined or negative length (not measured yet) shows as nothing recorded; the bound
    // keeps the conversion defined, far beyond any recording.
    const long long tenths = std::llround(std::clamp(std::isfinite(seconds) ? seconds : 0.0, 0.0, 1e12) * 10);
    char text[64];
    if (tenths >= 36000) {
        // An hour or more: hours apart, so that minutes stay two digits as in the lists.
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", tenths / 36000, tenths % 36000 / 600,
                      tenths % 600 / 10, tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths % 600 / 10, tenths % 10);
    }
    return text;
}

double DictationFormat::trackSeconds(const DicteeModel& record, bool instruction) {
    const auto stored = static_cast<double>(instruction ? record.dureeInstruction : record.dureeDictee);
    const std::string name =
        "/" + std::string(instruction ? "I" : "") + std::to_string(record.idDictee) + ".wav";
    auto header = WaveHeader::readFile(FileManagerHelper::getPathForFileName(name));
    if (!header || header->sampleRate == 0) {
        return stored;
    }
    return static_cast<double>(header->frameCount()) / header->sampleRate;
}

Json DictationFormat::toJson(const DicteeModel& record) {
    return toJson(record, stateLabel(record));
}

Json DictationFormat::toJson(const DicteeModel& record, const std::string& state) {
    Json json = record.toJson();
    json["etat"] = state;
    json["dureeDicteeSecondes"] = std::round(trackSeconds(record, false) * 1000) / 1000;
    json["dureeInstructionSecondes"] = std::round(trackSeconds(record, true) * 1000) / 1000;
    json["tsTransfert"] =
        record.tsTransfert == 0 ? Json(nullptr) : Json(jsonDate(static_cast<double>(record.tsTransfert)));
    return json;
}

std::string DictationFormat::jsonDate(double secondsSince1970) {
    return DateFormatter::format(kJsonDatePattern, wallTime(secondsSince1970));
}

std::string DictationFormat::textTime(double secondsSince1970) {
    const WallTime moment = wallTime(secondsSince1970);
    const WallTime now = Clock::current()->wallNow();
    const bool today =
        DateFormatter::format("yyyy-MM-dd", moment) == DateFormatter::format("yyyy-MM-dd", now);
    return DateFormatter::format(today ? "HH:mm:ss" : "yyyy-MM-dd HH:mm:ss", moment);
}

} // namespace orvaneh
