#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh::test {

// Bytes that deflate neither to nothing nor not at all: a noisy, repetitive signal, long
// enough to cross several copy blocks.
std::string audioLikeBytes(std::size_t length, unsigned seed);
// The CRC-32 of zip entries (polynomial 0xEDB88320).
std::uint32_t crc32Of(std::string_view bytes);
std::string contentsOf(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& contents);
// Names of the entries of a directory (hidden ones too), sorted.
std::vector<std::string> entriesOf(const std::filesystem::path& directory);

} // namespace orvaneh::test
