#include "Platform/crypto/Digest.h"

#include <fstream>
#include <memory>
#include <openssl/evp.h>
#include <stdexcept>
#include <vector>

namespace orvaneh {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> digest(const EVP_MD* algorithm, std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, N> out{};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned int length = 0;
    // Failure here means OpenSSL itself is broken (out of memory, algorithm missing from the
    // provider): nothing sensible can be returned.
    if (!context || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), out.data(), &length) != 1 || length != N) {
        throw std::runtime_error("calcul d'empreinte impossible");
    }
    return out;
}

std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

std::array<std::uint8_t, 20> Digest::sha1(std::span<const std::uint8_t> bytes) {
    return digest<20>(EVP_sha1(), bytes);
}

std::array<std::uint8_t, 20> Digest::sha1(std::string_view bytes) {
    return sha1(asBytes(bytes));
}

std::optional<std::array<std::uint8_t, 20>> Digest::sha1OfFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (in.gcount() > 0 &&
            EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(in.gcount())) != 1) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    std::array<std::uint8_t, 20> out{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), out.data(), &length) != 1 || length != out.size()) {
        return std::nullopt;
    }
    return out;
}

std::array<std::uint8_t, 16> Digest::md5(std::span<const std::uint8_t> bytes) {
    return digest<16>(EVP_md5(), bytes);
}

std::array<std::uint8_t, 16> Digest::md5(std::string_view bytes) {
    return md5(asBytes(bytes));
}

std::string Digest::toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 0x0F]);
    }
    return out;
}

} // namespace orvaneh
