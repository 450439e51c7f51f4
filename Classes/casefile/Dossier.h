#pragma once

#include "Platform/json/Json.h"

#include <string>
#include <vector>

namespace orvaneh {

// One case file of the practice-management server. Every field is text; the lists and the
// accounting fields are not filled by the case list.
struct Dossier {
    std::string s_Id;
    std::string s_Code;
    std::string s_Label;
    std::string s_Nature;
    std::string s_Resp;
    std::string s_Collaborateur1;
    std::string s_Collaborateur2;
    std::string s_Secretaire;
    std::string s_Archive;
    std::string s_Matiere;
    std::string s_Type;
    std::string s_DateCreation; // as shown: "dd/MM/yyyy"
    std::string s_Etat;
    std::string s_Provenance;
    std::string s_Stockage;
    std::string s_Memo;
    std::string s_Facture;
    std::string s_Engage;
    std::string s_BoniMali;
    std::string s_Regle;
    std::string s_Solde;
    std::vector<Json> t_ListeIntervenant;
    std::vector<Json> t_ListeEvent;
    std::vector<Json> t_ListeEventOK;
    std::vector<Json> t_ListeDoc;

    // From one object of the server's answer. A missing key, a null or any value that is not
    // text gives ""; the creation date goes through WSFendraExpert::formatDate.
    static Dossier fromJson(const Json& object);
    // The case files of an unwrapped answer (a JSON array of objects; other elements are
    // skipped). False when the text is not a JSON array.
    static bool listFromAnswer(const std::string& text, std::vector<Dossier>& dossiers);
};

} // namespace orvaneh
