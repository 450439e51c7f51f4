#include "Classes/packaging/ZipException.h"

namespace orvaneh {

namespace {

std::string quoted(const std::string& name) {
    return "« " + name + " »";
}

} // namespace

ZipException::ZipException(const std::string& reason, int error)
    : std::runtime_error(reason), error_(error) {}

ZipException ZipException::archiveNotOpened(const std::string& archive) {
    return ZipException("Impossible d'ouvrir l'archive " + quoted(archive));
}

ZipException ZipException::unknownMode(int mode) {
    return ZipException("Mode d'ouverture d'archive inconnu : " + std::to_string(mode));
}

ZipException ZipException::openedForReading() {
    return ZipException("Opération impossible : l'archive est ouverte en lecture");
}

ZipException ZipException::openedForWriting() {
    return ZipException("Opération impossible : l'archive est ouverte en écriture");
}

ZipException ZipException::entryNotOpened(const std::string& entry, int error) {
    return ZipException("Impossible d'ouvrir l'élément " + quoted(entry) + " dans l'archive", error);
}

ZipException ZipException::entryNotWritten(const std::string& entry, int error) {
    return ZipException("Impossible d'écrire l'élément " + quoted(entry) + " dans l'archive", error);
}

ZipException ZipException::entryNotRead(const std::string& entry, int error) {
    return ZipException("Impossible de lire l'élément " + quoted(entry) + " de l'archive", error);
}

ZipException ZipException::entryNotClosed(const std::string& entry, int error) {
    return ZipException("Impossible de terminer l'élément " + quoted(entry) + " de l'archive", error);
}

ZipException ZipException::archiveNotClosed(const std::string& archive, int error) {
    return ZipException("Impossible de terminer l'archive " + quoted(archive), error);
}

ZipException ZipException::directoryNotRead(const std::string& archive, int error) {
    return ZipException("Impossible de parcourir le contenu de l'archive " + quoted(archive), error);
}

ZipException ZipException::inputNotRead(const std::string& file, int error) {
    return ZipException("Impossible de lire le fichier " + quoted(file) + " à mettre dans l'archive", error);
}

} // namespace orvaneh
