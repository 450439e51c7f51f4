#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The kinds of site (typeSite, stored with each site): how the site's dictations travel, how
// its workflow is imported, and how the site editor shows it. The one place that knows what
// each stored number means.
class SiteType {
public:
    enum Code : std::int32_t {
        Ftp = 1,
        WebService = 2,
        FtpWithoutSending = 3, // an FTP server for the workflow; dictations are not sent
        MailProposed = 4,      // a web service whose dictations would go by e-mail
        Unused = 5,
        TranscriptionService = 6,
        WebServicePhp = 7,   // the web service's PHP variant
        MailProposedPhp = 8, // the PHP variant, dictations by e-mail
    };
    enum class Transport { None, Ftp, WebService, TranscriptionService };

    struct Row {
        Code code;
        const char* label;   // French, for lists and messages
        Transport transport; // how the server is reached (import, and sending when `sends`)
        bool sends;          // dictations of the site are transmitted
        bool phpPaths;       // the web service's PHP addresses
        int segment;         // the editor's transport selector, -1 for none
        bool needsAddress;   // nothing reaches the server without one
    };

    // Every kind, by code.
    static const std::vector<Row>& table();
    // The kind with that stored number, or nullptr for a number no kind has.
    static const Row* find(std::int32_t code);

    // "FTP", "service web", "sans envoi", "service de transcription", or "autre".
    static std::string label(std::int32_t code);
    static bool isFtpSite(std::int32_t code);
    static bool isWebServiceSite(std::int32_t code);
    static bool isTranscriptionServiceSite(std::int32_t code);
    // Reached at "https://" + address (the web services and the transcription service), so an
    // address may start with "https://" or "http://" and no other scheme.
    static bool reachedOverHttps(std::int32_t code);
    static bool sendsDictations(std::int32_t code);
    static bool usesPhpPaths(std::int32_t code);
    static bool needsAddress(std::int32_t code);
    // Sites whose dictations would go by e-mail, which the application does not do.
    static bool sendsByMail(std::int32_t code);

    // The editor's selector: the segment showing a stored type (-1 for none), and the type a
    // segment saves (0 FTP, 1 web service, 2 its PHP variant, 3 transcription service; 4
    // whenever the e-mail switch is on and enabled, except on segment 3, which always saves 6;
    // nothing for an unknown segment, which leaves the type as it was).
    static int segmentForType(std::int32_t code);
    static std::optional<std::int32_t> typeForSegment(int segment, bool emailProposed);
};

} // namespace orvaneh
