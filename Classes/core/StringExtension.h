#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvaneh {

// Text operations shared by the job writers and the importers. Texts are UTF-8.
class StringExtension {
public:
    // The text with white space and line ends (ASCII and Unicode) trimmed at both ends.
    static std::string stringWithoutSpace(std::string_view text);
    // The text itself, or the empty text when there is none.
    static std::string stringEmptyIfNull(const std::optional<std::string>& text);
    // Accent folding for titles and identifiers sent in job descriptors: the fixed list of
    // replacements, applied in order, literal and case-sensitive.
    static std::string replaceSpecialCharacters(std::string_view text);
    // Escaped markup coming back from a web service: "\u003c" → "<", then "/u003e" → "/>",
    // then "\u003e" → ">".
    static std::string replaceCharactersInValidXML(std::string_view text);
    // Standard Base64 of the bytes; the empty text for no bytes.
    static std::string base64forData(std::string_view bytes);
    // True when the text is valid UTF-8 (no overlong forms, no surrogates) without control
    // characters: what a one-line field typed by a person may hold, and what lists and JSON
    // can show as it is.
    static bool isSingleLineText(std::string_view text);
    // ASCII letters lower-cased, every other byte kept (for comparing names and extensions).
    static std::string lowercased(std::string_view text);
    // Length of the UTF-8 sequence starting at `at`, 0 when it is not a valid one (overlong
    // forms, surrogates and code points above U+10FFFF included).
    static std::size_t utf8SequenceLength(std::string_view text, std::size_t at);
    // True when the whole text is valid UTF-8.
    static bool isValidUtf8(std::string_view text);
    // Every occurrence of `from` replaced by `to`, left to right; what was put in is not searched
    // again.
    static std::string replacingAll(std::string_view text, std::string_view from, std::string_view to);
    // Valid UTF-8 text without its first and last characters (not bytes); "" when it has fewer
    // than two.
    static std::string withoutFirstAndLastCharacter(std::string_view text);
};

} // namespace orvaneh
