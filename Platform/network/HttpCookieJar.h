#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvaneh {

// Cookies kept per host in a small JSON file, so that a session opened by one request (or one
// process) is presented by the next. The file is read on every question and rewritten whole
// (atomically, owner-only: a session cookie is as good as a password) on every change.
// Attributes other than the name and value are not kept; "Max-Age=0" removes the cookie.
class HttpCookieJar {
public:
    using Cookie = std::pair<std::string, std::string>;
    using Headers = std::vector<std::pair<std::string, std::string>>;

    // The name and value of one Set-Cookie header value; nothing when it names no cookie.
    static std::optional<Cookie> parseSetCookie(std::string_view headerValue);
    // True when the Set-Cookie value asks the client to forget the cookie.
    static bool isRemoval(std::string_view headerValue);
    // "name=value; name2=value2", for a Cookie header.
    static std::string cookieHeader(const std::vector<Cookie>& cookies);

    explicit HttpCookieJar(std::filesystem::path file);

    std::vector<Cookie> cookiesFor(const std::string& host) const;
    // Merges the answer's Set-Cookie headers (lower-case names) into the host's cookies and
    // rewrites the file when something changed. False, with a French reason, when it could not
    // be written.
    bool takeFromHeaders(const std::string& host, const Headers& headers, std::string* error = nullptr);
    bool clear(const std::string& host, std::string* error = nullptr);

private:
    std::filesystem::path file_;
};

} // namespace orvaneh
