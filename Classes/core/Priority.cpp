#include "Classes/core/Priority.h"

#include "Platform/localisation/Localization.h"

namespace orvaneh {

const std::vector<Priority::Row>& Priority::table() {
    static const std::vector<Row> rows{
        {Low, "PRIORITY_LOW", "Basse", "priorite_basse", "Low"},
        {Normal, "PRIORITY_NORMAL", "Moyenne", "priorite_moyenne", "Normal"},
        {High, "PRIORITY_HIGH", "Haute", "priorite_haute", "High"},
    };
    return rows;
}

namespace {

const Priority::Row& rowOf(int level) {
    const auto& rows = Priority::table();
    return level == Priority::Low ? rows[0] : level == Priority::High ? rows[2] : rows[1];
}

} // namespace

std::string Priority::label(int level) {
    const Row& row = rowOf(level);
    return localized(row.key, row.frenchLabel);
}

Priority::Level Priority::levelOfLabel(const std::string& text) {
    for (const auto& row : table()) {
        if (row.level != Normal && text == localized(row.key, row.frenchLabel)) {
            return row.level;
        }
    }
    return Normal;
}

std::string Priority::imageForLabel(const std::string& text) {
    return image(levelOfLabel(text));
}

std::string Priority::image(int level) {
    return rowOf(level).image;
}

} // namespace orvaneh
