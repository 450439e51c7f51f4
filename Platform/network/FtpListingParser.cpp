#include "Platform/network/FtpListingParser.h"

#include <array>
#include <cctype>
#include <charconv>
#include <vector>

namespace orvaneh {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!isDigit(c)) {
            return false;
        }
    }
    return true;
}

struct Token {
    std::string_view text;
    std::size_t end; // offset in the line just past the token
};

std::vector<Token> tokens(std::string_view line) {
    std::vector<Token> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            result.push_back({line.substr(start, i - start), i});
        }
    }
    return result;
}

std::optional<std::uint64_t> number(std::string_view text) {
    std::uint64_t value = 0;
    if (!allDigits(text)) {
        return std::nullopt;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool isMonth(std::string_view text) {
    static constexpr std::array<std::string_view, 12> months = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() != 3) {
        return false;
    }
    std::string lower;
    for (char c : text) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (auto month : months) {
        if (lower == month) {
            return true;
        }
    }
    return false;
}

// "9:05", "12:00" or "2023".
bool isTimeOrYear(std::string_view text) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return text.size() == 4 && allDigits(text);
    }
    return (colon == 1 || colon == 2) && allDigits(text.substr(0, colon)) && text.size() == colon + 3 &&
           allDigits(text.substr(colon + 1));
}

int unixType(char c) {
    switch (c) {
    case 'd':
        return FtpListingEntry::kDirectory;
    case 'l':
        return FtpListingEntry::kLink;
    case 'b':
        return 6;
    case 'c':
        return 2;
    case 'p':
        return 1;
    case 's':
        return 12;
    default:
        return FtpListingEntry::kFile;
    }
}

bool isPermissions(std::string_view text) {
    static constexpr std::string_view types = "-dlbcps";
    static constexpr std::string_view modes = "-rwxsStTlL";
    if (text.size() < 10 || types.find(text[0]) == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 1; i < 10; ++i) {
        if (modes.find(text[i]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// "drwxr-xr-x 2 owner group 4096 Jan 10 12:00 Name": owner and group may be missing, so the
// date (month, day, time or year) anchors the fields; the name follows it after one blank.
std::optional<FtpListingEntry> parseUnix(std::string_view line) {
    auto fields = tokens(line);
    if (fields.size() < 6 || !isPermissions(fields[0].text)) {
        return std::nullopt;
    }
    for (std::size_t i = 2; i + 2 < fields.size(); ++i) {
        const auto& day = fields[i + 1].text;
        if (!isMonth(fields[i].text) || !allDigits(day) || day.size() > 2 ||
            !isTimeOrYear(fields[i + 2].text)) {
            continue;
        }
        auto size = number(fields[i - 1].text);
        std::size_t nameStart = fields[i + 2].end + 1;
        if (!size || nameStart >= line.size()) {
            return std::nullopt;
        }
        FtpListingEntry entry{std::string(line.substr(nameStart)), unixType(fields[0].text[0]), *size};
        if (entry.type == FtpListingEntry::kLink) {
            auto arrow = entry.name.find(" -> ");
            if (arrow != std::string::npos) {
                entry.name.resize(arrow);
            }
        }
        return entry;
    }
    return std::nullopt;
}

// "01-15-24" or "01-15-2024".
bool isDosDate(std::string_view text) {
    if (text.size() != 8 && text.size() != 10) {
        return false;
    }
    return allDigits(text.substr(0, 2)) && (text[2] == '-' || text[2] == '/') &&
           allDigits(text.substr(3, 2)) && text[5] == text[2] && allDigits(text.substr(6));
}

// "10:30AM", "22:30".
bool isDosTime(std::string_view text) {
    if (text.size() > 2) {
        auto suffix = text.substr(text.size() - 2);
        if (suffix == "AM" || suffix == "PM" || suffix == "am" || suffix == "pm") {
            text.remove_suffix(2);
        }
    }
    return text.find(':') != std::string_view::npos && isTimeOrYear(text);
}

// "01-15-24  10:30AM       <DIR>          Name" or "01-15-24  10:30AM     12345 Name".
std::optional<FtpListingEntry> parseDos(std::string_view line) {
    auto fields = tokens(line);
    if (fields.size() < 4 || !isDosDate(fields[0].text) || !isDosTime(fields[1].text)) {
        return std::nullopt;
    }
    FtpListingEntry entry;
    if (fields[2].text == "<DIR>") {
        entry.type = FtpListingEntry::kDirectory;
    } else if (auto size = number(fields[2].text)) {
        entry.size = *size;
    } else {
        return std::nullopt;
    }
    std::size_t nameStart = fields[2].end;
    while (nameStart < line.size() && isBlank(line[nameStart])) {
        ++nameStart;
    }
    entry.name = std::string(line.substr(nameStart));
    return entry;
}

bool isTotalLine(std::string_view line) {
    auto fields = tokens(line);
    return fields.size() == 2 && fields[0].text == "total" && allDigits(fields[1].text);
}

} // namespace

std::ptrdiff_t FtpListingParser::parse(std::string_view bytes, std::optional<FtpListingEntry>& entry,
                                       bool endOfData) {
    entry.reset();
    auto newline = bytes.find('\n');
    std::string_view line = bytes.substr(0, newline);
    std::size_t consumed = newline + 1;
    if (newline == std::string_view::npos) {
        if (!endOfData || bytes.empty()) {
            return 0;
        }
        consumed = bytes.size();
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (tokens(line).empty() || isTotalLine(line)) {
        return static_cast<std::ptrdiff_t>(consumed);
    }
    entry = parseUnix(line);
    if (!entry) {
        entry = parseDos(line);
    }
    return entry ? static_cast<std::ptrdiff_t>(consumed) : -1;
}

} // namespace orvaneh
