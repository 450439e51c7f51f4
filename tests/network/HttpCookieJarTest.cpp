// Cookies kept per host in a file: what a Set-Cookie value gives, and what the next reader sees.
#include "Platform/network/HttpCookieJar.h"

#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(HttpCookieJarTest, SetCookieValues) {
    const struct {
        std::string header;
        std::optional<HttpCookieJar::Cookie> cookie;
        bool removal;
    } cases[] = {
        {"FendraSession=abc123; path=/; secure; HttpOnly", HttpCookieJar::Cookie{"FendraSession", "abc123"},
         false},
        {" ASP.NET_SessionId = x=y ", HttpCookieJar::Cookie{"ASP.NET_SessionId", "x=y"}, false},
        {"S=; Max-Age=0; path=/", HttpCookieJar::Cookie{"S", ""}, true},
        {"=value", std::nullopt, false},
        {"no-equals-sign; path=/", std::nullopt, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HttpCookieJar::parseSetCookie(c.header), c.cookie) << c.header;
        EXPECT_EQ(HttpCookieJar::isRemoval(c.header), c.removal) << c.header;
    }
    EXPECT_EQ(HttpCookieJar::cookieHeader({{"a", "1"}, {"b", "2"}}), "a=1; b=2");
}

// Another jar on the same file (another process) sees the cookies; hosts are kept apart and
// named without regard to case; a removal forgets; the file is the owner's only.
TEST(HttpCookieJarTest, CookiesOutliveTheJarPerHost) {
    test::TemporaryDirectory directory;
    const auto file = directory.path() / "sub" / "cookies.json";
    HttpCookieJar writer(file);
    ASSERT_TRUE(writer.takeFromHeaders(
        "Serveur:8443",
        {{"set-cookie", "S=1; path=/"}, {"content-type", "application/json"}, {"set-cookie", "T=\xff\xfe"}}));
    ASSERT_TRUE(writer.takeFromHeaders("autre", {{"set-cookie", "S=2"}}));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    HttpCookieJar reader(file);
    EXPECT_EQ(reader.cookiesFor("serveur:8443").size(), 2u);
    EXPECT_EQ(reader.cookiesFor("autre"), (std::vector<HttpCookieJar::Cookie>{{"S", "2"}}));
    ASSERT_TRUE(writer.takeFromHeaders("serveur:8443", {{"set-cookie", "S=; Max-Age=0"}}));
    EXPECT_EQ(reader.cookiesFor("SERVEUR:8443").size(), 1u);
    ASSERT_TRUE(reader.clear("autre"));
    EXPECT_TRUE(writer.cookiesFor("autre").empty());
    EXPECT_TRUE(HttpCookieJar(directory.path() / "absent.json").cookiesFor("autre").empty());
}

} // namespace
} // namespace orvaneh
