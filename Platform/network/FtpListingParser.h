#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// One line of a directory listing. `type` takes the values of the directory-entry types
// (4 directory, 8 file, 10 symbolic link, ...); `name` keeps the server's bytes (UTF-8 as
// sent, spaces included); a link's name leaves out its " -> target".
struct FtpListingEntry {
    static constexpr int kDirectory = 4;
    static constexpr int kFile = 8;
    static constexpr int kLink = 10;

    std::string name;
    int type = kFile;
    std::uint64_t size = 0;

    bool operator==(const FtpListingEntry&) const = default;
};

// Parser of the answer to FTP LIST, Unix style ("drwxr-xr-x 2 owner group 4096 Jan 10 12:00
// Name", also with a year instead of the time) and DOS/IIS style ("01-15-24 10:30AM <DIR>
// Name", a size in place of <DIR> for files), fed as the bytes arrive. Lines end with "\r\n"
// or "\n". Pure functions, any thread.
class FtpListingParser {
public:
    // Reads the first line of `bytes`. Returns the bytes consumed (> 0: one line, with
    // `entry` set when the line described one; "total 12" and blank lines give none), 0 when
    // no whole line is there yet, or -1 when the line is neither style. With `endOfData`, a
    // last line without an end of line counts as whole.
    static std::ptrdiff_t parse(std::string_view bytes, std::optional<FtpListingEntry>& entry,
                                bool endOfData = false);
};

} // namespace orvaneh
