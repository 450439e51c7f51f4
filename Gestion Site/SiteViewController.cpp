#include "Gestion Site/SiteViewController.h"

#include "Classes/core/SiteType.h"
#include "Classes/core/siteRequest.h"
#include "Platform/localisation/Localization.h"
#include "Platform/log/Log.h"

#include <utility>

namespace orvaneh {

namespace {

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

SiteViewController::SiteViewController(SiteModel site)
    : siteM_(std::move(site)), shouldUpdate_(siteM_.idSite != 0) {}

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
    // Without its own address a site would be sent to whatever server was asked last.
    if (needsAddress(site.typeSite) && isBlank(site.address)) {
        return localized("SITE_VIEW_ERROR_NO_SITE_ADDRESS", "Veuillez saisir l'adresse") +
               " : un site de type " + std::to_string(site.typeSite) + " (" + SiteType::label(site.typeSite) +
               ") en a besoin";
    }
    return {};
}

bool SiteViewController::addOrModifySite() {
    message_ = problemWith(siteM_);
    if (!message_.empty()) {
        Log::write("Site « " + siteM_.name + " » non enregistré : " + message_);
        return false;
    }
    siteRequest sites;
    if (shouldUpdate_) {
        sites.updateSite(siteM_);
    } else {
        siteM_.idSite = sites.addSite(siteM_);
        if (siteM_.idSite == 0) {
            message_ = "Le site n'a pas pu être enregistré";
            return false;
        }
        shouldUpdate_ = true;
    }
    message_ = localized("SITE_VIEW_SITE_SAVED", "Site sauvegardé");
    return true;
}

} // namespace orvaneh
