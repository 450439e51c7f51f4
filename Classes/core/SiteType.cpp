#include "Classes/core/SiteType.h"

namespace orvaneh {

const std::vector<SiteType::Row>& SiteType::table() {
    static const std::vector<Row> rows{
        {Ftp, "FTP", Transport::Ftp, true, false, 0, true},
        {WebService, "service web", Transport::WebService, true, false, 1, true},
        {FtpWithoutSending, "sans envoi", Transport::Ftp, false, false, 0, false},
        {MailProposed, "sans envoi", Transport::WebService, false, false, 1, false},
        {Unused, "autre", Transport::None, false, false, -1, false},
        {TranscriptionService, "service de transcription", Transport::TranscriptionService, true, false, 3,
         true},
        {WebServicePhp, "service web", Transport::WebService, true, true, 2, true},
        {MailProposedPhp, "sans envoi", Transport::WebService, false, true, 2, false},
    };
    return rows;
}

const SiteType::Row* SiteType::find(std::int32_t code) {
    for (const auto& row : table()) {
        if (row.code == code) {
            return &row;
        }
    }
    return nullptr;
}

std::string SiteType::label(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr ? row->label : "autre";
}

bool SiteType::isFtpSite(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->transport == Transport::Ftp;
}

bool SiteType::isWebServiceSite(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->transport == Transport::WebService;
}

bool SiteType::sendsDictations(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->sends;
}

bool SiteType::usesPhpPaths(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->phpPaths;
}

bool SiteType::reachedOverHttps(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr &&
           (row->transport == Transport::WebService || row->transport == Transport::TranscriptionService);
}

bool SiteType::isTranscriptionServiceSite(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->transport == Transport::TranscriptionService;
}

bool SiteType::needsAddress(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr && row->needsAddress;
}

bool SiteType::sendsByMail(std::int32_t code) {
    return code == FtpWithoutSending || code == MailProposed || code == MailProposedPhp;
}

int SiteType::segmentForType(std::int32_t code) {
    const Row* row = find(code);
    return row != nullptr ? row->segment : -1;
}

std::optional<std::int32_t> SiteType::typeForSegment(int segment, bool emailProposed) {
    // The service takes the dictations itself: an e-mail offer means nothing there.
    if (segment == 3) {
        return TranscriptionService;
    }
    if (emailProposed) {
        return MailProposed;
    }
    switch (segment) {
    case 0:
        return Ftp;
    case 1:
        return WebService;
    case 2:
        return WebServicePhp;
    default:
        return std::nullopt;
    }
}

} // namespace orvaneh
