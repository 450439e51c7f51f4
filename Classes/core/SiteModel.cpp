#include "Classes/core/SiteModel.h"

#include "Classes/core/StoredPasswords.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace orvaneh {

namespace {

// Where the password of "user:password@host" lies in the address, when there is one. The
// password may hold '@' or ':', so the last '@' ends it; the user name holds neither.
std::optional<std::pair<std::size_t, std::size_t>> passwordSpan(const std::string& address) {
    const auto scheme = address.find("://");
    const std::size_t start =
        scheme != std::string::npos && address.find_first_of("/?#") > scheme ? scheme + 3 : 0;
    const auto at = address.rfind('@');
    const auto colon = address.find(':', start);
    if (at == std::string::npos || at < start || colon == std::string::npos || colon >= at ||
        address.substr(start, colon - start).find_first_of("/?#@") != std::string::npos) {
        return std::nullopt;
    }
    return std::make_pair(colon + 1, at);
}

} // namespace

std::string SiteModel::passwordInAddress() const {
    auto span = passwordSpan(address);
    return span ? address.substr(span->first, span->second - span->first) : std::string();
}

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Where "://" ends a scheme made of letters (and the characters a scheme may hold) at the start
// of `text`; npos otherwise, so that "jean:secret@host" or "host/a://b" have none.
std::size_t schemeEnd(const std::string& text) {
    const auto separator = text.find("://");
    if (separator == std::string::npos || separator == 0 ||
        std::isalpha(static_cast<unsigned char>(text[0])) == 0) {
        return std::string::npos;
    }
    const bool valid =
        std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(separator), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
        });
    return valid ? separator : std::string::npos;
}

} // namespace

std::string SiteModel::addressScheme() const {
    const std::string text = trimmed(address);
    const auto end = schemeEnd(text);
    if (end == std::string::npos) {
        return {};
    }
    std::string scheme = text.substr(0, end);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

std::string SiteModel::addressWithoutScheme() const {
    const std::string text = trimmed(address);
    const auto end = schemeEnd(text);
    return end == std::string::npos ? text : trimmed(text.substr(end + 3));
}

std::string SiteModel::addressForDisplay() const {
    auto span = passwordSpan(address);
    if (!span || span->first == span->second) {
        return address;
    }
    return address.substr(0, span->first) + "***" + address.substr(span->second);
}

std::string SiteModel::passwordOutOfReachMessage() const {
    return StoredPasswords::outOfReachMessage(
        "du site « " + name + " »",
        "Rien n'a été envoyé ni importé. Ouvrez une session de bureau où le trousseau est déverrouillé, ou "
        "saisissez le mot de passe à nouveau : « orvaneh-cli site edit " +
            std::to_string(idSite) +
            " --password-stdin » (sans trousseau, il est gardé dans la base du profil).");
}

} // namespace orvaneh
