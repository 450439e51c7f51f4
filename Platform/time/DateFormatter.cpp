#include "Platform/time/DateFormatter.h"

#include <array>
#include <cstdint>
#include <ctime>

namespace orvaneh {

namespace {

// Fixed French names: the process locale is never consulted, so the output does not depend
// on how the machine is set up.
constexpr std::array<std::string_view, 12> monthNames = {"janvier",   "février", "mars",     "avril",
                                                         "mai",       "juin",    "juillet",  "août",
                                                         "septembre", "octobre", "novembre", "décembre"};
constexpr std::array<std::string_view, 12> monthAbbreviations = {
    "janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."};
// Indexed by tm_wday: Sunday first.
constexpr std::array<std::string_view, 7> dayNames = {"dimanche", "lundi",    "mardi", "mercredi",
                                                      "jeudi",    "vendredi", "samedi"};
constexpr std::array<std::string_view, 7> dayAbbreviations = {"dim.", "lun.", "mar.", "mer.",
                                                              "jeu.", "ven.", "sam."};

void appendPadded(std::string& out, long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0) {
        out.push_back('-');
    }
    for (int i = static_cast<int>(digits.size()); i < width; ++i) {
        out.push_back('0');
    }
    out += digits;
}

bool isPatternLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct BrokenDown {
    std::tm fields{};
    long offsetSeconds = 0;
    std::int64_t nanoseconds = 0; // within the second
};

BrokenDown breakDown(WallTime time, DateFormatter::Zone zone) {
    using namespace std::chrono;
    auto seconds = floor<std::chrono::seconds>(time);
    BrokenDown result;
    result.nanoseconds = duration_cast<nanoseconds>(time - seconds).count();
    std::time_t t = static_cast<std::time_t>(seconds.time_since_epoch().count());
    if (zone == DateFormatter::Zone::Utc) {
        gmtime_r(&t, &result.fields);
    } else {
        localtime_r(&t, &result.fields);
        result.offsetSeconds = result.fields.tm_gmtoff;
    }
    return result;
}

void appendOffset(std::string& out, long offsetSeconds, int count) {
    long magnitude = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    long hours = magnitude / 3600;
    long minutes = magnitude / 60 % 60;
    if (count == 5 && offsetSeconds == 0) {
        out.push_back('Z');
        return;
    }
    if (count == 4) {
        out += "UTC";
        if (offsetSeconds == 0) {
            return;
        }
    }
    out.push_back(offsetSeconds < 0 ? '-' : '+');
    appendPadded(out, hours, 2);
    if (count >= 4) {
        out.push_back(':');
    }
    appendPadded(out, minutes, 2);
}

void appendField(std::string& out, char letter, int count, const BrokenDown& date) {
    const std::tm& tm = date.fields;
    switch (letter) {
    case 'y': {
        long long year = static_cast<long long>(tm.tm_year) + 1900;
        if (count == 2) {
            appendPadded(out, (year % 100 + 100) % 100, 2);
        } else {
            appendPadded(out, year, count);
        }
        break;
    }
    case 'M':
        if (count >= 4) {
            out += monthNames[static_cast<std::size_t>(tm.tm_mon)];
        } else if (count == 3) {
            out += monthAbbreviations[static_cast<std::size_t>(tm.tm_mon)];
        } else {
            appendPadded(out, tm.tm_mon + 1, count);
        }
        break;
    case 'd':
        appendPadded(out, tm.tm_mday, count);
        break;
    case 'E':
        out += count >= 4 ? dayNames[static_cast<std::size_t>(tm.tm_wday)]
                          : dayAbbreviations[static_cast<std::size_t>(tm.tm_wday)];
        break;
    case 'H':
        appendPadded(out, tm.tm_hour, count);
        break;
    case 'h':
        appendPadded(out, tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12, count);
        break;
    case 'm':
        appendPadded(out, tm.tm_min, count);
        break;
    case 's':
        appendPadded(out, tm.tm_sec, count);
        break;
    case 'S': {
        // Fractions are truncated, never rounded up into the next second.
        std::string digits;
        appendPadded(digits, date.nanoseconds, 9);
        for (int i = 0; i < count; ++i) {
            out.push_back(i < 9 ? digits[static_cast<std::size_t>(i)] : '0');
        }
        break;
    }
    case 'a':
        out += tm.tm_hour < 12 ? "AM" : "PM";
        break;
    case 'Z':
        appendOffset(out, date.offsetSeconds, count);
        break;
    default:
        out.append(static_cast<std::size_t>(count), letter);
        break;
    }
}

// Reads exactly `width` decimal digits at `position`.
bool readNumber(std::string_view text, std::size_t& position, std::size_t width, int& value) {
    if (position + width > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        char c = text[position + i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    position += width;
    return true;
}

bool expect(std::string_view text, std::size_t& position, char c) {
    if (position < text.size() && text[position] == c) {
        ++position;
        return true;
    }
    return false;
}

} // namespace

std::string DateFormatter::format(std::string_view pattern, WallTime time, Zone zone) {
    BrokenDown date = breakDown(time, zone);
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                out.push_back('\'');
                i += 2;
                continue;
            }
            // Quoted literal up to the closing quote ("''" inside stands for one quote); an
            // unclosed quote runs to the end.
            ++i;
            while (i < pattern.size()) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        out.push_back('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out.push_back(pattern[i++]);
            }
            continue;
        }
        if (!isPatternLetter(c)) {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < pattern.size() && pattern[end] == c) {
            ++end;
        }
        appendField(out, c, static_cast<int>(end - i), date);
        i = end;
    }
    return out;
}

std::optional<WallTime> DateFormatter::parseIso8601(std::string_view text) {
    using namespace std::chrono;
    std::size_t p = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!readNumber(text, p, 4, year) || !expect(text, p, '-') || !readNumber(text, p, 2, month) ||
        !expect(text, p, '-') || !readNumber(text, p, 2, day) || !expect(text, p, 'T') ||
        !readNumber(text, p, 2, hour) || !expect(text, p, ':') || !readNumber(text, p, 2, minute) ||
        !expect(text, p, ':') || !readNumber(text, p, 2, second)) {
        return std::nullopt;
    }
    year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                        std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }

    std::int64_t nanoseconds = 0;
    if (expect(text, p, '.')) {
        std::size_t digits = 0;
        std::int64_t scale = 100'000'000;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            // Beyond nanoseconds the digits cannot be represented; they are dropped.
            if (digits < 9) {
                nanoseconds += (text[p] - '0') * scale;
                scale /= 10;
            }
            ++digits;
            ++p;
        }
        if (digits == 0) {
            return std::nullopt;
        }
    }

    long offsetSeconds = 0;
    if (p < text.size()) {
        if (text[p] == 'Z') {
            ++p;
        } else if (text[p] == '+' || text[p] == '-') {
            bool negative = text[p] == '-';
            ++p;
            int offsetHours = 0, offsetMinutes = 0;
            if (!readNumber(text, p, 2, offsetHours) || !expect(text, p, ':') ||
                !readNumber(text, p, 2, offsetMinutes) || offsetHours > 23 || offsetMinutes > 59) {
                return std::nullopt;
            }
            offsetSeconds = (offsetHours * 3600L + offsetMinutes * 60L) * (negative ? -1 : 1);
        }
    }
    if (p != text.size()) {
        return std::nullopt;
    }

    auto moment = sys_days{date} + hours{hour} + minutes{minute} + seconds{second} - seconds{offsetSeconds};
    return time_point_cast<system_clock::duration>(moment + std::chrono::nanoseconds{nanoseconds});
}

} // namespace orvaneh
