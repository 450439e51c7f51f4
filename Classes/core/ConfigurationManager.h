#pragma once

#include "Platform/json/Json.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The application's options: their keys, their defaults, the import of the options sent by
// the server's configuration, and the one-time migration of the settings file of older
// versions. Safe from any thread.
class ConfigurationManager {
public:
    // One option of the settings table, for screens and the command line that show them all.
    struct Setting {
        enum class Kind { Boolean, Integer, Real, Text };
        std::string key;
        Kind kind;
        // The value as its accessor reads it (defaults applied).
        std::function<Json()> read;
    };
    // Every option, in the order of the settings table.
    static const std::vector<Setting>& settings();
    // The option with that key, or nullptr.
    static const Setting* findSetting(const std::string& key);

    static bool shouldDisplayParameterResumeBeforeSend();
    static bool shouldDisplayParameterResumeBeforeRecord();
    // Days after which sent dictations are deleted; below 1 means never. 120 when absent.
    static std::int64_t getCleansingMaxDate();
    static bool shouldCompresseFilesToSend();
    static float getNumVersionWS();
    static void setNumVersionWS(float version);
    static bool shouldPushToRecordAndPlay();
    static bool shouldBlockRecipient();
    static bool shouldDisplayServices();
    static void setShouldDisplayServices(bool display);
    static std::string getJobTitle();
    static std::string getIdentValue();
    // True when absent.
    static bool shouldDisplayScanner();
    static bool shouldSendToVelmora();
    static bool shouldLinkDictationToSite();
    // 1 FTP, 2 web services, 5 e-mail, 4 anything else; 0 when absent.
    static std::int64_t getSendType();
    // 16000 when absent or 0.
    static float getAudioSampleRate();
    // "wav" when absent or empty.
    static std::string getExportFileFormat();
    // A PEM file of certificate authorities trusted besides the system's (an office with its
    // own CA); "" when none.
    static std::string getTrustedCertificatesFile();
    // Seconds without progress after which a transfer fails ("NetworkStallTimeout"); 60 when
    // absent or not positive. Tests shorten it.
    static double getNetworkStallTimeout();

    // At start-up: migrates "Configurations.plist" of the documents directory once, then gives
    // the title and identifier labels their defaults. The file is set aside before it is read,
    // so that a file that brings the process down is never read again; read, it is removed.
    // A damaged file is kept aside as "Configurations.plist.illisible-<date>" and the defaults
    // apply: the returned French notice says so.
    static std::optional<std::string> checkAndCreateDefaultXmlFields();
    // The migration of a legacy settings dictionary ("Fields", "ValidateBeforeSend",
    // "ShowSettingsForRecord").
    static void changeFieldsVersion2to3(const Json& legacy);
    // Imports the options of a server configuration: a list of dictionaries.
    static void addObjectsFromArray(const Json& options);
};

} // namespace orvaneh
