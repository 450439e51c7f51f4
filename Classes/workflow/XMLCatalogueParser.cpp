#include "Classes/workflow/XMLCatalogueParser.h"

#include "Classes/core/StringExtension.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

namespace orvaneh {

namespace {

constexpr std::string_view kRootElement = "Catalogue";

// The options that take a single text and each become one option record.
constexpr std::array<std::string_view, 7> kOptionElements{"ValidateBeforeSend",   "ApplicationForOrvane",
                                                          "ApplicationForLawyer", "BlockRecipient",
                                                          "DisplayScanButton",    "Version",
                                                          "ShowSettingsForRecord"};

// Elements whose end discards the pending record (the list wrappers).
constexpr std::array<std::string_view, 4> kListElements{"LoginUserInfos", "Worktypes", "Services", "Fields"};

bool isOneOf(std::string_view name, const auto& names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string_view view(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Binds libxml2's event parser to one XMLCatalogueParser. Entities are never expanded: the
// catalogue needs none, and refusing them is what keeps "billion laughs" documents and
// external entities pointing at local files from ever being read.
struct EventSession {
    static constexpr int kMaxDepth = 256;

    explicit EventSession(XMLCatalogueParser& parser) : delegate(parser) {}

    XMLCatalogueParser& delegate;
    xmlParserCtxtPtr context = nullptr;
    std::string firstError;
    std::string detail;
    // The first error came with every byte read: the document stops short, it is not garbled.
    bool failedAtEnd = false;
    bool refused = false;
    bool rootSeen = false;
    bool rootClosed = false;
    int depth = 0;

    void refuse(const std::string& reason) {
        if (!refused) {
            refused = true;
            firstError = reason;
        }
        xmlStopParser(context);
    }

    static EventSession& of(void* user) { return *static_cast<EventSession*>(user); }

    static void startElement(void* user, const xmlChar* localname, const xmlChar* prefix, const xmlChar*, int,
                             const xmlChar**, int, int, const xmlChar**) {
        std::string name = prefix != nullptr ? std::string(view(prefix)) + ":" : std::string();
        name += view(localname);
        EventSession& session = of(user);
        // Without a tree libxml2 sets no depth limit; a catalogue is five levels deep.
        if (++session.depth > kMaxDepth) {
            session.refuse("Le catalogue est refusé (profondeur excessive du document)");
            return;
        }
        // An error page or any other document must never replace the workflow: the root
        // decides before a single record is read.
        if (!session.rootSeen) {
            session.rootSeen = true;
            if (name != kRootElement) {
                session.refuse("Ce document n'est pas un catalogue de workflow (élément racine « " + name +
                               " »)");
                return;
            }
        }
        session.delegate.didStartElement(name);
    }

    static void endElement(void* user, const xmlChar* localname, const xmlChar* prefix, const xmlChar*) {
        std::string name = prefix != nullptr ? std::string(view(prefix)) + ":" : std::string();
        name += view(localname);
        EventSession& session = of(user);
        if (--session.depth == 0) {
            session.rootClosed = true;
        }
        session.delegate.didEndElement(name);
    }

    static void characters(void* user, const xmlChar* text, int length) {
        of(user).delegate.foundCharacters(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
    }

    static void entityDecl(void* user, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*) {
        of(user).refuse("Le catalogue est refusé (déclaration d'entité refusée : " + std::string(view(name)) +
                        ")");
    }

    static void reference(void* user, const xmlChar* name) {
        of(user).refuse(
            "Le catalogue est refusé (référence à une entité inconnue : " + std::string(view(name)) + ")");
    }

    static xmlEntityPtr noEntity(void*, const xmlChar*) { return nullptr; }

    static void error(void* user, xmlErrorPtr error) {
        EventSession& session = of(user);
        if (error != nullptr && error->level >= XML_ERR_ERROR && session.firstError.empty()) {
            // libxml2 speaks English: its text goes to the log only, the user reads the line.
            std::string message = error->message != nullptr ? error->message : "";
            while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
                message.pop_back();
            }
            session.detail = message;
            session.failedAtEnd = session.context != nullptr && session.context->input != nullptr &&
                                  session.context->input->cur >= session.context->input->end;
            session.firstError = "Le catalogue n'est pas un document XML valide (erreur à la ligne " +
                                 std::to_string(error->line) + ")";
        }
    }
};

} // namespace

bool XMLCatalogueParser::parse(std::string_view bytes) {
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        errorDescription_ = "Le catalogue est vide";
        return false;
    }
    xmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = &EventSession::startElement;
    handler.endElementNs = &EventSession::endElement;
    handler.characters = &EventSession::characters;
    // White space between tags is part of the gathered text (it decides absent versus empty).
    handler.ignorableWhitespace = &EventSession::characters;
    // CDATA is text the server may use for names holding markup characters.
    handler.cdataBlock = &EventSession::characters;
    handler.entityDecl = &EventSession::entityDecl;
    handler.reference = &EventSession::reference;
    handler.getEntity = &EventSession::noEntity;
    handler.getParameterEntity = &EventSession::noEntity;
    handler.serror = &EventSession::error;

    EventSession session(*this);
    // The first bytes go to the context so that it can detect the encoding.
    const std::size_t head = std::min<std::size_t>(bytes.size(), 4);
    session.context =
        xmlCreatePushParserCtxt(&handler, &session, bytes.data(), static_cast<int>(head), nullptr);
    if (session.context == nullptr) {
        errorDescription_ = "impossible de créer l'analyseur XML";
        return false;
    }
    xmlCtxtUseOptions(session.context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);

    constexpr std::size_t kChunk = 64 * 1024;
    std::size_t offset = head;
    do {
        const std::size_t length = std::min(kChunk, bytes.size() - offset);
        const bool last = offset + length == bytes.size();
        const int status =
            xmlParseChunk(session.context, bytes.data() + offset, static_cast<int>(length), last ? 1 : 0);
        offset += length;
        if (status != 0 || session.refused) {
            break;
        }
    } while (offset < bytes.size());

    const bool wellFormed = session.context->wellFormed != 0 && !session.refused;
    // Without a tree handler libxml2 still builds a document for an entity declaration; the
    // context does not own it.
    if (session.context->myDoc != nullptr) {
        xmlFreeDoc(session.context->myDoc);
        session.context->myDoc = nullptr;
    }
    xmlFreeParserCtxt(session.context);
    if (!wellFormed) {
        if (!session.refused && session.rootSeen && !session.rootClosed && session.failedAtEnd) {
            errorDescription_ =
                "Le catalogue n'est pas un document XML valide : il est tronqué, il s'arrête avant sa fin";
        } else if (!session.refused && !session.rootSeen) {
            errorDescription_ = "Ce document n'est pas un catalogue de workflow (aucun élément XML)";
        } else {
            errorDescription_ = session.firstError.empty() ? "Le catalogue n'est pas un document XML valide"
                                                           : session.firstError;
        }
        errorDetail_ = session.detail;
    }
    return wellFormed;
}

void XMLCatalogueParser::didStartElement(std::string_view) {}

void XMLCatalogueParser::foundCharacters(std::string_view characters) {
    if (!currentElementValue) {
        currentElementValue.emplace();
    }
    currentElementValue->append(characters);
}

void XMLCatalogueParser::setEntry(Json& record, std::string_view key,
                                  const std::optional<std::string>& text) {
    if (text) {
        record[std::string(key)] = *text;
    } else {
        record.erase(std::string(key));
    }
}

void XMLCatalogueParser::appendOption(std::string_view elementName, const std::optional<std::string>& text) {
    setEntry(value, elementName, text);
    Configuration.push_back(value);
    value = Json::object();
}

void XMLCatalogueParser::didEndElement(std::string_view elementName) {
    if (elementName == "Catalogue") {
        return;
    }
    std::optional<std::string> text;
    if (currentElementValue) {
        text = StringExtension::stringWithoutSpace(*currentElementValue);
    }

    if (isOneOf(elementName, kListElements)) {
        value = Json::object();
    } else if (elementName == "LoginUserInfo") {
        LoginUserInfos.push_back(value);
        value = Json::object();
    } else if (elementName == "Worktype") {
        if (value.empty()) {
            setEntry(value, "Worktype", text);
        }
        Worktypes.push_back(value);
        value = Json::object();
    } else if (elementName == "Service") {
        Services.push_back(value);
        value = Json::object();
    } else if (elementName == "ServiceUsers") {
        value["ServiceUsers"] = serviceUsers;
        serviceUsers = Json::array();
    } else if (elementName == "UserId") {
        if (text) {
            serviceUsers.push_back(*text);
        }
    } else if (elementName == "ServiceWorktypes") {
        value["ServiceWorktypes"] = serviceWorktype;
        serviceWorktype = Json::array();
    } else if (elementName == "WorktypeId") {
        if (text) {
            serviceWorktype.push_back(*text);
        }
    } else if (elementName == "Field") {
        if (value.empty()) {
            if (text) {
                oldXMLField.push_back(*text);
            }
        } else {
            Configuration.push_back(value);
            value = Json::object();
        }
    } else if (isOneOf(elementName, kOptionElements)) {
        appendOption(elementName, text);
    } else if (elementName == "TypeOfDelivery") {
        if (text && !text->empty()) {
            appendOption(elementName, text);
        } else {
            value = Json::object();
        }
    } else {
        setEntry(value, elementName, text);
    }
    currentElementValue.reset();
}

void XMLCatalogueParser::getOldXMLFields() {
    if (oldXMLField.empty() || oldXMLField.size() % 2 != 0) {
        return;
    }
    for (std::size_t index = 0; index + 1 < oldXMLField.size(); index += 2) {
        Configuration.push_back({{"Value", oldXMLField[index]}, {"Key", oldXMLField[index + 1]}});
    }
    oldXMLField.clear();
}

Json XMLCatalogueParser::getDataFromDictionary() {
    getOldXMLFields();
    return {{"Users", LoginUserInfos},
            {"Configuration", Configuration},
            {"Worktypes", Worktypes},
            {"Services", Services}};
}

} // namespace orvaneh
