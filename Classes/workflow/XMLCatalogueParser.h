#pragma once

#include "Platform/json/Json.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// Reads the office's catalogue ("Catalogue.xml") into four lists: users, worktypes, services
// and options. It acts on end tags only and does not check nesting, so the older forms of
// Worktype and Field the server still writes are read too. One parser serves one parse.
class XMLCatalogueParser {
public:
    // initXMLParser: everything starts empty.
    XMLCatalogueParser() = default;

    // Runs the event parser over the bytes with this object as its delegate. False when the
    // document is empty, truncated, not well-formed, declares entities or is not a catalogue
    // (its root element is not "Catalogue"); errorDescription() then says why in a French
    // sentence, errorDetail() gives libxml2's own words for the log. Network access and
    // external entities are never used.
    bool parse(std::string_view bytes);
    const std::string& errorDescription() const { return errorDescription_; }
    const std::string& errorDetail() const { return errorDetail_; }

    // The event callbacks, in the order the event parser calls them.
    void didStartElement(std::string_view elementName);
    void foundCharacters(std::string_view characters);
    void didEndElement(std::string_view elementName);

    // {"Users", "Configuration", "Worktypes", "Services"}, the older Field texts folded in.
    Json getDataFromDictionary();

private:
    // Pairs of older Field texts (value, then key) become option records; an odd count is
    // ignored as a whole.
    void getOldXMLFields();
    void appendOption(std::string_view elementName, const std::optional<std::string>& text);
    static void setEntry(Json& record, std::string_view key, const std::optional<std::string>& text);

    std::optional<std::string> currentElementValue;
    Json value = Json::object();
    Json LoginUserInfos = Json::array();
    Json Worktypes = Json::array();
    Json Services = Json::array();
    Json Configuration = Json::array();
    std::vector<std::string> oldXMLField;
    Json serviceUsers = Json::array();
    Json serviceWorktype = Json::array();

    std::string errorDescription_;
    std::string errorDetail_;
};

} // namespace orvaneh
