#include "Classes/core/ParamRequest.h"

#include "Classes/core/DictationType.h"
#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

void ParamRequest::setWfTypeDictee(const std::string& value) {
    // The table holds the label, as the dictation table does; anything else is no type.
    const std::string label = DictationType::labelForCode(value);
    wfTypeDictee = DictationType::codeForLabel(label) != label ? label : std::string();
}

int ParamRequest::selectParam() {
    nbEnreg = 0;
    auto query = prepare("select * from parametre");
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    if (statement.step() != SqlStatement::Step::Row) {
        return 0;
    }
    ftpHost = statement.columnText(0);
    ftpLogin = statement.columnText(1);
    ftpMdp = statement.columnText(2);
    Log::registerSecret(ftpMdp);
    genInitiales = statement.columnText(3);
    wfAuteur = statement.columnText(4);
    wfContexte = statement.columnText(5);
    wfSecretaire = statement.columnText(6);
    wfWorktype = statement.columnText(7);
    // Older versions stored the code.
    wfTypeDictee = DictationType::labelForCode(statement.columnText(8));
    wfPriority = statement.columnText(9);
    wfServiceID = static_cast<std::int32_t>(statement.columnInt(10));
    nbEnreg = 1;
    return 1;
}

bool ParamRequest::write(const char* sql, bool insert) {
    Log::registerSecret(ftpMdp);
    auto query = prepare(sql);
    if (!query) {
        return false;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, std::string_view(ftpHost));
    statement.bindText(2, std::string_view(ftpLogin));
    statement.bindText(3, std::string_view(ftpMdp));
    statement.bindText(4, std::string_view());
    statement.bindText(5, std::string_view(wfAuteur));
    statement.bindText(6, std::string_view(wfContexte));
    statement.bindText(7, std::string_view(wfSecretaire));
    statement.bindText(8, std::string_view(wfWorktype));
    statement.bindText(9, std::string_view(wfTypeDictee));
    statement.bindText(10, std::string_view(wfPriority));
    statement.bindInt(11, wfServiceID);
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write(std::string("Problème lors de la requête : \"") +
                   (insert ? "INSERT INTO" : "UPDATE INTO") + "\" !, " + query->connection().errorMessage());
        noteFailure();
        return false;
    }
    Log::write(insert ? "Création de l'enregistrement !" : "Modification de l'enregistrement");
    Log::write("Lecture BDD, valeur Auteur : " + wfAuteur);
    Log::write("Lecture BDD, valeur Contexte : " + wfContexte);
    Log::write("Lecture BDD, valeur wfSecretaire : " + wfSecretaire);
    Log::write("Lecture BDD, valeur wfWorktype : " + wfWorktype);
    Log::write("Lecture BDD, valeur priority : " + wfPriority);
    return true;
}

void ParamRequest::insertParam() {
    write("INSERT INTO parametre(ftpHost, ftpLogin, ftpMdp, genInitiales, auteur, contexte, secretaire, "
          "worktype,typeDictee,propriete,service) Values(?, ?, ?, ?, ?, ?, ?, ?,?,?,?)",
          true);
}

void ParamRequest::updateParam() {
    write("UPDATE parametre Set ftpHost = ?,ftpLogin = ?,ftpMdp = ?,genInitiales = ?,auteur = ?,contexte = "
          "?,secretaire = ?,worktype = ?, typeDictee = ?, propriete = ?, service=?",
          false);
}

void ParamRequest::deleteParamWorkflow() {
    if (auto error = deleteAllRows("parametre")) {
        Log::write("Les enregistrements de la table [parametre] n'ont pas été supprimés ! " + *error);
    }
}

} // namespace orvaneh
