#pragma once

#include "Classes/core/Request.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// The user's default workflow parameters and the legacy FTP account (table parametre, at
// most one row). Save by selectParam first, then insertParam when nbEnreg is 0 and
// updateParam otherwise.
class ParamRequest : public Request {
public:
    std::string ftpHost;
    std::string ftpLogin;
    std::string ftpMdp;
    std::string genInitiales; // always written as the empty text
    std::string wfAuteur;
    std::string wfContexte;
    std::string wfSecretaire;
    std::string wfWorktype;
    // The label ("Dictée numérique"), on screen and in the table; a code stored by an older
    // version is read as its label. Only the job descriptor carries the code.
    std::string wfTypeDictee;
    std::string wfPriority;
    std::int32_t wfServiceID = 0;
    int nbEnreg = 0; // 1 after a read that found the row

    // A type's label or code as its label; anything else becomes the empty text.
    void setWfTypeDictee(const std::string& value);

    // Fills the fields from the row; 1 when there was one, else 0.
    int selectParam();
    void insertParam();
    // Rewrites every row.
    void updateParam();
    void deleteParamWorkflow();

private:
    bool write(const char* sql, bool insert);
};

} // namespace orvaneh
