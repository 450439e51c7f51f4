#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/packaging/Entity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// A job descriptor: the XML file that travels with a dictation's audio. Concrete descriptors
// declare their elements and fill them from the dictation; the serialization and the job file
// are shared. Created for one send attempt, filled once, then released.
class XMLToSend : public Entity {
public:
    const std::string& tag() const { return tag_; }
    // A copy of the dictation given to setDictee, so the descriptor never outlives its record.
    const DicteeModel& dictModel() const { return dictModel_; }
    std::int32_t idDict() const { return idDict_; }
    // The dictation's masterJobId: the base name of every file of the job.
    const std::string& fileName() const { return fileName_; }

    virtual void setDictee(const DicteeModel& record);

    // The element's text, nothing when the element is not written (undeclared or unset).
    std::optional<std::string> value(std::string_view element) const;

    // The whole document: declaration, root start tag with its xsd and xsi namespaces on its
    // own line, every set element on one line, the end tag. Non-ASCII characters are written
    // as character references, so the bytes are ASCII whatever the values hold.
    std::string SerializeObject() const;

    // "/<fileName>.XML" in the documents directory.
    std::string jobFilePath() const;
    // Writes the serialized descriptor to jobFilePath(), whole or not at all, replacing an
    // earlier one. False (logged) on failure or when the job has no usable name.
    bool writeJobFile() const;

    // The text with what XML 1.0 cannot carry removed: every byte that is not part of valid
    // UTF-8 becomes U+FFFD, control characters other than tab, line feed and carriage return
    // (and U+FFFE, U+FFFF) are dropped.
    static std::string xmlSafeText(std::string_view text);

protected:
    XMLToSend(std::string tag, std::vector<std::string> elements);

    // Setting an element the descriptor did not declare is logged and ignored.
    void setText(std::string_view element, std::string text);
    void setNumber(std::string_view element, std::int64_t number);
    // Sets the element unless the record holds nothing for it (empty text).
    void setIfPresent(std::string_view element, std::string text);

private:
    struct Field {
        std::string name;
        std::optional<std::string> text;
    };

    std::string tag_;
    DicteeModel dictModel_;
    std::int32_t idDict_ = 0;
    std::string fileName_;
    std::vector<Field> fields_; // in declaration order, which is the order written
};

} // namespace orvaneh
