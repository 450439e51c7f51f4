#include "Classes/transport/CommunicationObject.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Pictures.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/packaging/XMLToSend.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <utility>

namespace orvaneh {

namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// Copies through a temporary name, so the destination is never a partial copy.
bool copyWhole(const std::string& source, const std::string& destination) {
    const std::string partial = destination + ".partiel";
    std::error_code error;
    fs::copy_file(source, partial, fs::copy_options::overwrite_existing, error);
    if (!error) {
        fs::rename(partial, destination, error);
    }
    if (error) {
        Log::write("Impossible de copier " + source + " vers " + destination + " : " + error.message());
        fs::remove(partial, error);
        return false;
    }
    return true;
}

} // namespace

CommunicationObject::CommunicationObject(std::int32_t idDictee) : idDictee_(idDictee) {
    if (idDictee_ >= 1) {
        dicteeM_ = getDicteeWithID();
    }
    stopObservation_ = NotificationCenter::defaultCenter().addObserver(
        "EnvoiClose", [this](const PostedNotification&) { stop(); });
}

CommunicationObject::~CommunicationObject() = default;

std::optional<DicteeModel> CommunicationObject::getDicteeWithID() {
    DicteeModel record = DicteeRequest().selectDictee(idDictee_);
    if (record.titre.empty()) {
        UserInterface::shared().showAlert(
            "",
            localized("GET_DICTATION_ERROR", "Une erreur est survenue lors de la récupération de la dictée"));
        return std::nullopt;
    }
    return record;
}

SiteModel CommunicationObject::getServerToAsk() const {
    return siteRequest::destinationForDictation(dicteeM_ ? dicteeM_->idSite : -1);
}

SiteModel CommunicationObject::getServerVelmoraToAsk() const {
    return siteRequest().selectSiteVelmoraIfExist();
}

bool CommunicationObject::hasServerAddress(const SiteModel& site) {
    return site.address.find_first_not_of(" \t") != std::string::npos && !site.mdpUnavailable;
}

std::string CommunicationObject::noServerAddressMessage(const SiteModel& site) {
    if (site.mdpUnavailable) {
        return site.passwordOutOfReachMessage();
    }
    return localized("SITE_WITHOUT_ADDRESS", "Le site") + " « " + site.name + " » " +
           localized("SITE_WITHOUT_ADDRESS_END",
                     "n'a pas d'adresse de serveur : indiquez-la dans ses réglages. Rien n'a été "
                     "envoyé ni importé.");
}

std::string CommunicationObject::webServiceURL(const SiteModel& site, const std::string& path) {
    return "https://" + site.addressWithoutScheme() + resolveUrlVsSiteType(site, path);
}

std::string CommunicationObject::resolveUrlVsSiteType(const SiteModel& site, const std::string& path) {
    if (!SiteType::usesPhpPaths(site.typeSite)) {
        return path;
    }
    static const std::pair<const char*, const char*> kPhpPaths[] = {
        {"/Orvane.WebServices/Import/PostFile", "/upload.php"},
        {"/Orvane.WebServices/Export/GetDirectory", "/getlist.php"},
        {"/Orvane.WebServices/Export/GetCatalogue?directoryName=", "/getconfigxml.php?name="},
    };
    for (const auto& [standard, php] : kPhpPaths) {
        if (path == standard) {
            return php;
        }
    }
    return path;
}

std::string CommunicationObject::generateXML(XMLToSend& descriptor) {
    if (!dicteeM_) {
        return {};
    }
    descriptor.setDictee(*dicteeM_);
    nameFILE_ = descriptor.fileName();
    // Every file of the job is named after it, and the job's clean-up removes the entries whose
    // name contains it: "../x" would write beside the profile, "." would match everything.
    if (!Tools::isPlainFileName(nameFILE_)) {
        jobNameRefused_ = true;
        // Shown and logged without its control characters, which could fake a line.
        refusedJobName_ = std::exchange(nameFILE_, {});
        for (char& c : refusedJobName_) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                c = '?';
            }
        }
        Log::write("Nom de job refusé pour la dictée " + std::to_string(idDictee_) + " : « " +
                   refusedJobName_ + " »");
        return {};
    }
    return descriptor.SerializeObject();
}

std::string CommunicationObject::jobNameRefusal() const {
    return localized("JOB_NAME_REFUSED", "Le nom de job de la dictée n'est pas un nom de fichier valide :") +
           " « " + refusedJobName_ + " » (" + (dicteeM_ ? dicteeM_->titre : std::string()) + "). " +
           localized("JOB_NAME_REFUSED_END", "La dictée n'est pas envoyée.");
}

CommunicationObject::FileIdentity CommunicationObject::FileIdentity::of(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return {};
    }
    return {true, static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

std::int64_t CommunicationObject::attemptStamp() const {
    return claimStamp_ != 0 ? claimStamp_ : (dicteeM_ ? dicteeM_->tsTransfert : 0);
}

bool CommunicationObject::sameRecordings() const {
    return std::all_of(preparedSources_.begin(), preparedSources_.end(),
                       [](const auto& source) { return FileIdentity::of(source.first) == source.second; });
}

void CommunicationObject::giveUpChangedDictee(const std::string& what) {
    Log::write("La dictée " + std::to_string(idDictee_) +
               " a été modifiée (ou supprimée) pendant son envoi : " + what +
               ", sa nouvelle version partira au prochain essai");
    DicteeRequest().releaseClaim(idDictee_, attemptStamp());
}

bool CommunicationObject::markSent() {
    if (sameRecordings() && DicteeRequest().updateDicteeEnvoiIfClaimed(idDictee_, attemptStamp())) {
        return true;
    }
    giveUpChangedDictee("elle n'est pas marquée envoyée");
    return false;
}

bool CommunicationObject::claimStillHolds(const std::string& what) {
    const DicteeModel stored = DicteeRequest().selectDictee(idDictee_);
    if (sameRecordings() && stored.idDictee == idDictee_ && stored.tsTransfert == attemptStamp()) {
        return true;
    }
    giveUpChangedDictee(what);
    return false;
}

bool CommunicationObject::prepareFilesToUpload() {
    filesToUpload_.clear();
    preparedSources_.clear();
    if (!Tools::isPlainFileName(nameFILE_)) {
        Log::write("La dictée " + std::to_string(idDictee_) + " n'a pas de nom de travail : rien à préparer");
        return false;
    }
    const std::string format = ConfigurationManager::getExportFileFormat();
    bool complete = true;
    for (const std::string prefix : {"", "I"}) {
        if (stop_.load()) {
            break;
        }
        const std::string source =
            FileManagerHelper::getPathForFileName("/" + prefix + std::to_string(idDictee_) + ".wav");
        // Before the copy: a recording replaced after this point no longer matches at the end.
        preparedSources_.emplace_back(source, FileIdentity::of(source));
        if (!exists(source)) {
            continue;
        }
        const std::string destination = FileManagerHelper::getPathForFileName(
            "/" + nameFILE_ + (prefix.empty() ? "" : "-i") + "." + format);
        bool made = false;
        if (format == "spx") {
            if (!speexEncoder_) {
                speexEncoder_ = std::make_unique<SpeexEncoder>();
            }
            encoding_.store(true);
            made = !stop_.load() && speexEncoder_->encode(source, destination, 16);
            encoding_.store(false);
        } else {
            made = copyWhole(source, destination);
        }
        if (made && exists(destination)) {
            filesToUpload_.push_back(destination);
        } else {
            Log::write("Le fichier " + source + " n'a pas pu être préparé pour l'envoi");
            complete = false;
        }
    }
    addPictures();
    return complete && !stop_.load();
}

void CommunicationObject::addPictures() {
    if (!Tools::isPlainFileName(nameFILE_)) {
        return;
    }
    const std::string directory = Tools::documentsDirectory();
    int number = 0;
    for (const auto& name : Pictures::picturesForDictation(idDictee_)) {
        const std::string copy =
            directory + "/" + nameFILE_ + "-pictures-" + std::to_string(++number) + ".jpg";
        if (copyWhole(directory + "/" + name, copy) && exists(copy)) {
            filesToUpload_.push_back(copy);
        }
    }
}

bool CommunicationObject::addDescriptor(const std::string& bytes) {
    const std::string path = FileManagerHelper::getPathForFileName("/" + nameFILE_ + ".XML");
    std::string error;
    if (!Tools::isPlainFileName(nameFILE_) ||
        !AtomicFile::write(path, bytes, fs::perms::owner_read | fs::perms::owner_write, &error)) {
        Log::write("Le descriptif de la dictée " + std::to_string(idDictee_) +
                   " n'a pas pu être écrit : " + error);
        return false;
    }
    filesToUpload_.push_back(path);
    return true;
}

void CommunicationObject::removeTempFile() {
    if (!Tools::isPlainFileName(nameFILE_)) {
        return;
    }
    FileManagerHelper::deleteFilesOfJob(nameFILE_);
}

void CommunicationObject::stop() {
    stop_.store(true);
    if (encoding_.load()) {
        speexEncoder_->stop();
    }
}

void CommunicationObject::endAttempt() {
    if (!ended_.exchange(true)) {
        NotificationCenter::defaultCenter().post("EnvoiClose");
    }
}

} // namespace orvaneh
