#include "Classes/core/worktypeRequest.h"

#include "Classes/core/CatalogueValue.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/StringExtension.h"
#include "Platform/log/Log.h"

namespace orvaneh {

namespace {

constexpr const char* kInsertSql =
    "INSERT INTO worktype(name,type,secretary,tracage,duree) Values(?,?,?,?,?)";

} // namespace

void worktypeRequest::insertWorktype() {
    auto query = prepare(kInsertSql, "Problème lors de la requête : \"INSERT INTO\" !,  ",
                         ", " + std::string(kInsertSql));
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, std::string_view(name));
    statement.bindText(2, std::string_view(type));
    statement.bindText(3, std::string_view(secretaire));
    statement.bindInt(4, tracage ? 1 : 0);
    statement.bindInt(5, duree);
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage() +
                   " , " + kInsertSql);
        noteFailure();
    }
}

void worktypeRequest::selectAllworktype() {
    auto query = prepare("select * from worktype");
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    tabWorktype = Json::object();
    while (statement.step() == SqlStatement::Step::Row) {
        std::string worktypeName = statement.columnText(1);
        tabWorktype[worktypeName] = Json{{"Nom", worktypeName},
                                         {"Type", statement.columnText(2)},
                                         {"Secretaire", statement.columnText(3)},
                                         {"Tracage", statement.columnText(4)},
                                         {"Duree", statement.columnText(5)}};
    }
}

std::optional<Json> worktypeRequest::selectworktypeForName(const std::string& worktypeName) const {
    auto found = tabWorktype.find(worktypeName);
    if (found == tabWorktype.end()) {
        return std::nullopt;
    }
    return *found;
}

std::vector<std::string> worktypeRequest::getWorktypeNames() const {
    std::vector<std::string> names;
    for (const auto& entry : tabWorktype.items()) {
        names.push_back(entry.key());
    }
    return names;
}

void worktypeRequest::deleteAllworktype() {
    if (auto error = deleteAllRows("worktype")) {
        Log::write("Les enregistrements de la table [worktype] n'ont pas été supprimés " + *error + "!");
    }
}

void worktypeRequest::saveDictionaryOfWortypes(const Json& entries) {
    if (!entries.is_array()) {
        return;
    }
    for (const auto& entry : entries) {
        if (entry.is_object() && entry.contains("Worktype") && !entry["Worktype"].is_null()) {
            auto parts = CatalogueValue::split(CatalogueValue::text(entry, "Worktype"), ';');
            name = StringExtension::stringWithoutSpace(parts[0]);
            type = parts.size() >= 2 ? StringExtension::stringWithoutSpace(parts[1]) : std::string();
            secretaire = parts.size() >= 3 ? StringExtension::stringWithoutSpace(parts[2]) : std::string();
        } else {
            name = CatalogueValue::text(entry, "Nom");
            secretaire = CatalogueValue::text(entry, "Secretaire");
            type = CatalogueValue::text(entry, "Type");
        }
        tracage = CatalogueValue::boolean(entry, "Tracage");
        duree = CatalogueValue::truncatedInteger(entry, "Duree");
        insertWorktype();
    }
}

void worktypeRequest::organizeWorktypeInNewDataBase() {
    Json packed = Json::array();
    {
        auto query = prepare("select * from worktype", "ERREUR ORGANIZE ", " !");
        if (!query) {
            return;
        }
        SqlStatement& statement = query->statement();
        while (statement.step() == SqlStatement::Step::Row) {
            packed.push_back(Json{{"Worktype", statement.columnText(1)}});
        }
    }
    deleteAllworktype();
    saveDictionaryOfWortypes(packed);
}

} // namespace orvaneh
