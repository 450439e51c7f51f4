#include "Classes/core/StringExtension.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(StringExtensionTest, TrimsAsciiAndUnicodeWhiteSpace) {
    EXPECT_EQ(StringExtension::stringWithoutSpace("  texte \t\r\n"), "texte");
    EXPECT_EQ(StringExtension::stringWithoutSpace("\u00A0\u2003\u3000mot intérieur\u2028\u2029\u0085\u202F"),
              "mot intérieur");
    EXPECT_EQ(StringExtension::stringWithoutSpace(" \u00A0\n "), "");
    EXPECT_EQ(StringExtension::stringWithoutSpace(""), "");
    // Accented letters at the ends are not mistaken for space; stray bytes are kept.
    EXPECT_EQ(StringExtension::stringWithoutSpace(" été "), "été");
    EXPECT_EQ(StringExtension::stringWithoutSpace(" \xFF\x61\xC2 "), "\xFF\x61\xC2");
}

TEST(StringExtensionTest, ReplaceSpecialCharacters) {
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("Réunion/Été"), "Reunion-Éte");
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("Être à Noël, ça î ï â ä è ê"),
              "etre a Noël, ca i i a a e e");
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("a\\b/c"), "a-b-c");
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("caf\uFFFD"), "cafe");
    // Entities in the list only; "&#xE9;" is not one of them.
    EXPECT_EQ(
        StringExtension::replaceSpecialCharacters("&#xE8;&#xEA;&#xEB;&#xE0;&#xE1;&#xE2;&#xE3;&#xEE;&#xEF;"),
        "eeeaaaaii");
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("&#xE9;t&#xe8;"), "&#xE9;t&#xe8;");
    // A decomposed é (e + combining acute) is not the listed character.
    EXPECT_EQ(StringExtension::replaceSpecialCharacters("e\u0301"), "e\u0301");
}

TEST(StringExtensionTest, ReplaceCharactersInValidXml) {
    EXPECT_EQ(StringExtension::replaceCharactersInValidXML("\\u003cDossier\\u003e1\\u003c/Dossier\\u003e"),
              "<Dossier>1</Dossier>");
    EXPECT_EQ(StringExtension::replaceCharactersInValidXML("\\u003cVide/u003e"), "<Vide/>");
    EXPECT_EQ(StringExtension::replaceCharactersInValidXML("\\u003C u003e"), "\\u003C u003e");
}

} // namespace
} // namespace orvaneh
