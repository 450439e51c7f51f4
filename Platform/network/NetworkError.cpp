#include "Platform/network/NetworkError.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>
#include <sstream>
#include <utility>

namespace orvaneh {

namespace {

std::string withReply(std::string text, long replyCode) {
    if (replyCode > 0) {
        text += " (err. " + std::to_string(replyCode) + ")";
    }
    return text + ".";
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

} // namespace

bool NetworkError::asksForEncryption(std::string_view reply) {
    // A refusal: 5xx, or 421 when the server closes at once (some do so for clear sessions).
    if (reply.size() < 3 || !std::all_of(reply.begin(), reply.begin() + 3,
                                         [](unsigned char c) { return std::isdigit(c) != 0; })) {
        return false;
    }
    if (reply[0] != '5' && !reply.starts_with("421")) {
        return false;
    }
    // Whole words for the acronyms ("TLSv1.2" too), so that "hassle" holds no SSL; stems for the rest.
    std::string text = lowered(reply.substr(3));
    std::replace_if(
        text.begin(), text.end(), [](unsigned char c) { return std::isalnum(c) == 0; }, ' ');
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        for (std::string_view acronym : {"ssl", "tls", "ftps", "ftpes"}) {
            if (word == acronym || (word.starts_with(acronym) && word[acronym.size()] == 'v')) {
                return true;
            }
        }
    }
    for (std::string_view stem : {"encrypt", "chiffr", "cleartext", "clear text", "secure connection"}) {
        if (text.find(stem) != std::string::npos) {
            return true;
        }
    }
    return false;
}

NetworkError::NetworkError(NetworkFailure kind, long replyCode, std::string text)
    : kind_(kind), replyCode_(replyCode), text_(std::move(text)) {}

NetworkError NetworkError::fromCurl(int curlCode, long replyCode, std::string_view clearLoginRefusal) {
    using enum NetworkFailure;
    // Whatever the server answered AUTH TLS or PROT P with (some answer 530), the login and the
    // files never went out in clear.
    if (static_cast<CURLcode>(curlCode) == CURLE_USE_SSL_FAILED) {
        return {Unencrypted, replyCode,
                localized("NETWORK_FTPS_REFUSED", "Le serveur FTP n'accepte pas le chiffrement (FTPS) exigé "
                                                  "pour ce site : rien ne lui a été envoyé en clair.")};
    }
    // Servers that take FTPS only turn a clear login down with 530, 534 or even 550 ("file
    // unavailable"): read as such, the user would look for a missing file or a wrong password.
    if (asksForEncryption(clearLoginRefusal)) {
        return {EncryptionRequired, replyCode,
                withReply(localized("NETWORK_FTPS_REQUIRED_BY_SERVER",
                                    "Le serveur FTP n'accepte que les connexions chiffrées : il a refusé "
                                    "l'identification en clair"),
                          replyCode) +
                    " " +
                    localized("NETWORK_FTPS_REQUIRED_REMEDY",
                              "Choisissez le chiffrement FTPS « obligatoire » pour ce site (en ligne de "
                              "commande : « orvaneh-cli site edit NUMÉRO --ftps required »).")};
    }
    // The FTP reply says more than the curl code: 530 comes as a login failure or an access
    // refusal, 550 as a missing file, a refused directory change or a failed upload.
    if (replyCode == 530) {
        return {Authentication, replyCode,
                withReply(localized("NETWORK_LOGIN_REFUSED", "Les identifiants sont refusés par le serveur"),
                          replyCode)};
    }
    if (replyCode == 550) {
        return {
            MissingFile, replyCode,
            withReply(localized("NETWORK_MISSING_FILE", "Fichier ou répertoire introuvable sur le serveur"),
                      replyCode)};
    }
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return {CannotConnect, replyCode, localized("NETWORK_UNKNOWN_HOST", "Le serveur est introuvable.")};
    case CURLE_COULDNT_CONNECT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_ACCEPT_FAILED:
        return {CannotConnect, replyCode,
                localized("NETWORK_CANNOT_CONNECT", "Impossible de se connecter au serveur.")};
    case CURLE_SSL_CONNECT_ERROR:
        return {CannotConnect, replyCode,
                localized("NETWORK_SECURE_CONNECTION_FAILED",
                          "La connexion sécurisée avec le serveur a échoué.")};
    case CURLE_OPERATION_TIMEDOUT:
        return {TimedOut, replyCode,
                localized("NETWORK_TIMED_OUT", "Le serveur ne répond plus : délai d'attente dépassé.")};
    case CURLE_LOGIN_DENIED:
        return {Authentication, replyCode,
                withReply(localized("NETWORK_LOGIN_REFUSED", "Les identifiants sont refusés par le serveur"),
                          replyCode)};
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return {
            MissingFile, replyCode,
            withReply(localized("NETWORK_MISSING_FILE", "Fichier ou répertoire introuvable sur le serveur"),
                      replyCode)};
    case CURLE_PEER_FAILED_VERIFICATION:
        return {Certificate, replyCode,
                localized("NETWORK_UNTRUSTED_CERTIFICATE",
                          "Le certificat du serveur n'est pas reconnu : la connexion est refusée.")};
    case CURLE_SSL_CACERT_BADFILE:
        return {Certificate, replyCode,
                localized("NETWORK_BAD_TRUSTED_CERTIFICATES",
                          "Le fichier des certificats de confiance est illisible.")};
    case CURLE_ABORTED_BY_CALLBACK:
        return cancelled();
    case CURLE_READ_ERROR:
        return {LocalRead, replyCode,
                localized("NETWORK_LOCAL_READ", "Impossible de lire le fichier à envoyer.")};
    case CURLE_WRITE_ERROR:
        return {LocalWrite, replyCode,
                localized("NETWORK_LOCAL_WRITE", "Impossible d'enregistrer les données reçues.")};
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return {Other, replyCode,
                localized("NETWORK_CONNECTION_LOST", "La connexion avec le serveur a été interrompue.")};
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return {Other, replyCode, localized("NETWORK_BAD_URL", "Adresse du serveur invalide.")};
    case CURLE_REMOTE_ACCESS_DENIED:
        return {Other, replyCode,
                withReply(localized("NETWORK_ACCESS_DENIED", "Accès refusé par le serveur"), replyCode)};
    case CURLE_UPLOAD_FAILED:
        return {Other, replyCode,
                withReply(localized("NETWORK_UPLOAD_REFUSED", "Le serveur a refusé le fichier"), replyCode)};
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_QUOTE_ERROR:
        return {Other, replyCode,
                withReply(localized("NETWORK_UNEXPECTED_REPLY", "Réponse inattendue du serveur"), replyCode)};
    default:
        return {Other, replyCode,
                localized("NETWORK_ERROR", "Une erreur réseau est survenue") + " (code " +
                    std::to_string(curlCode) + (replyCode > 0 ? ", err. " + std::to_string(replyCode) : "") +
                    ")."};
    }
}

NetworkError NetworkError::cancelled() {
    return {NetworkFailure::Cancelled, 0, localized("NETWORK_CANCELLED", "Requête annulée")};
}

NetworkError NetworkError::notStarted() {
    return {
        NetworkFailure::Other, 0,
        localized("NETWORK_NOT_STARTED", "Impossible de démarrer la connexion : ressources insuffisantes.")};
}

NetworkError NetworkError::localRead(const std::filesystem::path& file, int errorNumber) {
    return {NetworkFailure::LocalRead, 0,
            localized("NETWORK_CANNOT_READ_FILE", "Impossible de lire le fichier") + " " + file.string() +
                " : " + systemErrorText(errorNumber)};
}

NetworkError NetworkError::localWrite(const std::filesystem::path& file, int errorNumber) {
    return {NetworkFailure::LocalWrite, 0,
            localized("NETWORK_CANNOT_WRITE_FILE", "Impossible d'écrire le fichier") + " " + file.string() +
                " : " + systemErrorText(errorNumber)};
}

NetworkError NetworkError::answerTooLarge(std::size_t limit) {
    constexpr std::size_t mebibyte = std::size_t(1) << 20;
    const std::string size =
        limit % mebibyte == 0 ? std::to_string(limit / mebibyte) + " Mio" : std::to_string(limit) + " octets";
    return {NetworkFailure::TooLarge, 0,
            localized("NETWORK_ANSWER_TOO_LARGE", "Réponse du serveur trop volumineuse") + " (plus de " +
                size + ")."};
}

} // namespace orvaneh
