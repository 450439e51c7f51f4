#pragma once

#include "Platform/network/FtpSecurity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// The FTPS choice of an FTP site as the screens, the command line and the table know it: the
// stored number, the command line's word and the French label. The one place that says what
// each stored number means.
class FtpsMode {
public:
    // Every choice, plain FTP first (the default of a site).
    static const std::vector<FtpSecurity>& all();

    // "off", "offered", "required".
    static std::string name(FtpSecurity mode);
    // The choice a word names (as name() gives them), nothing for any other word.
    static std::optional<FtpSecurity> fromName(std::string_view word);
    // "non (FTP en clair)", "si le serveur le propose", "obligatoire".
    static std::string label(FtpSecurity mode);

    static std::int32_t stored(FtpSecurity mode);
    // The choice a stored number stands for. A number no choice has (written by a later
    // version) reads as required: never less protection than was asked for.
    static FtpSecurity fromStored(std::int64_t number);

    // Said wherever plain FTP is chosen for a site.
    static std::string plainWarning();
};

} // namespace orvaneh
