#include "Gestion Site/SiteViewController.h"

#include "Classes/core/FtpsMode.h"
#include "Classes/core/SiteType.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/siteRequest.h"
#include "Classes/screens/Notification.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace orvaneh {

namespace {

constexpr int kLeaveQuestionTag = 42;
constexpr const char* kFtpScheme = "ftp://";

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The address without its "ftp://" (FTPGet and the uploads add it back). Found wherever it
// stands and in any case, so that a leading space never makes the cut remove the wrong six
// characters.
std::string withoutFtpScheme(const std::string& address) {
    std::string lower = address;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = lower.find(kFtpScheme);
    if (at == std::string::npos) {
        return address;
    }
    return address.substr(0, at) + address.substr(at + std::string(kFtpScheme).size());
}

// The address as stored for a site of `type`: "ftp://" is dropped where the transport adds it
// back; another scheme, or any on a site reached over https, stays for problemWith to judge.
std::string storedAddress(const std::string& address, std::int32_t type) {
    SiteModel site;
    site.address = address;
    const std::string scheme = site.addressScheme();
    if (SiteType::reachedOverHttps(type) || (!scheme.empty() && scheme != "ftp")) {
        return address;
    }
    return withoutFtpScheme(address);
}

bool segmentOffersEmail(int segment) {
    return segment == 1 || segment == 2;
}

} // namespace

SiteViewController::SiteViewController() {
    changeSgmValue(0);
}

SiteViewController::SiteViewController(SiteModel site)
    : siteM_(std::move(site)), shouldUpdate_(siteM_.idSite != 0) {
    // The selector first: touching it clears the fields, which are filled only afterwards.
    changeSgmValue(SiteType::segmentForType(siteM_.typeSite));
    name_ = siteM_.name;
    address_ = siteM_.address;
    login_ = siteM_.login;
    password_ = siteM_.mdp;
    emailSwitchOn_ = siteM_.emailPropose;
    ftps_ = siteM_.ftps;
    // A type the selector would not give back as it is (3, 5, 8) stays until it is touched.
    typeFromSelector_ = SiteType::typeForSegment(segment_, emailSwitchOn_ && emailSwitchEnabled_) ==
                        std::optional<std::int32_t>(siteM_.typeSite);
}

std::string SiteViewController::title() const {
    if (!shouldUpdate_) {
        return localized("SITE_VIEW_NEW_SITE_TITLE", "Nouveau site");
    }
    return siteM_.name;
}

std::string SiteViewController::saveButtonTitle() const {
    return localized("SITE_VIEW_SAVE", "SAUVEGARDER");
}

void SiteViewController::setName(std::string text) {
    name_ = std::move(text);
    changed();
}

void SiteViewController::setAddress(std::string text) {
    address_ = std::move(text);
    changed();
}

void SiteViewController::setLogin(std::string text) {
    login_ = std::move(text);
    changed();
}

void SiteViewController::setPassword(std::string text) {
    password_ = std::move(text);
    changed();
}

void SiteViewController::changeSgmValue(int segment) {
    segment_ = segment;
    typeFromSelector_ = true;
    address_.clear();
    login_.clear();
    password_.clear();
    if (segment >= 0 && segment < kSegmentCount) {
        emailSwitchEnabled_ = segmentOffersEmail(segment);
        addressEnabled_ = true;
        addressPlaceholder_ = localized("SITE_VIEW_ADDRESS", "Adresse");
    }
    changed();
}

void SiteViewController::setEmailSwitchOn(bool on) {
    if (!emailSwitchEnabled_) {
        return;
    }
    emailSwitchOn_ = on;
    typeFromSelector_ = true;
    changed();
}

void SiteViewController::setFtps(FtpSecurity mode) {
    ftps_ = mode;
    changed();
}

bool SiteViewController::ftpsOffered() const {
    const auto type = typeFromSelector_
                          ? SiteType::typeForSegment(segment_, emailSwitchOn_ && emailSwitchEnabled_)
                          : std::optional<std::int32_t>(siteM_.typeSite);
    return type && SiteType::isFtpSite(*type);
}

std::string SiteViewController::ftpsWarning() const {
    return ftpsOffered() && ftps_ == FtpSecurity::Plain ? FtpsMode::plainWarning() : std::string();
}

bool SiteViewController::needsAddress(std::int32_t typeSite) {
    return SiteType::needsAddress(typeSite);
}

std::string SiteViewController::problemWith(const SiteModel& site) {
    if (isBlank(site.name)) {
        return localized("SITE_VIEW_ERROR_NO_SITE_NAME", "Veuillez saisir le nom du site");
    }
    if (SiteType::find(site.typeSite) == nullptr) {
        return "Type de site inconnu : " + std::to_string(site.typeSite) + " (de 1 à 8)";
    }
    // Lists, JSON and the office's servers take these fields as one line of text.
    const std::pair<const std::string*, const char*> fields[] = {{&site.name, "Le nom du site"},
                                                                 {&site.address, "L'adresse"},
                                                                 {&site.login, "L'utilisateur"},
                                                                 {&site.mdp, "Le mot de passe"}};
    for (const auto& [field, label] : fields) {
        if (!StringExtension::isSingleLineText(*field)) {
            return std::string(label) + " ne peut contenir ni saut de ligne, ni caractère de contrôle, ni "
                                        "octets qui ne sont pas du "
                                        "texte UTF-8";
        }
    }
    // Without its own address a site would be sent to whatever server was asked last.
    if (needsAddress(site.typeSite) && site.addressWithoutScheme().empty()) {
        return localized("SITE_VIEW_ERROR_NO_SITE_ADDRESS", "Veuillez saisir l'adresse") +
               " : un site de type " + std::to_string(site.typeSite) + " (" + SiteType::label(site.typeSite) +
               ") en a besoin";
    }
    // Each transport puts its own scheme before the address; another one written there would
    // make it ask a server that cannot answer it.
    const std::string scheme = site.addressScheme();
    if (!scheme.empty()) {
        if (SiteType::isWebServiceSite(site.typeSite) && scheme != "https" && scheme != "http") {
            return "L'adresse d'un service web commence par « https:// » ou directement par le nom du "
                   "serveur, pas par « " +
                   scheme + ":// »";
        }
        if (SiteType::isTranscriptionServiceSite(site.typeSite) && scheme != "https" && scheme != "http") {
            return "L'adresse d'un service de transcription commence par « https:// » ou directement par le "
                   "nom du serveur, pas par « " +
                   scheme + ":// »";
        }
        if (SiteType::isFtpSite(site.typeSite) && scheme != "ftp") {
            return "L'adresse d'un site FTP commence par « ftp:// » ou directement par le nom du serveur, "
                   "pas par « " +
                   scheme + ":// »";
        }
    }
    return {};
}

SiteViewController::Outcome SiteViewController::prepared() const {
    Outcome outcome{siteM_, {}};
    SiteModel& site = outcome.site;
    if (isBlank(name_)) {
        outcome.problem = localized("SITE_VIEW_ERROR_NO_SITE_NAME", "Veuillez saisir le nom du site");
        return outcome;
    }
    site.name = name_;
    site.address = address_;
    site.login = login_;
    site.mdp = password_;
    const auto selectorType = typeFromSelector_
                                  ? SiteType::typeForSegment(segment_, emailSwitchOn_ && emailSwitchEnabled_)
                                  : std::nullopt;
    if (selectorType) {
        site.typeSite = *selectorType;
        // What every transport of the selector needs to reach its server.
        if (site.addressWithoutScheme().empty()) {
            outcome.problem = localized("SITE_VIEW_ERROR_NO_SITE_ADDRESS", "Veuillez saisir l'adresse");
        } else if (isBlank(site.login)) {
            outcome.problem = localized("SITE_VIEW_ERROR_NO_USER_NAME", "Veuillez saisir l'utilisateur");
        } else if (isBlank(site.mdp) && !site.mdpUnavailable) {
            outcome.problem = localized("SITE_VIEW_ERROR_NO_PASSWORD", "Veuillez saisir un mot de passe");
        }
        if (!outcome.problem.empty()) {
            return outcome;
        }
        site.emailPropose = emailSwitchOn_ && emailSwitchEnabled_;
    } else {
        site.emailPropose = emailSwitchOn_;
    }
    site.ftps = SiteType::isFtpSite(site.typeSite) ? ftps_ : FtpSecurity::Plain;
    site.address = storedAddress(site.address, site.typeSite);
    outcome.problem = problemWith(site);
    return outcome;
}

std::string SiteViewController::pendingProblem() const {
    return prepared().problem;
}

bool SiteViewController::addOrModifySite() {
    Outcome outcome = prepared();
    if (!isBlank(name_)) {
        address_ = storedAddress(address_, outcome.site.typeSite);
    }
    message_ = outcome.problem;
    SiteModel& site = outcome.site;
    if (message_.empty()) {
        siteRequest sites;
        if (shouldUpdate_) {
            // The default mark is the list's: keep the stored one, whatever it was when opened.
            const SiteModel stored = sites.selectSiteWithId(site.idSite);
            if (stored.idSite == 0) {
                message_ = "Le site n'a pas pu être enregistré : il n'existe plus";
            } else {
                site.selected = stored.selected;
                sites.updateSite(site);
            }
        } else {
            // The very first site is the default one: the site list refuses to close without one.
            const bool first = sites.selectSites().empty();
            site.selected = false;
            site.idSite = sites.addSite(site);
            if (site.idSite == 0) {
                message_ = "Le site n'a pas pu être enregistré";
            } else if (first) {
                sites.unselectSite();
                site.selected = true;
                sites.updateSite(site);
            }
        }
    }
    if (!message_.empty()) {
        Log::write("Site « " + name_ + " » non enregistré : " + message_);
        Notification::pushNotification(message_);
        changed();
        return false;
    }
    siteM_ = site;
    shouldUpdate_ = true;
    message_ = localized("SITE_VIEW_SITE_SAVED", "Site sauvegardé");
    Notification::pushNotification(message_);
    changed();
    close();
    return true;
}

bool SiteViewController::viewShouldBackToParentView() {
    enum Answer { Save = 0, Discard = 1, Stay = 2 };
    const std::vector<UserInterface::Choice> choices{
        {localized("SITE_VIEW_SAVE_CHANGES", "Enregistrer les modifications"),
         UserInterface::Choice::Style::Normal},
        {localized("SITE_VIEW_CANCEL_CHANGES", "Annuler les modifications"),
         UserInterface::Choice::Style::Destructive},
        {localized("SITE_VIEW_CANCEL", "Annuler"), UserInterface::Choice::Style::Cancel},
    };
    UserInterface::shared().presentChoices("", "", choices, kLeaveQuestionTag,
                                           [this, alive = std::weak_ptr<char>(alive_)](int index) {
                                               if (!alive.lock()) {
                                                   return;
                                               }
                                               if (index == Save) {
                                                   addOrModifySite();
                                               } else if (index == Discard) {
                                                   close();
                                               }
                                           });
    return false;
}

void SiteViewController::close() {
    // Both may release this screen: copied first.
    if (auto finished = finished_) {
        finished();
    }
    cancel();
}

} // namespace orvaneh
