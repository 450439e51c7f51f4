#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// The practice-management server's answers to the log-in screen, read apart from the screen:
// the list of its databases and the answer to a log-in. Pure functions, any thread.
class CaseFileAnswers {
public:
    struct Database {
        std::string nom;     // SQL name
        std::string libelle; // label
    };
    struct LogIn {
        double code = 0; // 0 accepted, below 100 accepted with a remark, 100 and above refused
        std::string description;
        std::string versionWS;
        std::string intervenantId;
    };

    // The databases that have a name ("Nom", "Libelle"), in the server's order; nothing when
    // the text is not a JSON array.
    static std::optional<std::vector<Database>> databases(std::string_view bytes);
    // Nothing when the text is not a JSON object with a numeric "code". Numbers given for the
    // text fields are written as numbers; other values read as "".
    static std::optional<LogIn> logIn(std::string_view bytes);
};

} // namespace orvaneh
