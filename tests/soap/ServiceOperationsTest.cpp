// Every operation of the service, as our client writes it, against the simulator's schema.
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraHelper.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"
#include "Classes/workflow/ParserXML.h"
#include "Platform/network/HttpConnection.h"
#include "Platform/runloop/RunLoop.h"
#include "soap/TranscriptionSimulator.h"

#include <gmock/gmock.h>

namespace orvaneh {
namespace {

class ServiceOperationsTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    test::TranscriptionSimulator service;

    std::string endpoint() const { return WSVelmora::endpointForAddress(service.address()); }

    // The simulator's description of the service.
    std::string wsdl() {
        std::string body;
        bool done = false;
        HttpConnection::Request request;
        request.url = endpoint() + "?wsdl";
        HttpConnection connection(request, RunLoop::main(),
                                  {nullptr, [&](const std::string& bytes) { body += bytes; },
                                   [&](const NetworkError&) { done = true; }, [&] { done = true; }});
        RunLoop::main().runUntil([&] { return done; }, Seconds(30));
        return body;
    }

    WSVelmoraSoapBindingResponse call(const WSVelmoraMessage& request, const WSVelmoraMessage& header) {
        return WSVelmora::soapBinding(service.address())->usingParameters(request, header);
    }
};

// The element names of each message in the service's schema, in order, match our table.
TEST_F(ServiceOperationsTest, TheTableAgreesWithTheServiceDescription) {
    ASSERT_NE(service.port(), 0);
    auto document = XmlDocument::parse(wsdl());
    ASSERT_TRUE(document);
    auto fieldsOf = [&](const std::string& element) {
        std::vector<std::string> names;
        for (auto& field :
             document->nodesForXPath("//*[local-name()='schema']/*[local-name()='complexType'][@name='" +
                                     element + "']//*[local-name()='element']")) {
            names.push_back(field.attributeForName("name").value_or("?"));
        }
        return names;
    };
    ASSERT_EQ(WSVelmora::operations().size(), 25u);
    for (const auto& operation : WSVelmora::operations()) {
        SCOPED_TRACE(operation.name);
        std::vector<std::string> request;
        for (const auto& field : operation.request) {
            request.push_back(field.name);
        }
        EXPECT_EQ(fieldsOf(operation.name), request);
        std::vector<std::string> result;
        if (operation.result) {
            result.push_back(operation.result->name);
        }
        EXPECT_EQ(fieldsOf(std::string(operation.name) + "Response"), result);
    }
    std::vector<std::string> header;
    for (const auto& field : WSVelmora::securityHeaderFields()) {
        header.push_back(field.name);
    }
    EXPECT_EQ(fieldsOf("SecurityHeader"), header);
}

// Each of the 25 requests passes the service's schema and its answer is read.
TEST_F(ServiceOperationsTest, EveryOperationIsAcceptedAndAnswered) {
    ASSERT_NE(service.port(), 0);
    auto header = WSVelmoraMessage::securityHeader();
    header.setText("Username", test::kLogin);
    header.setText("Password", test::kPassword);
    auto session = call(*WSVelmoraMessage::request("Authenticate"), header);
    ASSERT_TRUE(session.firstMessage());
    header.setText("AuthenticatedToken", session.firstMessage()->text("AuthenticateResult").value_or(""));

    std::string fileID;
    for (const auto& operation : WSVelmora::operations()) {
        SCOPED_TRACE(operation.name);
        auto request = *WSVelmoraMessage::request(operation.name);
        for (const auto& field : operation.request) {
            const std::string name = field.name;
            switch (field.type) {
            case SoapValue::Type::String:
                request.setText(name, name == "xmlfile"
                                          ? "<ExportJobType><Jobtitle>Éte &amp; co</Jobtitle></ExportJobType>"
                                      : name == "soundfileextension" ? "wav"
                                      : name == "fileID"             ? fileID
                                      : name == "masterJobId"        ? "JOB-1"
                                                                     : "valeur « " + name + " » & <test>");
                break;
            case SoapValue::Type::Number:
                request.set(name, SoapValue::number(3));
                break;
            case SoapValue::Type::Date:
                request.set(name, SoapValue::date(std::chrono::system_clock::now()));
                break;
            case SoapValue::Type::Binary:
                request.set(name, SoapValue::binary(std::string("\x00\xff\x10", 3)));
                break;
            case SoapValue::Type::Boolean:
                request.set(name, SoapValue::boolean(true));
                break;
            }
        }
        const auto response = call(request, header);
        ASSERT_FALSE(response.error) << response.error->description;
        if (const auto* fault = response.firstFault()) {
            ADD_FAILURE() << fault->faultcode.value_or("") << " " << fault->faultstring.value_or("");
            continue;
        }
        const auto* message = response.firstMessage();
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->name(), std::string(operation.name) + "Response");
        if (operation.result) {
            EXPECT_NE(message->get(operation.result->name), nullptr) << operation.result->name;
        }
        if (std::string(operation.name) == "FileUploadInit") {
            fileID = message->text("FileUploadInitResult").value_or("");
        }
    }
}

// What the service refuses comes back as a fault, and a call that cannot reach it as an error.
TEST_F(ServiceOperationsTest, FaultsAndUnreachableServicesAreToldApart) {
    ASSERT_NE(service.port(), 0);
    auto header = WSVelmoraMessage::securityHeader();
    header.setText("Username", test::kLogin);
    header.setText("Password", "faux");
    auto refused = call(*WSVelmoraMessage::request("Authenticate"), header);
    EXPECT_FALSE(refused.error);
    ASSERT_NE(refused.firstFault(), nullptr);
    EXPECT_EQ(refused.firstFault()->faultstring, "Identifiant ou mot de passe incorrect.");
    EXPECT_EQ(refused.firstFault()->faultactor, "Authenticate");

    // No token: every operation but the open ones refuses.
    EXPECT_NE(call(*WSVelmoraMessage::request("GetModelList"), header).firstFault(), nullptr);
    auto alive = call(*WSVelmoraMessage::request("AreYouAlive"), header);
    ASSERT_NE(alive.firstMessage(), nullptr);
    EXPECT_EQ(alive.firstMessage()->boolean("AreYouAliveResult"), true);

    // Nothing listens there any more.
    const std::string address = service.address();
    auto binding = WSVelmora::soapBinding("127.0.0.1:1");
    auto unreachable = binding->usingParameters(*WSVelmoraMessage::request("AreYouAlive"), std::nullopt);
    ASSERT_TRUE(unreachable.error);
    EXPECT_THAT(WSVelmoraHelper::failureText(*unreachable.error),
                ::testing::StartsWith("Échec de la communication avec le service de transcription : "));
}

} // namespace
} // namespace orvaneh
