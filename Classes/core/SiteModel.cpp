#include "Classes/core/SiteModel.h"

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

std::string SiteModel::addressForDisplay() const {
    auto span = passwordSpan(address);
    if (!span || span->first == span->second) {
        return address;
    }
    return address.substr(0, span->first) + "***" + address.substr(span->second);
}

} // namespace orvaneh
