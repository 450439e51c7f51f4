#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// A query asked again on a connection of its own, after a read that gave nothing: a database
// that cannot be read (a full or failing disk) must not be told to the user as a row or a
// setting that does not exist.
class DatabaseProbe {
public:
    // Why `sql` (with `id` bound as its one parameter, when given) cannot be read, in French;
    // nothing when it reads, with the number of rows it gave in `rows`.
    static std::optional<std::string>
    failure(std::string_view sql, std::optional<std::int64_t> id = std::nullopt, int* rows = nullptr);
};

} // namespace orvaneh
