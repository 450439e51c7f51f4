#include "Classes/packaging/XMLToSend.h"

#include "Classes/core/FileManagerHelper.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/log/Log.h"

#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <memory>
#include <utility>

namespace orvaneh {

namespace {

constexpr const char* kXsdNamespace = "http://www.w3.org/2001/XMLSchema";
constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

const xmlChar* xml(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
struct BufferDeleter {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

// The code point of the valid UTF-8 sequence at text[i] and its length; length 0 when the
// bytes there are not one (stray, truncated, overlong, surrogate or beyond U+10FFFF).
std::pair<char32_t, std::size_t> decode(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t point = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, point = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, point = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, point = lead & 0x07u, minimum = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + length > text.size()) {
        return {0, 0};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return {0, 0};
        }
        point = (point << 6) | (byte(k) & 0x3Fu);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return {0, 0};
    }
    return {point, length};
}

bool allowedInXml(char32_t point) {
    return point == 0x9 || point == 0xA || point == 0xD ||
           (point >= 0x20 && point != 0xFFFE && point != 0xFFFF);
}

} // namespace

XMLToSend::XMLToSend(std::string tag, std::vector<std::string> elements) : tag_(std::move(tag)) {
    for (auto& name : elements) {
        fields_.push_back({std::move(name), std::nullopt});
    }
}

void XMLToSend::setDictee(const DicteeModel& record) {
    fileName_ = record.masterJobId;
    dictModel_ = record;
    idDict_ = static_cast<std::int32_t>(record.idDictee);
}

void XMLToSend::setText(std::string_view element, std::string text) {
    for (auto& candidate : fields_) {
        if (candidate.name == element) {
            candidate.text = std::move(text);
            return;
        }
    }
    Log::write("Élément XML non déclaré ignoré : " + std::string(element));
}

void XMLToSend::setNumber(std::string_view element, std::int64_t number) {
    setText(element, std::to_string(number));
}

void XMLToSend::setIfPresent(std::string_view element, std::string text) {
    if (!text.empty()) {
        setText(element, std::move(text));
    }
}

std::optional<std::string> XMLToSend::value(std::string_view element) const {
    for (const auto& candidate : fields_) {
        if (candidate.name == element) {
            return candidate.text;
        }
    }
    return std::nullopt;
}

std::string XMLToSend::xmlSafeText(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto [point, length] = decode(text, i);
        if (length == 0) {
            safe += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (allowedInXml(point)) {
            safe.append(text.substr(i, length));
        }
        i += length;
    }
    return safe;
}

std::string XMLToSend::SerializeObject() const {
    std::unique_ptr<xmlDoc, DocumentDeleter> document(xmlNewDoc(BAD_CAST "1.0"));
    xmlNodePtr root = document ? xmlNewDocNode(document.get(), nullptr, xml(tag_), nullptr) : nullptr;
    if (root == nullptr) {
        Log::write("Impossible de créer le document XML de la dictée " + fileName_);
        return {};
    }
    xmlDocSetRootElement(document.get(), root);
    xmlNewNs(root, BAD_CAST kXsdNamespace, BAD_CAST "xsd");
    xmlNewNs(root, BAD_CAST kXsiNamespace, BAD_CAST "xsi");
    // The servers expect the children on the line after the root start tag.
    xmlAddChild(root, xmlNewDocText(document.get(), BAD_CAST "\n"));
    for (const auto& [name, text] : fields_) {
        if (!text) {
            continue;
        }
        xmlNodePtr child = xmlNewDocNode(document.get(), nullptr, xml(name), nullptr);
        std::string safe = xmlSafeText(*text);
        if (!safe.empty()) {
            // A text node holds the value as it is; the writer escapes it.
            xmlAddChild(child, xmlNewDocText(document.get(), xml(safe)));
        }
        xmlAddChild(root, child);
    }

    // Saved without encoding so that every non-ASCII character becomes a reference; the
    // declaration, which then would name no encoding, is written here.
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    xmlSaveCtxtPtr context = buffer ? xmlSaveToBuffer(buffer.get(), nullptr, XML_SAVE_NO_DECL) : nullptr;
    if (context == nullptr) {
        Log::write("Impossible d'écrire le document XML de la dictée " + fileName_);
        return {};
    }
    long written = xmlSaveDoc(context, document.get());
    xmlSaveClose(context);
    if (written < 0) {
        Log::write("Impossible d'écrire le document XML de la dictée " + fileName_);
        return {};
    }
    return kDeclaration + std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                                      static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

std::string XMLToSend::jobFilePath() const {
    return FileManagerHelper::getPathForFileName("/" + fileName_ + ".XML");
}

bool XMLToSend::writeJobFile() const {
    // The name comes from the database: never let it point outside the documents directory.
    if (fileName_.empty() || fileName_.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        Log::write("Fichier XML non écrit : nom de job invalide « " + fileName_ + " »");
        return false;
    }
    std::string document = SerializeObject();
    if (document.empty()) {
        return false;
    }
    std::string error;
    if (!AtomicFile::write(jobFilePath(), document,
                           std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                           &error)) {
        Log::write("Fichier XML " + jobFilePath() + " non écrit : " + error);
        return false;
    }
    return true;
}

} // namespace orvaneh
