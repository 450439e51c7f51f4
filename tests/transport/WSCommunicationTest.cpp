#include "Classes/transport/WSCommunication.h"

#include "Classes/core/ConfigurationManager.h"
#include "Classes/transport/WSResult.h"
#include "audio/WaveTestFiles.h"
#include "support/TestProfile.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

TEST(WSCommunicationTest, GetJSONstringUnwrapsTheServersStringLiteral) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {R"("{\"methodeStr\":\"PostFile\",\"resultStr\":\"Fini\"}")",
         R"({"methodeStr":"PostFile","resultStr":"Fini"})"},
        // A value ending in a backslash: an escaped pair, then the escaped quote.
        {R"("{\"r\":\"C:\\\\dossier\\\\\"}")", R"({"r":"C:\\dossier\\"})"},
        {R"("x/\y")", "x/y"},
        {R"("{\"r\":\"é\"}é)", R"({"r":"é"})"}, // characters are dropped, not bytes
        {"x", ""},
        {"", ""},
        // Not UTF-8: read as Latin-1 and left alone, quotes included.
        {"\"caf\xe9 \\\"\"", "\"café \\\"\""},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(WSCommunication::getJSONstring(bytes), text) << bytes;
    }
}

TEST(WSCommunicationTest, AttachmentsAreTheMultipartBodyByteForByte) {
    test::TestProfile profile;
    const std::string audio = profile.writeDocument("JOB.wav", std::string("RIFF\0\x01\xff\r\n", 9)).string();
    const std::string xml = profile.writeDocument("JOB.XML", "<x/>").string();

    auto body = WSCommunication::addAttachments({{audio, audio}, {"version", "1.1"}, {xml, xml}});

    ASSERT_TRUE(body);
    const std::string expected = "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"" +
                                 audio + "\" ; filename=\"" + audio + "\"\r\n\r\n" +
                                 std::string("RIFF\0\x01\xff\r\n", 9) +
                                 "\r\n"
                                 "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"version\"\r\n\r\n1.1\r\n"
                                 "----FrontiereBoundary\r\n"
                                 "Content-Disposition: form-data; name=\"" +
                                 xml + "\" ; filename=\"" + xml +
                                 "\"\r\n\r\n<x/>\r\n"
                                 "----FrontiereBoundary--\r\n";
    EXPECT_EQ(*body, expected);

    const std::string missing = (profile.documents() / "absent.wav").string();
    EXPECT_FALSE(WSCommunication::addAttachments({{audio, audio}, {missing, missing}}));
}

TEST(WSCommunicationTest, StallLimitComesFromThePreferences) {
    test::TestProfile profile;
    EXPECT_EQ(ConfigurationManager::getNetworkStallTimeout(), 60.0);
    profile.preferences().setInteger("NetworkStallTimeout", 2);
    EXPECT_EQ(WSCommunication::create()->buildHttpRequestWithAuthenticate("a", "b", "GET").stallLimit,
              Seconds(2));
}

TEST(WSResultTest, AccessorsReadOnlyTextMembers) {
    WSResult result;
    EXPECT_TRUE(result.isEmpty());
    EXPECT_EQ(result.getMethodName(), "");
    EXPECT_TRUE(result.getResult().is_null());
    result.dico = Json::parse(R"({"methodeStr": 3, "resultStr": ["A", "B"], "reasonStr": "Refusé"})");
    EXPECT_EQ(result.getMethodName(), "");
    EXPECT_EQ(result.getResultText(), "");
    EXPECT_EQ(result.getResult(), Json::array({"A", "B"}));
    EXPECT_EQ(result.getReason(), "Refusé");
}

} // namespace
} // namespace orvaneh
