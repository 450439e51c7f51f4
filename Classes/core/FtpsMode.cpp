#include "Classes/core/FtpsMode.h"

#include "Platform/localisation/Localization.h"

namespace orvaneh {

const std::vector<FtpSecurity>& FtpsMode::all() {
    static const std::vector<FtpSecurity> modes{FtpSecurity::Plain, FtpSecurity::TlsWhenOffered,
                                                FtpSecurity::TlsRequired};
    return modes;
}

std::string FtpsMode::name(FtpSecurity mode) {
    switch (mode) {
    case FtpSecurity::TlsWhenOffered:
        return "offered";
    case FtpSecurity::TlsRequired:
        return "required";
    case FtpSecurity::Plain:
        break;
    }
    return "off";
}

std::optional<FtpSecurity> FtpsMode::fromName(std::string_view word) {
    for (FtpSecurity mode : all()) {
        if (word == name(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string FtpsMode::label(FtpSecurity mode) {
    switch (mode) {
    case FtpSecurity::TlsWhenOffered:
        return localized("FTPS_MODE_OFFERED", "si le serveur le propose");
    case FtpSecurity::TlsRequired:
        return localized("FTPS_MODE_REQUIRED", "obligatoire");
    case FtpSecurity::Plain:
        break;
    }
    return localized("FTPS_MODE_OFF", "non (FTP en clair)");
}

std::int32_t FtpsMode::stored(FtpSecurity mode) {
    return static_cast<std::int32_t>(mode);
}

FtpSecurity FtpsMode::fromStored(std::int64_t number) {
    for (FtpSecurity mode : all()) {
        if (number == stored(mode)) {
            return mode;
        }
    }
    return FtpSecurity::TlsRequired;
}

std::string FtpsMode::plainWarning() {
    return localized(
        "FTPS_PLAIN_WARNING",
        "En FTP sans chiffrement, le mot de passe et les dictées circulent en clair sur le réseau.");
}

} // namespace orvaneh
