#include "Platform/network/FtpListingParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace orvaneh {
namespace {

using Entry = FtpListingEntry;

enum Outcome { WholeLine, NeedsMore, Fails };

struct LineCase {
    std::string line;
    Outcome outcome;
    std::optional<Entry> entry;
};

TEST(FtpListingParserTest, ReadsOneLineOfEitherStyle) {
    const std::vector<LineCase> cases = {
        // Unix style, with the time, the year, numeric owners, no group, a link.
        {"drwxr-xr-x   2 owner group   4096 Jan 10 12:00 Name With Spaces\r\nnext", WholeLine,
         Entry{"Name With Spaces", Entry::kDirectory, 4096}},
        {"-rw-r--r--   1 owner group 123456 Mar  3  2023 fichier été.txt\n", WholeLine,
         Entry{"fichier été.txt", Entry::kFile, 123456}},
        {"drwxrwxrwx   3 1001     1001         4096 dec 31 23:59 .\r\n", WholeLine,
         Entry{".", Entry::kDirectory, 4096}},
        {"-rw-r--r-- 1 ftp 42 May  5 9:05  deux blancs\n", WholeLine,
         Entry{" deux blancs", Entry::kFile, 42}},
        {"lrwxrwxrwx   1 owner group     11 Feb 29 09:05 lien -> /cible\n", WholeLine,
         Entry{"lien", Entry::kLink, 11}},
        // DOS / IIS style.
        {"01-15-24  10:30AM       <DIR>          Name With Spaces\r\n", WholeLine,
         Entry{"Name With Spaces", Entry::kDirectory, 0}},
        {"01-15-2024  09:05PM             12345 rapport final.doc\r\n", WholeLine,
         Entry{"rapport final.doc", Entry::kFile, 12345}},
        // Lines without an entry.
        {"total 12\r\n", WholeLine, std::nullopt},
        {"\r\n", WholeLine, std::nullopt},
        // No whole line yet.
        {"drwxr-xr-x   2 owner group   4096 Jan 10 12:00 Nom", NeedsMore, std::nullopt},
        // Neither style.
        {"ceci n'est pas un listing\r\n", Fails, std::nullopt},
        {"drwxr-xr-x   2 owner group   4096 sans date\n", Fails, std::nullopt},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.line);
        std::optional<Entry> entry = Entry{"reste", 1, 1};
        auto expected = test.outcome == WholeLine   ? static_cast<std::ptrdiff_t>(test.line.find('\n') + 1)
                        : test.outcome == NeedsMore ? 0
                                                    : -1;
        EXPECT_EQ(FtpListingParser::parse(test.line, entry), expected);
        EXPECT_EQ(entry, test.entry);
    }
}

TEST(FtpListingParserTest, TakesAnUnfinishedLastLineOnlyAtTheEndOfData) {
    std::optional<Entry> entry;
    const std::string line = "01-15-24  10:30AM       <DIR>          Dernier";
    EXPECT_EQ(FtpListingParser::parse(line, entry), 0);
    EXPECT_EQ(FtpListingParser::parse(line, entry, true), static_cast<std::ptrdiff_t>(line.size()));
    EXPECT_EQ(entry, (Entry{"Dernier", Entry::kDirectory, 0}));
}

// As a lister does: append what arrives, parse whole lines, keep the rest for later.
std::vector<Entry> parseArriving(const std::vector<std::string>& chunks) {
    std::vector<Entry> entries;
    std::string pending;
    for (const auto& chunk : chunks) {
        pending += chunk;
        for (;;) {
            std::optional<Entry> entry;
            auto consumed = FtpListingParser::parse(pending, entry);
            if (consumed <= 0) {
                EXPECT_EQ(consumed, 0);
                break;
            }
            if (entry) {
                entries.push_back(*entry);
            }
            pending.erase(0, static_cast<std::size_t>(consumed));
        }
    }
    EXPECT_EQ(pending, "");
    return entries;
}

TEST(FtpListingParserTest, GivesTheSameEntriesWhenFedByteByByte) {
    const std::vector<std::pair<std::string, std::vector<Entry>>> listings = {
        {"total 8\r\n"
         "drwxr-xr-x   2 owner group   4096 Jan 10 12:00 .\r\n"
         "drwxr-xr-x   2 owner group   4096 Jan 10 12:00 ..\r\n"
         "drwxr-xr-x   2 owner group   4096 Jan 10  2022 Cabinet Été\r\n"
         "-rw-r--r--   1 owner group    815 Jan 10 12:00 Catalogue.xml\r\n",
         {{".", Entry::kDirectory, 4096},
          {"..", Entry::kDirectory, 4096},
          {"Cabinet Été", Entry::kDirectory, 4096},
          {"Catalogue.xml", Entry::kFile, 815}}},
        {"01-15-24  10:30AM       <DIR>          Cabinet Été\n"
         "01-16-24  11:45PM                  815 Catalogue.xml\n",
         {{"Cabinet Été", Entry::kDirectory, 0}, {"Catalogue.xml", Entry::kFile, 815}}},
    };
    for (const auto& [listing, expected] : listings) {
        std::vector<std::string> bytes;
        for (char c : listing) {
            bytes.emplace_back(1, c);
        }
        EXPECT_EQ(parseArriving({listing}), expected);
        EXPECT_EQ(parseArriving(bytes), expected);
    }
}

} // namespace
} // namespace orvaneh
