#include "Classes/core/ConfigurationManager.h"

#include "Classes/core/PropertyList.h"
#include "Classes/core/StoredPasswords.h"
#include "Classes/core/Tools.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"
#include "Platform/runloop/Clock.h"
#include "Platform/time/DateFormatter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace orvaneh {

namespace {

const std::string kValidateBeforeSend = "ValidateBeforeSend";
const std::string kShowSettingsForRecord = "ShowSettingsForRecord";
const std::string kOptionMaxDate = "OptionMaxDate";
const std::string kCompresseFile = "CompresseFile";
const std::string kVersionWS = "versionWS";
const std::string kPushToRecordAndPlay = "PushToRecordAndPlay";
const std::string kBlockRecipient = "BlockRecipient";
const std::string kServicesDisplay = "ServicesDisplay";
const std::string kJobTitlPref = "JobTitlPref";
const std::string kIdentPref = "IdentPref";
const std::string kOptionUseBarCodeReader = "OptionUseBarCodeReader";
const std::string kSendToVelmora = "SendToVelmora";
const std::string kLinkDictationToSite = "LinkDictationToSite";
const std::string kTypeOfDelivery = "TypeOfDelivery";
const std::string kAudioSampleRate = "AudioSampleRate";
const std::string kExportFileFormat = "ExportFileFormat";

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string textOf(const Json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    return {};
}

bool hasValue(const std::string& key) {
    auto value = UserDefaultManager::getObjectForKey(key);
    return value.has_value() && !value->is_null();
}

// A label read as text; absent or not text reads as the empty text.
std::string label(const std::string& key) {
    return UserDefaultManager::getStringForKey(key).value_or("");
}

// Numbers are shown as integers when they are whole (16000, not 16000.0).
Json realAsJson(double value) {
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e15) {
        return Json(static_cast<std::int64_t>(value));
    }
    return Json(value);
}

// A legacy "Fields" entry naming the job title or the identifier label.
void migrateField(const Json& field) {
    if (!field.is_object()) {
        return;
    }
    std::string exported = lowercase(textOf(field.value("Export", Json())));
    if (exported == "jobtitle") {
        UserDefaultManager::setObject(field.value("Title", Json()), kJobTitlPref);
    } else if (exported == "identvalue") {
        UserDefaultManager::setObject(field.value("Title", Json()), kIdentPref);
    }
}

// Reads the legacy settings file once. It is renamed to the name it keeps when it is damaged
// before a byte of it is parsed: a file that crashes the parser is then never read again, and
// a file read whole is removed. The notice to show when it could not be migrated.
std::optional<std::string> migrateLegacyFile(const std::filesystem::path& legacyFile) {
    const std::string base = legacyFile.string() + ".illisible-" +
                             DateFormatter::format("yyyyMMdd-HHmmss", Clock::current()->wallNow());
    std::filesystem::path aside = base;
    std::error_code error;
    for (int n = 2; std::filesystem::exists(aside, error) && n < 100; ++n) {
        aside = base + "-" + std::to_string(n);
    }
    if (std::rename(legacyFile.c_str(), aside.c_str()) != 0) {
        const std::string why = systemErrorText(errno);
        Log::write("Réglages d'une ancienne version « " + legacyFile.string() +
                   " » impossibles à mettre de côté (" + why +
                   ") : non lus, les réglages par défaut s'appliquent");
        return "Les réglages d'une ancienne version « " + legacyFile.string() +
               " » n'ont pas pu être mis de côté avant lecture (" + why +
               ") : ils ne sont pas repris et les réglages par défaut s'appliquent.";
    }
    auto legacy = PropertyList::readFile(aside);
    if (legacy && legacy->is_object()) {
        ConfigurationManager::changeFieldsVersion2to3(*legacy);
        Tools::deleteFileAtPath(aside.string());
        Log::write("Réglages d'une ancienne version repris de « " + legacyFile.string() + " »");
        return std::nullopt;
    }
    Log::write("Réglages d'une ancienne version illisibles : « " + legacyFile.string() +
               " » conservé sous « " + aside.string() + " », les réglages par défaut s'appliquent");
    return "Les réglages d'une ancienne version « " + legacyFile.string() +
           " » sont illisibles : ils sont conservés sous « " + aside.string() +
           " » et les réglages par défaut s'appliquent.";
}

} // namespace

const std::vector<ConfigurationManager::Setting>& ConfigurationManager::settings() {
    using Kind = Setting::Kind;
    static const std::vector<Setting> table{
        {kValidateBeforeSend, Kind::Boolean, [] { return Json(shouldDisplayParameterResumeBeforeSend()); }},
        {kShowSettingsForRecord, Kind::Boolean,
         [] { return Json(shouldDisplayParameterResumeBeforeRecord()); }},
        {kOptionMaxDate, Kind::Integer, [] { return Json(getCleansingMaxDate()); }},
        {kCompresseFile, Kind::Boolean, [] { return Json(shouldCompresseFilesToSend()); }},
        {kVersionWS, Kind::Real, [] { return realAsJson(getNumVersionWS()); }},
        {kPushToRecordAndPlay, Kind::Boolean, [] { return Json(shouldPushToRecordAndPlay()); }},
        {kBlockRecipient, Kind::Boolean, [] { return Json(shouldBlockRecipient()); }},
        {kServicesDisplay, Kind::Boolean, [] { return Json(shouldDisplayServices()); }},
        {kJobTitlPref, Kind::Text, [] { return Json(getJobTitle()); }},
        {kIdentPref, Kind::Text, [] { return Json(getIdentValue()); }},
        {kOptionUseBarCodeReader, Kind::Boolean, [] { return Json(shouldDisplayScanner()); }},
        {kSendToVelmora, Kind::Boolean, [] { return Json(shouldSendToVelmora()); }},
        {kLinkDictationToSite, Kind::Boolean, [] { return Json(shouldLinkDictationToSite()); }},
        {kTypeOfDelivery, Kind::Integer, [] { return Json(getSendType()); }},
        {kAudioSampleRate, Kind::Real, [] { return realAsJson(getAudioSampleRate()); }},
        {kExportFileFormat, Kind::Text, [] { return Json(getExportFileFormat()); }},
        {"TrustedCertificatesFile", Kind::Text, [] { return Json(getTrustedCertificatesFile()); }},
        {"NetworkStallTimeout", Kind::Real, [] { return realAsJson(getNetworkStallTimeout()); }},
        {StoredPasswords::kUseKeyringKey, Kind::Boolean,
         [] { return Json(StoredPasswords::keyringAllowed()); }},
    };
    return table;
}

const ConfigurationManager::Setting* ConfigurationManager::findSetting(const std::string& key) {
    const auto& table = settings();
    auto found = std::find_if(table.begin(), table.end(), [&](const Setting& s) { return s.key == key; });
    return found == table.end() ? nullptr : &*found;
}

bool ConfigurationManager::shouldDisplayParameterResumeBeforeSend() {
    return UserDefaultManager::getBoolForKey(kValidateBeforeSend);
}

bool ConfigurationManager::shouldDisplayParameterResumeBeforeRecord() {
    return UserDefaultManager::getBoolForKey(kShowSettingsForRecord);
}

std::int64_t ConfigurationManager::getCleansingMaxDate() {
    if (!hasValue(kOptionMaxDate)) {
        return 120;
    }
    return UserDefaultManager::getIntForKey(kOptionMaxDate);
}

bool ConfigurationManager::shouldCompresseFilesToSend() {
    return UserDefaultManager::getBoolForKey(kCompresseFile);
}

float ConfigurationManager::getNumVersionWS() {
    return UserDefaultManager::getFloatForKey(kVersionWS);
}

void ConfigurationManager::setNumVersionWS(float version) {
    UserDefaultManager::setFloat(version, kVersionWS);
}

bool ConfigurationManager::shouldPushToRecordAndPlay() {
    return UserDefaultManager::getBoolForKey(kPushToRecordAndPlay);
}

bool ConfigurationManager::shouldBlockRecipient() {
    return UserDefaultManager::getBoolForKey(kBlockRecipient);
}

bool ConfigurationManager::shouldDisplayServices() {
    return UserDefaultManager::getBoolForKey(kServicesDisplay);
}

void ConfigurationManager::setShouldDisplayServices(bool display) {
    UserDefaultManager::setBool(display, kServicesDisplay);
}

std::string ConfigurationManager::getJobTitle() {
    return label(kJobTitlPref);
}

std::string ConfigurationManager::getIdentValue() {
    return label(kIdentPref);
}

bool ConfigurationManager::shouldDisplayScanner() {
    if (!hasValue(kOptionUseBarCodeReader)) {
        return true;
    }
    return UserDefaultManager::getBoolForKey(kOptionUseBarCodeReader);
}

bool ConfigurationManager::shouldSendToVelmora() {
    return UserDefaultManager::getBoolForKey(kSendToVelmora);
}

bool ConfigurationManager::shouldLinkDictationToSite() {
    return UserDefaultManager::getBoolForKey(kLinkDictationToSite);
}

std::int64_t ConfigurationManager::getSendType() {
    return UserDefaultManager::getIntForKey(kTypeOfDelivery);
}

float ConfigurationManager::getAudioSampleRate() {
    float rate = UserDefaultManager::getFloatForKey(kAudioSampleRate);
    return rate == 0.0f ? 16000.0f : rate;
}

std::string ConfigurationManager::getExportFileFormat() {
    auto format = UserDefaultManager::getStringForKey(kExportFileFormat).value_or("");
    return format.empty() ? "wav" : format;
}

std::string ConfigurationManager::getTrustedCertificatesFile() {
    return PreferenceStore::standard().stringForKey("TrustedCertificatesFile").value_or("");
}

double ConfigurationManager::getNetworkStallTimeout() {
    // Read quietly: it is asked before every transfer.
    double seconds = PreferenceStore::standard().doubleForKey("NetworkStallTimeout");
    return seconds > 0 ? seconds : 60.0;
}

std::optional<std::string> ConfigurationManager::checkAndCreateDefaultXmlFields() {
    const std::filesystem::path legacyFile = Tools::documentsDirectory() + "/Configurations.plist";
    std::optional<std::string> notice;
    std::error_code error;
    if (std::filesystem::symlink_status(legacyFile, error).type() != std::filesystem::file_type::not_found &&
        !error) {
        notice = migrateLegacyFile(legacyFile);
    }
    if (label(kJobTitlPref).empty()) {
        UserDefaultManager::setObject(localized("CONFIGURATION_MANAGER_DEFAULT_TITLE", "Titre"),
                                      kJobTitlPref);
    }
    if (label(kIdentPref).empty()) {
        UserDefaultManager::setObject(localized("CONFIGURATION_MANAGER_DEFAULT_IDENTIFIER", "Identifiant"),
                                      kIdentPref);
    }
    return notice;
}

void ConfigurationManager::changeFieldsVersion2to3(const Json& legacy) {
    if (!legacy.is_object()) {
        return;
    }
    const Json fields = legacy.value("Fields", Json::array());
    if (fields.is_array()) {
        if (!fields.empty()) {
            migrateField(fields[0]);
        }
        if (fields.size() >= 2) {
            migrateField(fields[1]);
        }
    }
    auto legacyBool = [&](const std::string& key) {
        auto found = legacy.find(key);
        return found != legacy.end() && PreferenceStore::boolFromJson(*found);
    };
    UserDefaultManager::setBool(legacyBool(kValidateBeforeSend), kValidateBeforeSend);
    UserDefaultManager::setBool(legacyBool(kShowSettingsForRecord), kShowSettingsForRecord);
}

void ConfigurationManager::addObjectsFromArray(const Json& options) {
    if (options.is_array()) {
        for (const Json& entry : options) {
            if (!entry.is_object() || entry.empty()) {
                continue;
            }
            if (entry.size() % 2 == 0) {
                // A field label: {"Key": "JobTitle", "Value": "Dossier"}.
                std::string key = lowercase(textOf(entry.value("Key", Json())));
                Json value = entry.value("Value", Json());
                if (key == "jobtitle") {
                    UserDefaultManager::setObject(value, kJobTitlPref);
                } else if (key == "identvalue") {
                    UserDefaultManager::setObject(value, kIdentPref);
                }
                continue;
            }
            const std::string& key = entry.begin().key();
            const Json& value = entry.begin().value();
            if (key == kTypeOfDelivery) {
                std::string name = textOf(value);
                std::int64_t type = name == "FTP" ? 1 : name == "EMAIL" ? 5 : name == "WEBSERVICES" ? 2 : 4;
                UserDefaultManager::setInt(type, kTypeOfDelivery);
            } else if (value == "true" || value == "false") {
                UserDefaultManager::setBool(value == "true", key);
            } else {
                UserDefaultManager::setObject(value, key);
            }
        }
    }
    UserDefaultManager::synchronize();
}

} // namespace orvaneh
