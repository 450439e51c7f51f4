// A directory listing read as the lister reads it (every whole line as it arrives, the last one at
// the end of the data) must give the same entries, or the same failure, whatever the pieces the
// network cut it into. Input: a count of cut points, the cut points (2 bytes each), the listing.
#include "Platform/network/FtpListingParser.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace orvaneh;

namespace {

struct Outcome {
    std::vector<FtpListingEntry> entries;
    bool failed = false;
    bool operator==(const Outcome&) const = default;
};

// The lister's loop: whole lines off the front of what has arrived, the rest kept for later.
bool takeLines(std::string& pending, bool endOfData, Outcome& outcome) {
    std::size_t offset = 0;
    while (offset < pending.size()) {
        std::optional<FtpListingEntry> entry;
        const std::string_view rest = std::string_view(pending).substr(offset);
        const auto consumed = FtpListingParser::parse(rest, entry, endOfData);
        if (consumed < 0) {
            return false;
        }
        if (consumed == 0) {
            if (entry || (endOfData && !rest.empty())) {
                std::abort(); // nothing taken yet an entry, or a last line left unread
            }
            break;
        }
        if (static_cast<std::size_t>(consumed) > rest.size()) {
            std::abort();
        }
        offset += static_cast<std::size_t>(consumed);
        if (entry) {
            outcome.entries.push_back(*entry);
        }
    }
    pending.erase(0, offset);
    return true;
}

Outcome read(std::string_view listing, const std::vector<std::size_t>& cuts) {
    Outcome outcome;
    std::string pending;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        pending.append(listing.substr(from, cut - from));
        from = cut;
        if (!takeLines(pending, false, outcome)) {
            outcome.failed = true;
            return outcome;
        }
    }
    pending.append(listing.substr(from));
    outcome.failed = !takeLines(pending, false, outcome) || !takeLines(pending, true, outcome);
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::size_t count = input.byte() % 16;
    std::vector<std::uint16_t> offsets;
    for (std::size_t i = 0; i < count; ++i) {
        offsets.push_back(input.u16());
    }
    const std::string_view listing = input.rest();
    std::vector<std::size_t> cuts;
    std::size_t at = 0;
    for (auto offset : offsets) {
        at = std::min(listing.size(), at + offset % 64);
        cuts.push_back(at);
    }
    if (!(read(listing, {}) == read(listing, cuts))) {
        std::abort();
    }
    return 0;
}
