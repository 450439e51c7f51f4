#include "Platform/network/HttpCookieJar.h"

#include "Platform/files/AtomicFile.h"
#include "Platform/json/Json.h"

#include <algorithm>
#include <cctype>

namespace orvaneh {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

Json readAll(const std::filesystem::path& file) {
    auto text = AtomicFile::read(file);
    if (!text) {
        return Json::object();
    }
    Json all = Json::parse(*text, nullptr, false);
    return all.is_object() ? all : Json::object();
}

bool writeAll(const std::filesystem::path& file, const Json& all, std::string* error) {
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return AtomicFile::write(file, all.dump(1, ' ', false, Json::error_handler_t::replace),
                             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error,
                             AtomicFile::Flush::Cached);
}

} // namespace

std::optional<HttpCookieJar::Cookie> HttpCookieJar::parseSetCookie(std::string_view headerValue) {
    std::string_view pair = headerValue.substr(0, headerValue.find(';'));
    const auto equals = pair.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view name = trimmed(pair.substr(0, equals));
    if (name.empty()) {
        return std::nullopt;
    }
    return Cookie{std::string(name), std::string(trimmed(pair.substr(equals + 1)))};
}

bool HttpCookieJar::isRemoval(std::string_view headerValue) {
    std::string lower = lowered(headerValue);
    lower.erase(std::remove(lower.begin(), lower.end(), ' '), lower.end());
    return lower.find(";max-age=0") != std::string::npos;
}

std::string HttpCookieJar::cookieHeader(const std::vector<Cookie>& cookies) {
    std::string header;
    for (const auto& [name, value] : cookies) {
        if (!header.empty()) {
            header += "; ";
        }
        header += name + "=" + value;
    }
    return header;
}

HttpCookieJar::HttpCookieJar(std::filesystem::path file) : file_(std::move(file)) {}

std::vector<HttpCookieJar::Cookie> HttpCookieJar::cookiesFor(const std::string& host) const {
    std::vector<Cookie> cookies;
    const Json all = readAll(file_);
    auto entry = all.find(lowered(host));
    if (entry == all.end() || !entry->is_object()) {
        return cookies;
    }
    for (const auto& [name, value] : entry->items()) {
        if (value.is_string()) {
            cookies.emplace_back(name, value.get<std::string>());
        }
    }
    return cookies;
}

bool HttpCookieJar::takeFromHeaders(const std::string& host, const Headers& headers, std::string* error) {
    Json all;
    bool changed = false;
    for (const auto& [name, value] : headers) {
        if (name != "set-cookie") {
            continue;
        }
        auto cookie = parseSetCookie(value);
        if (!cookie) {
            continue;
        }
        if (!changed) {
            all = readAll(file_);
        }
        Json& cookies = all[lowered(host)];
        if (!cookies.is_object()) {
            cookies = Json::object();
        }
        if (isRemoval(value)) {
            cookies.erase(cookie->first);
        } else {
            cookies[cookie->first] = cookie->second;
        }
        changed = true;
    }
    return !changed || writeAll(file_, all, error);
}

bool HttpCookieJar::clear(const std::string& host, std::string* error) {
    Json all = readAll(file_);
    if (all.erase(lowered(host)) == 0) {
        return true;
    }
    return writeAll(file_, all, error);
}

} // namespace orvaneh
