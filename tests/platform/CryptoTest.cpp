#include "Platform/crypto/Base64.h"
#include "Platform/crypto/Digest.h"
#include "Platform/crypto/Uuid.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace orvaneh {
namespace {

TEST(DigestTest, KnownVectors) {
    EXPECT_EQ(Digest::toHex(Digest::sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Digest::toHex(Digest::sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    // Bytes above 0x7F and NUL go through the byte overload unchanged.
    const std::uint8_t bytes[] = {0x00, 0xFF, 0x80};
    EXPECT_EQ(Digest::sha1(std::span<const std::uint8_t>(bytes)),
              Digest::sha1(std::string_view("\0\xFF\x80", 3)));
}

TEST(Base64Test, EncodesRfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64::encode(plain), encoded);
        EXPECT_EQ(Base64::decode(encoded), plain);
    }
    // The two last letters of the alphabet, and no line break however long the input.
    EXPECT_EQ(Base64::encode(std::string_view("\xFB\xFF", 2)), "+/8=");
    EXPECT_EQ(Base64::encode(std::string(200, 'x')).find('\n'), std::string::npos);
}

TEST(UuidTest, IsUpperCaseVersion4AndUnique) {
    const std::regex shape("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string uuid = Uuid::generateV4();
        ASSERT_TRUE(std::regex_match(uuid, shape)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
} // namespace orvaneh
