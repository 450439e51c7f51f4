// What the transcription service receives: the envelope of each call.
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"
#include "Classes/soap/WSVelmoraSoapBindingOperation.h"
#include "Classes/workflow/ParserXML.h"

#include <chrono>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

std::string envelopeOf(const WSVelmoraMessage& parameters,
                       std::optional<WSVelmoraMessage> header = std::nullopt) {
    auto binding = std::make_shared<WSVelmoraSoapBinding>("https://127.0.0.1:1/DataTransfertService.asmx");
    WSVelmoraSoapBindingOperation operation(binding, parameters, std::move(header), nullptr);
    return operation.envelope();
}

WSVelmoraMessage fullHeader() {
    auto header = WSVelmoraMessage::securityHeader();
    header.setText("Username", "jean");
    header.setText("Password", "s3cret");
    header.setText("AuthenticatedToken", "TOKEN");
    return header;
}

// The element names under soap:Body's operation element, in order.
std::vector<std::string> bodyFields(const std::string& envelope) {
    auto document = XmlDocument::parse(envelope);
    EXPECT_TRUE(document);
    std::vector<std::string> names;
    for (auto& element : document->nodesForXPath("/*[local-name()='Envelope']/*[local-name()='Body']/*/*")) {
        names.push_back(element.name());
    }
    return names;
}

TEST(SoapEnvelopeTest, ChunkNumberZeroIsLeftOutAndOtherFieldsKeepTheServiceOrder) {
    auto chunk = *WSVelmoraMessage::request("FileUploadSendChunk");
    // Set out of order: the table's order is what the server's schema demands.
    chunk.set("Data", SoapValue::binary("ABC"));
    chunk.set("ChunkID", SoapValue::number(0));
    chunk.setText("fileID", "GUID-1");
    EXPECT_EQ(bodyFields(envelopeOf(chunk, fullHeader())), (std::vector<std::string>{"fileID", "Data"}));

    chunk.set("ChunkID", SoapValue::number(7));
    const std::string envelope = envelopeOf(chunk, fullHeader());
    EXPECT_EQ(bodyFields(envelope), (std::vector<std::string>{"fileID", "ChunkID", "Data"}));
    EXPECT_NE(envelope.find("<WSVelmora:ChunkID>7</WSVelmora:ChunkID>"), std::string::npos);
    EXPECT_NE(envelope.find("<WSVelmora:Data>QUJD</WSVelmora:Data>"), std::string::npos);
}

TEST(SoapEnvelopeTest, EnvelopeDeclaresTheNamespacesAndCarriesTheHeaderOnlyWhereTheServiceWantsIt) {
    const std::string authenticate = envelopeOf(*WSVelmoraMessage::request("Authenticate"), fullHeader());
    EXPECT_EQ(authenticate.rfind("<?xml version=\"1.0\"?>\n", 0), 0u) << authenticate;
    for (const char* declaration : {"xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"",
                                    "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"",
                                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"",
                                    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"",
                                    "xmlns:WSVelmora=\"https://ws.velmora.fr/\"", "xsl:version=\"1.0\""}) {
        EXPECT_NE(authenticate.find(declaration), std::string::npos) << declaration;
    }
    const auto username = authenticate.find("<WSVelmora:Username>jean</WSVelmora:Username>");
    const auto password = authenticate.find("<WSVelmora:Password>s3cret</WSVelmora:Password>");
    const auto token =
        authenticate.find("<WSVelmora:AuthenticatedToken>TOKEN</WSVelmora:AuthenticatedToken>");
    ASSERT_NE(token, std::string::npos);
    EXPECT_LT(username, password);
    EXPECT_LT(password, token);
    // A request without fields is an empty element.
    EXPECT_NE(authenticate.find("<WSVelmora:Authenticate/>"), std::string::npos) << authenticate;

    for (const char* open : {"AreYouAlive", "GetExtensionsList"}) {
        const std::string envelope = envelopeOf(*WSVelmoraMessage::request(open), fullHeader());
        EXPECT_EQ(envelope.find("Header"), std::string::npos) << envelope;
        EXPECT_EQ(envelope.find("s3cret"), std::string::npos);
    }
    // Without a header nothing is written for it, and a header with nothing set has no fields.
    EXPECT_EQ(envelopeOf(*WSVelmoraMessage::request("GetModelList")).find("Header"), std::string::npos);
}

TEST(SoapEnvelopeTest, ValuesAreEncodedAsTheServiceReadsThem) {
    auto init = *WSVelmoraMessage::request("FileUploadLumetraInit");
    const std::string xml = "<ExportJobType>\n<Jobtitle>Dupont & fils <urgent> é</Jobtitle></ExportJobType>";
    init.setText("xmlfile", xml);
    auto document = XmlDocument::parse(envelopeOf(init));
    ASSERT_TRUE(document);
    auto fields = document->nodesForXPath("//*[local-name()='xmlfile']");
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].stringValue(), xml); // read back exactly as set, accents and markup included

    auto dates = *WSVelmoraMessage::request("GetPossibleDatesOfReturn");
    // 2026-12-07 13:05:09 UTC, whatever the machine's zone.
    dates.set("senddate", SoapValue::date(WallTime(std::chrono::seconds(1796648709))));
    EXPECT_NE(envelopeOf(dates).find("<WSVelmora:senddate>2026-12-07T13:05:09Z</WSVelmora:senddate>"),
              std::string::npos);

    auto settings = *WSVelmoraMessage::request("FileUploadInit");
    settings.setText("FileName", "a.wav");
    settings.set("SettingsID", SoapValue::number(0));
    EXPECT_EQ(bodyFields(envelopeOf(settings)), (std::vector<std::string>{"FileName"}));
    settings.set("SettingsID", SoapValue::number(12));
    EXPECT_NE(envelopeOf(settings).find("<WSVelmora:SettingsID>12</WSVelmora:SettingsID>"),
              std::string::npos);

    // A value of the wrong type or a field the operation does not have is refused.
    EXPECT_FALSE(settings.set("SettingsID", SoapValue::string("12")));
    EXPECT_FALSE(settings.setText("Inconnu", "x"));
    EXPECT_FALSE(WSVelmoraMessage::request("NoSuchOperation"));
}

TEST(SoapEnvelopeTest, TheEndpointIsReachedOverHttpsWhateverTheSiteAddressLooksLike) {
    for (const char* address :
         {"127.0.0.1:8443", "https://127.0.0.1:8443", " HTTPS://127.0.0.1:8443/ ", "http://127.0.0.1:8443",
          "https://127.0.0.1:8443/dataTransfertService.ASMX"}) {
        EXPECT_EQ(WSVelmora::endpointForAddress(address), "https://127.0.0.1:8443/DataTransfertService.asmx")
            << address;
    }
}

TEST(SoapEnvelopeTest, LogTextHidesSecretsAndSummarisesChunks) {
    auto chunk = *WSVelmoraMessage::request("FileUploadSendChunk");
    chunk.setText("fileID", "GUID-1");
    chunk.set("Data", SoapValue::binary(std::string(65537, 'x')));
    const std::string logged = WSVelmoraSoapBindingOperation::textForLog(envelopeOf(chunk, fullHeader()));
    EXPECT_EQ(logged.find("s3cret"), std::string::npos);
    EXPECT_EQ(logged.find("TOKEN"), std::string::npos);
    EXPECT_NE(logged.find("<WSVelmora:Username>jean<"), std::string::npos);
    EXPECT_NE(logged.find("[87384 caractères]"), std::string::npos) << logged;
    EXPECT_LT(logged.size(), 2000u);
}

} // namespace
} // namespace orvaneh
