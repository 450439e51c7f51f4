#include "Classes/core/SettingDescription.h"

#include "Classes/core/ConfigurationManager.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvaneh {

namespace {

using Kind = SettingDescription::Kind;

// A certificate file is read this far for its PEM marker: bundles are small, and a wrong file
// (a recording, a disk image) is not read whole.
constexpr std::streamsize kPemProbeBytes = 1 << 20;

SettingDescription boolean(std::string key, std::string meaning) {
    return {std::move(key), Kind::Boolean, std::move(meaning), "", 0, 0, {}};
}

SettingDescription label(std::string key, std::string meaning) {
    return {std::move(key), Kind::Text, std::move(meaning), "", 0, 0, {}};
}

SettingDescription range(std::string key, Kind kind, std::string meaning, std::string unit, double minimum,
                         double maximum) {
    return {std::move(key), kind, std::move(meaning), std::move(unit), minimum, maximum, {}};
}

SettingDescription oneOf(std::string key, Kind kind, std::string meaning, std::string unit,
                         std::vector<std::string> choices) {
    return {std::move(key), kind, std::move(meaning), std::move(unit), 0, 0, std::move(choices)};
}

// 16000 rather than 16000.0, 1.1 rather than 1.1000000000000001.
std::string numberText(double value) {
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    std::ostringstream text;
    text << value;
    return text.str();
}

// Whole numbers are stored as integers, so that the file and `settings get` read "8000".
Json numberJson(double value) {
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        return Json(static_cast<std::int64_t>(value));
    }
    return Json(value);
}

std::optional<std::int64_t> parseInteger(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end) {
        return std::nullopt;
    }
    return value;
}

// A decimal number, with a point or a French comma; nothing for infinities and NaN.
std::optional<double> parseReal(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0;
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || last != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> parseBoolean(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text == "true" || text == "oui" || text == "1") {
        return true;
    }
    if (text == "false" || text == "non" || text == "0") {
        return false;
    }
    return std::nullopt;
}

std::string joined(const std::vector<std::string>& choices) {
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        text += i == 0 ? "" : i + 1 == choices.size() ? " ou " : ", ";
        text += choices[i];
    }
    return text;
}

bool isPemFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(static_cast<std::size_t>(kPemProbeBytes), '\0');
    in.read(head.data(), kPemProbeBytes);
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head.find("-----BEGIN CERTIFICATE-----") != std::string::npos;
}

SettingDescription::Checked checkFile(const std::string& text) {
    if (text.empty()) {
        return {Json(""), {}};
    }
    std::error_code error;
    // The file itself, links followed: "/dev/stdin" or a link that may later point elsewhere is
    // not what the next command will find.
    const std::filesystem::path path = std::filesystem::canonical(text, error);
    if (error || !std::filesystem::is_regular_file(path, error)) {
        return {std::nullopt, "le fichier " + text + " n'existe pas ou n'est pas un fichier ordinaire"};
    }
    if (!std::ifstream(path, std::ios::binary)) {
        return {std::nullopt, "le fichier " + text + " ne peut pas être lu"};
    }
    if (!isPemFile(path)) {
        return {std::nullopt,
                "le fichier " + text + " ne contient aucun certificat PEM (« -----BEGIN CERTIFICATE----- »)"};
    }
    // Absolute: the next command may run from another directory.
    return {Json(path.lexically_normal().string()), {}};
}

} // namespace

const std::vector<SettingDescription>& SettingDescription::all() {
    static const std::vector<SettingDescription> table{
        boolean("ValidateBeforeSend",
                "Montrer le résumé des paramètres de la dictée pour confirmation avant l'envoi"),
        boolean("ShowSettingsForRecord",
                "Montrer l'écran des paramètres de la dictée avant l'enregistrement"),
        range("OptionMaxDate", Kind::Integer,
              "Nombre de jours après lesquels les dictées envoyées sont supprimées ; 0 : jamais", "jours", 0,
              3650),
        boolean("CompresseFile",
                "Envoyer les fichiers d'une dictée dans une archive zip ; sans effet tant que "
                "versionWS ne dépasse pas 1 (service web seulement)"),
        range(
            "versionWS", Kind::Real,
            "Version du service web de l'office ; au-dessus de 1, l'archive zip (CompresseFile) est possible",
            "", 0, 99),
        boolean("PushToRecordAndPlay",
                "Les boutons d'enregistrement et de lecture n'agissent que tant qu'ils sont maintenus"),
        boolean("BlockRecipient", "Choisir un type de travail impose sa dactylo"),
        boolean("ServicesDisplay", "Proposer le choix d'un service (réglé par l'importation du workflow)"),
        label("JobTitlPref", "Libellé du champ « titre » d'une dictée"),
        label("IdentPref", "Libellé du champ « identifiant » d'une dictée"),
        boolean("OptionUseBarCodeReader", "Proposer la lecture d'un code pour remplir l'identifiant"),
        boolean("SendToVelmora",
                "Les dictées dont la dactylo est « Velmora » partent au service de transcription"),
        boolean(
            "LinkDictationToSite",
            "Une dictée part vers le site avec lequel elle a été enregistrée, sinon vers le site par défaut"),
        oneOf("TypeOfDelivery", Kind::Integer,
              "Mode de livraison annoncé par la configuration du serveur : 0 aucun, 1 FTP, 2 services web, "
              "4 autre, 5 e-mail ; pour information, le type du site décide",
              "", {"0", "1", "2", "4", "5"}),
        // The rates the recorder and the Speex encoder accept.
        oneOf("AudioSampleRate", Kind::Real, "Fréquence d'échantillonnage des nouveaux enregistrements", "Hz",
              {"8000", "11025", "16000", "22050", "32000", "44100", "48000"}),
        oneOf("ExportFileFormat", Kind::Text,
              "Format audio des fichiers envoyés : wav (sans compression) ou spx (compressé en Speex)", "",
              {"wav", "spx"}),
        oneOf(
            "TrustedCertificatesFile", Kind::File,
            "Fichier PEM de l'autorité de certification de l'office, reconnue en plus de celles du système ; "
            "vide : aucune",
            "", {}),
        range("NetworkStallTimeout", Kind::Real, "Durée sans progrès après laquelle un transfert échoue",
              "secondes", 0.1, 3600),
        boolean("UtiliserTrousseau",
                "Garder les mots de passe dans le trousseau du bureau quand la session en a un ; non : ils "
                "reviennent dans le profil au démarrage suivant dans une session qui l'atteint"),
    };
    return table;
}

const SettingDescription* SettingDescription::find(const std::string& key) {
    const auto& table = all();
    auto found =
        std::find_if(table.begin(), table.end(), [&](const SettingDescription& d) { return d.key == key; });
    return found == table.end() ? nullptr : &*found;
}

std::string SettingDescription::allowedValues() const {
    const std::string unitSuffix = unit.empty() ? "" : " " + unit;
    switch (kind) {
    case Kind::Boolean:
        return "true ou false (oui ou non)";
    case Kind::Integer:
    case Kind::Real:
        if (!choices.empty()) {
            return joined(choices) + unitSuffix;
        }
        return std::string(kind == Kind::Integer ? "un nombre entier" : "un nombre") + " de " +
               numberText(minimum) + " à " + numberText(maximum) + unitSuffix;
    case Kind::Text:
        return choices.empty() ? "un texte d'une ligne, non vide" : joined(choices);
    case Kind::File:
        return "le chemin d'un fichier PEM existant, ou \"\" pour aucun";
    }
    return {};
}

SettingDescription::Checked SettingDescription::check(const std::string& text) const {
    const Checked refused{std::nullopt, "valeur refusée pour " + key + " : « " + text +
                                            " » ; valeurs possibles : " + allowedValues()};
    switch (kind) {
    case Kind::Boolean:
        if (auto value = parseBoolean(text)) {
            return {Json(*value), {}};
        }
        return refused;
    case Kind::Integer:
    case Kind::Real: {
        std::optional<double> number;
        if (kind == Kind::Integer) {
            if (auto whole = parseInteger(text)) {
                number = static_cast<double>(*whole);
            }
        } else {
            number = parseReal(text);
        }
        if (!number) {
            return refused;
        }
        const bool allowed = choices.empty()
                                 ? *number >= minimum && *number <= maximum
                                 : std::any_of(choices.begin(), choices.end(),
                                               [&](const std::string& c) { return parseReal(c) == number; });
        return allowed ? Checked{numberJson(*number), {}} : refused;
    }
    case Kind::Text:
        if (!choices.empty()) {
            return std::find(choices.begin(), choices.end(), text) != choices.end() ? Checked{Json(text), {}}
                                                                                    : refused;
        }
        if (text.find_first_not_of(" \t") == std::string::npos ||
            text.find_first_of("\r\n") != std::string::npos) {
            return refused;
        }
        return {Json(text), {}};
    case Kind::File:
        if (auto checked = checkFile(text); checked.value) {
            return checked;
        } else {
            return {std::nullopt, "valeur refusée pour " + key + " : " + checked.problem};
        }
    }
    return refused;
}

std::vector<std::string> SettingDescription::remarksOnCurrentValues() {
    std::vector<std::string> remarks;
    if (ConfigurationManager::shouldCompresseFilesToSend() &&
        ConfigurationManager::getNumVersionWS() <= 1.0f) {
        remarks.push_back("CompresseFile est activé mais reste sans effet : l'archive zip demande versionWS "
                          "supérieure à 1.");
    }
    return remarks;
}

} // namespace orvaneh
