#pragma once

#include <string>

namespace orvaneh::test {

// A catalogue the size of a large office: 2,000 users (half authors with two contexts each,
// half typists), 2,000 worktypes and 20 services of 100 members and 100 worktypes each, with
// `jobTitle` as its job-title label and `extra` before the closing tag.
inline std::string largeCatalogue(const std::string& jobTitle, const std::string& extra = {}) {
    constexpr int kEntries = 2000;
    std::string xml = "<Catalogue><LoginUserInfos>";
    for (int index = 0; index < kEntries; ++index) {
        const bool author = index % 2 == 0;
        xml += std::string("<LoginUserInfo><Role>") + (author ? "Dictant" : "Secretaire") +
               "</Role><LoginName>u" + std::to_string(index) + "</LoginName><DisplayName>Utilisateur " +
               std::to_string(index) + "</DisplayName>" +
               (author ? "<Context>Consultation;Urgences</Context>" : "") + "</LoginUserInfo>";
    }
    xml += "</LoginUserInfos><Worktypes>";
    for (int index = 0; index < kEntries; ++index) {
        xml +=
            "<Worktype>W" + std::to_string(index) + ";Courrier;u" + std::to_string(index | 1) + "</Worktype>";
    }
    xml += "</Worktypes><Services>";
    for (int service = 0; service < 20; ++service) {
        xml += "<Service><Guid>g" + std::to_string(service) + "</Guid><Name>Service " +
               std::to_string(service) + "</Name><ServiceUsers>";
        for (int member = service * 100; member < service * 100 + 100; ++member) {
            xml += "<UserId>u" + std::to_string(member) + "</UserId>";
        }
        xml += "</ServiceUsers><ServiceWorktypes>";
        for (int member = service * 100; member < service * 100 + 100; ++member) {
            xml += "<WorktypeId>W" + std::to_string(member) + "</WorktypeId>";
        }
        xml += "</ServiceWorktypes></Service>";
    }
    xml += "</Services><Fields><Field><Key>JobTitle</Key><Value>" + jobTitle + "</Value></Field></Fields>";
    return xml + extra + "</Catalogue>";
}

} // namespace orvaneh::test
