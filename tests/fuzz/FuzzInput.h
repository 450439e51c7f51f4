#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvaneh::fuzz {

// Takes parameters off the front of a fuzz input; what is left is the data. Past the end, zeros.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return size_ > 0 ? (--size_, *data_++) : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    // At most `count` bytes.
    std::string_view bytes(std::size_t count) {
        const std::size_t taken = count < size_ ? count : size_;
        std::string_view part(reinterpret_cast<const char*>(data_), taken);
        data_ += taken;
        size_ -= taken;
        return part;
    }
    std::string_view rest() { return bytes(size_); }
    std::size_t remaining() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace orvaneh::fuzz
