#include "Platform/files/SystemErrorText.h"

#include <cerrno>
#include <system_error>

namespace orvaneh {

std::string systemErrorText(int errorNumber) {
    switch (errorNumber) {
    case EACCES:
    case EPERM:
        return "permission refusée";
    case ENOENT:
        return "fichier ou répertoire introuvable";
    case ENOTDIR:
        return "un élément du chemin n'est pas un répertoire";
    case EISDIR:
        return "c'est un répertoire";
    case ENOSPC:
        return "plus de place sur le disque";
    case EDQUOT:
        return "quota de disque dépassé";
    case EROFS:
        return "système de fichiers en lecture seule";
    case EEXIST:
        return "le fichier existe déjà";
    case ENAMETOOLONG:
        return "nom trop long";
    case EIO:
        return "erreur d'entrée-sortie";
    case EMFILE:
    case ENFILE:
        return "trop de fichiers ouverts";
    case EXDEV:
        return "déplacement impossible entre deux systèmes de fichiers";
    default:
        return std::generic_category().message(errorNumber);
    }
}

bool isDiskError(int errorNumber) {
    return errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EIO || errorNumber == EROFS;
}

std::string withDiskCause(const std::string& text, int errorNumber) {
    return isDiskError(errorNumber) ? text + " (" + systemErrorText(errorNumber) + ")" : text;
}

} // namespace orvaneh
