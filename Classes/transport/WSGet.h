#pragma once

#include "Classes/transport/CommunicationObject.h"
#include "Classes/transport/WSResult.h"

#include <memory>
#include <string>

namespace orvaneh {

class WSCommunication;

// A configuration fetch from the default site's web services: the list of configuration
// directories ("GetDirectory") or one directory's catalogue ("GetCatalogue"), which it
// imports itself. One object per fetch; started and answered on the main run loop. The
// delegate must outlive the fetch (or cancel it by destroying the WSGet); it may destroy the
// WSGet from inside its callbacks or on "DownLoadFinished". Without a default site the fetch
// fails through errorRequest, later on the same run loop, and so does a site without an
// address. An answer to another method than the one asked (a directory list for a catalogue,
// or the reverse) fails through errorRequest: it is never taken for what was asked.
class WSGet : public CommunicationObject, public WSResultDelegate {
public:
    WSGet();
    WSGet(std::int32_t idDictee, WSResultDelegate* delegate);
    ~WSGet() override;

    void setDelegate(WSResultDelegate* delegate) { delegateGet_ = delegate; }
    // GET "https://" + default site address + translated path + text (appended unchanged).
    void makeRequestForUrl(const std::string& path, const std::string& text);
    void getServices();
    void getCatalogueForService(const std::string& name);

    // The connection's outcomes (from WSCommunication).
    void requestDidFinish(const WSResult& result) override;
    void errorRequest(const WSResult& result) override;
    void getDataRequest(const std::string& text);
    void erreurRequest(const std::string& text);
    // "" → alert "Il n'y a pas de catalogue pour ce service"; otherwise the catalogue is
    // parsed and, only when it parses, replaces the workflow directory (Entity::importCatalogue;
    // "Fin de l'importation"; on failure the alert
    // "Une erreur est survenue lors de l'importation, veuillez recommencer."). Every case then
    // posts "DownLoadFinished". True when the catalogue was imported. A catalogue that does not
    // import reaches the delegate as errorRequest (which tells the user) instead of
    // requestDidFinish.
    bool downloadCatalogueFinished(const WSResult& result);

private:
    // downloadCatalogueFinished, with the text of a catalogue that did not import (its
    // reason included) in `failure`.
    bool importCatalogue(const WSResult& result, std::string& failure);
    WSResultDelegate* delegateGet_ = nullptr;
    // The method the office must answer with ("GetDirectory", "GetCatalogue"); empty: any.
    std::string askedMethod_;
    static std::string importErrorText();
    std::shared_ptr<WSCommunication> wsCommunication_;
};

} // namespace orvaneh
