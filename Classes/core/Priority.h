#pragma once

#include <string>
#include <vector>

namespace orvaneh {

// The priorities of a dictation: the level the recorder and the job descriptor use (0, 1, 2),
// the French label stored in the record, and the image the screens show.
class Priority {
public:
    enum Level { Low = 0, Normal = 1, High = 2 };

    struct Row {
        Level level;
        const char* key;         // localisation key of the label
        const char* frenchLabel; // its default
        const char* image;       // "priorite_basse", ...
        const char* xmlName;     // in the job descriptor: "Low", "Normal", "High"
    };

    static const std::vector<Row>& table();
    // The localised label of a level; any other number is Normal.
    static std::string label(int level);
    // The level of a stored label; any other text is Normal.
    static Level levelOfLabel(const std::string& label);
    // The image of a stored label.
    static std::string imageForLabel(const std::string& label);
    static std::string image(int level);
};

} // namespace orvaneh
