// Reading what the transcription service answers: responses, faults, values, result lists.
#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"
#include "Classes/soap/SoapValue.h"
#include "Classes/soap/WSVelmoraHelper.h"
#include "Classes/soap/WSVelmoraSoapBindingResponse.h"

#include <gtest/gtest.h>

namespace orvaneh {
namespace {

std::string answer(const std::string& body, const std::string& extra = "") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
           "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" " +
           extra + "><soap:Body>" + body + "</soap:Body></soap:Envelope>";
}

TEST(SoapResponseTest, ResponsesAndFaultsAreKeptInDocumentOrderAndOtherElementsIgnored) {
    const auto response = WSVelmoraSoapBindingResponse::fromBody(
        answer("<soap:Fault><faultcode>soap:Client</faultcode><faultstring>Session expirée &amp; "
               "close</faultstring>"
               "<faultactor>FileUploadSendChunk</faultactor><detail><a>x</a></detail></soap:Fault>"
               "<Other xmlns=\"https://ws.velmora.fr/\"/>"
               "<FileUploadSendChunkResponse xmlns=\"https://ws.velmora.fr/\">"
               "<FileUploadSendChunkResult>true</FileUploadSendChunkResult></FileUploadSendChunkResponse>"),
        "FileUploadSendChunk");
    ASSERT_FALSE(response.error);
    ASSERT_EQ(response.bodyParts.size(), 2u);
    const auto& fault = std::get<SOAPFault>(response.bodyParts[0]);
    EXPECT_EQ(fault.faultcode, "soap:Client");
    EXPECT_EQ(fault.faultstring, "Session expirée & close");
    EXPECT_EQ(fault.faultactor, "FileUploadSendChunk");
    EXPECT_EQ(fault.detail, "x");
    EXPECT_EQ(std::get<WSVelmoraMessage>(response.bodyParts[1]).boolean("FileUploadSendChunkResult"), true);

    // The answer to another operation is not this call's response.
    EXPECT_TRUE(WSVelmoraSoapBindingResponse::fromBody(
                    answer("<AuthenticateResponse xmlns=\"https://ws.velmora.fr/\"><AuthenticateResult>T"
                           "</AuthenticateResult></AuthenticateResponse>"),
                    "GetModelList")
                    .bodyParts.empty());
}

TEST(SoapResponseTest, SoapTwelveFaultsAndFaultsOfAnotherNamespace) {
    const std::string soap12 =
        "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body><env:Fault>"
        "<env:Code><env:Value>env:Sender</env:Value></env:Code><env:Reason><env:Text>Mot de passe</env:Text>"
        "<env:Text> "
        "incorrect</env:Text></env:Reason><env:Node>auth</env:Node></env:Fault></env:Body></env:Envelope>";
    const auto response = WSVelmoraSoapBindingResponse::fromBody(soap12, "Authenticate");
    ASSERT_EQ(response.bodyParts.size(), 1u);
    const auto& fault = std::get<SOAPFault>(response.bodyParts[0]);
    EXPECT_EQ(fault.faultcode, "env:Sender");
    EXPECT_EQ(fault.faultstring, "Mot de passe incorrect");
    EXPECT_EQ(fault.faultactor, "auth");

    // A "Fault" of the service's own namespace is not a SOAP fault.
    EXPECT_TRUE(
        WSVelmoraSoapBindingResponse::fromBody(answer("<Fault xmlns=\"https://ws.velmora.fr/\"/>"), "Hello")
            .bodyParts.empty());
}

TEST(SoapResponseTest, BodiesThatAreNotXmlGiveTheParsingError) {
    for (const std::string& body :
         {std::string(), std::string("<html><body>Erreur</html>"),
          std::string("<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>")}) {
        const auto response = WSVelmoraSoapBindingResponse::fromBody(body, "Hello");
        ASSERT_TRUE(response.error) << body;
        EXPECT_EQ(response.error->domain, "WSVelmoraSoapBindingResponseXML");
        EXPECT_EQ(response.error->code, 1);
        EXPECT_EQ(response.error->description, "Errors while parsing returned XML");
        EXPECT_FALSE(WSVelmoraHelper::failureText(*response.error).empty());
    }
}

TEST(SoapResponseTest, ScalarFieldsDecodeByTheirDeclaredOrAnnouncedType) {
    auto result = [](const std::string& operation, const std::string& inner) {
        auto response = WSVelmoraSoapBindingResponse::fromBody(
            answer("<" + operation + "Response xmlns=\"https://ws.velmora.fr/\">" + inner + "</" + operation +
                   "Response>"),
            operation);
        EXPECT_EQ(response.bodyParts.size(), 1u);
        return std::get<WSVelmoraMessage>(response.bodyParts.at(0));
    };
    // Booleans are "true" or "false" exactly.
    EXPECT_EQ(
        result("AreYouAlive", "<AreYouAliveResult>false</AreYouAliveResult>").boolean("AreYouAliveResult"),
        false);
    EXPECT_EQ(
        result("AreYouAlive", "<AreYouAliveResult>True</AreYouAliveResult>").boolean("AreYouAliveResult"),
        std::nullopt);
    EXPECT_EQ(result("AreYouAlive", "").boolean("AreYouAliveResult"), std::nullopt);
    // A string element without text is absent; with several, the last wins.
    EXPECT_EQ(result("Hello", "<HelloResult/>").text("HelloResult"), std::nullopt);
    EXPECT_EQ(result("Hello", "<HelloResult>a</HelloResult><HelloResult>b</HelloResult>").text("HelloResult"),
              "b");
    // An xsi:type naming an XML Schema scalar reads as that scalar, under any prefix.
    EXPECT_EQ(
        result("Hello", "<HelloResult xsi:type=\"xsd:string\">Bonjour</HelloResult>").text("HelloResult"),
        "Bonjour");
    EXPECT_EQ(result("Hello", "<HelloResult xmlns:s=\"http://www.w3.org/2001/XMLSchema\" "
                              "xsi:type=\"s:string\">Salut</HelloResult>")
                  .text("HelloResult"),
              "Salut");
    EXPECT_EQ(result("Hello", "<HelloResult xsi:type=\"xsd:boolean\">true</HelloResult>").text("HelloResult"),
              std::nullopt);
    EXPECT_EQ(result("GetTranscriptionDocument",
                     "<GetTranscriptionDocumentResult>QUJD\nREVG</GetTranscriptionDocumentResult>")
                  .binary("GetTranscriptionDocumentResult"),
              "ABCDEF");
}

// A document the service sends as text and CDATA sections in turn is read whole, and in time
// proportional to its size: gathered as a new copy at every section, this one took about 20 s.
// Big enough that gathering the text by copies (quadratic) would take minutes, not a second.
TEST(SoapResponseTest, TextCutIntoManySectionsIsReadWhole) {
    std::string inner;
    std::string expected;
    for (int i = 0; i < 120000; ++i) {
        inner += "QU<![CDATA[JD]]>";
        expected += "ABC";
    }
    const auto response = WSVelmoraSoapBindingResponse::fromBody(
        answer("<GetTranscriptionDocumentResponse><GetTranscriptionDocumentResult>" + inner +
               "</GetTranscriptionDocumentResult></GetTranscriptionDocumentResponse>"),
        "GetTranscriptionDocument");
    ASSERT_EQ(response.bodyParts.size(), 1u);
    EXPECT_EQ(std::get<WSVelmoraMessage>(response.bodyParts[0]).binary("GetTranscriptionDocumentResult"),
              expected);
}

TEST(SoapResponseTest, Base64NumbersAndDatesReadAsThePeersWriteThem) {
    EXPECT_EQ(SoapValue::decodeBase64("QUJD"), "ABC");
    EXPECT_EQ(SoapValue::decodeBase64("QUJDRA=="), "ABCD");
    EXPECT_EQ(SoapValue::decodeBase64("QUJDREU"), "ABCDE"); // a last group of three gives two bytes
    EXPECT_EQ(SoapValue::decodeBase64("Q U\nJ=D"), "ABC");
    EXPECT_EQ(SoapValue::decodeBase64(""), "");
    EXPECT_EQ(SoapValue::decodeBase64("QUJDR"), std::nullopt); // one symbol left over
    EXPECT_EQ(SoapValue::decodeBase64("QU*D"), std::nullopt);
    for (int size : {0, 1, 2, 3, 4, 100}) {
        std::string bytes;
        for (int i = 0; i < size; ++i) {
            bytes += static_cast<char>(i * 37);
        }
        EXPECT_EQ(SoapValue::decodeBase64(SoapValue::binary(bytes).encoded()), bytes) << size;
    }

    EXPECT_EQ(SoapValue::decode(SoapValue::Type::Number, "42")->numberValue(), 42.0);
    EXPECT_EQ(SoapValue::decode(SoapValue::Type::Number, " 2.5")->numberValue(), 2.5);
    EXPECT_EQ(SoapValue::decode(SoapValue::Type::Number, "abc")->numberValue(), 0.0);
    EXPECT_EQ(SoapValue::number(65537).encoded(), "65537");
    EXPECT_EQ(SoapValue::number(-3).encoded(), "-3");
    EXPECT_EQ(SoapValue::number(0.5).encoded(), "0.5");

    auto date = SoapValue::decode(SoapValue::Type::Date, "2026-12-07T13:05:09Z");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->encoded(), "2026-12-07T13:05:09Z");
    EXPECT_FALSE(SoapValue::decode(SoapValue::Type::Date, "07/12/2026"));
}

TEST(SoapResponseTest, ModelAndDateListsAreReadFromTheirXmlResults) {
    auto models = ParserXML::parseFromXML("<ModelList><ModelDocument IdModel=\"M1\" "
                                          "ModelFileName=\"cr.dotx\" ModelName=\"Compte rendu opératoire\" "
                                          "ModelType=\"CR\" Couleur=\"bleu\"/><Autre "
                                          "IdModel=\"X\"/><ModelDocument IdModel=\"M2\"/></ModelList>",
                                          ModelDocument{});
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[0].ModelName, "Compte rendu opératoire");
    EXPECT_EQ(models[0].ModelFileName, "cr.dotx");
    EXPECT_EQ(models[1].IdModel, "M2");
    EXPECT_EQ(models[1].ModelName, "");

    auto dates =
        ParserXML::parseFromXML("<PossibleDates><PossibleDate IdService=\"S1\" IdOption=\"O\" "
                                "DateTimeReturn=\"Délais\" isHeader=\"true\"/><PossibleDate IdService=\"S1\" "
                                "IdOption=\"O24\" DateTimeReturn=\"08/12/2026 18:00\"/></PossibleDates>",
                                PossibleDate{});
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_TRUE(dates[0].isHeader);
    EXPECT_FALSE(dates[1].isHeader);
    EXPECT_EQ(dates[1].IdOption, "O24");
    EXPECT_FALSE(dates[1].dateReturn);
}

TEST(SoapResponseTest, ChunksCoverTheFileExactlyOnce) {
    struct Case {
        std::int64_t size;
        std::int64_t chunks;
        std::int64_t lastLength;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{65536, 1, 65536}, Case{65537, 1, 65537},
                          Case{65538, 2, 1}, Case{131074, 2, 65537}, Case{3 * 65537 + 1, 4, 1}}) {
        EXPECT_EQ(WSVelmoraHelper::numberOfChunks(c.size), c.chunks) << c.size;
        std::int64_t covered = 0;
        for (std::int64_t n = 0; n < c.chunks; ++n) {
            auto range = WSVelmoraHelper::chunkRange(n, c.size);
            ASSERT_TRUE(range) << c.size << " " << n;
            EXPECT_EQ(range->first, covered);
            covered += range->second;
            if (n == c.chunks - 1) {
                EXPECT_EQ(range->second, c.lastLength);
            }
        }
        EXPECT_EQ(covered, c.size);
        EXPECT_FALSE(WSVelmoraHelper::chunkRange(c.chunks, c.size));
    }
}

} // namespace
} // namespace orvaneh
