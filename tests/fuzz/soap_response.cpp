// The transcription service's SOAP answer to one operation (chosen by the first byte), read as
// the client reads it: body parts, their fields of every type, faults, and the lists of models
// and dates of return carried as XML text inside the result.
#include "Classes/soap/ModelDocument.h"
#include "Classes/soap/PossibleDate.h"
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraSoapBindingResponse.h"
#include "Classes/workflow/ParserXML.h"
#include "Platform/log/Log.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace orvaneh;

namespace {

constexpr const char* kOperations[] = {"Hello",
                                       "Authenticate",
                                       "FileUploadInit",
                                       "FileUploadFinished",
                                       "FileUploadSendChunk",
                                       "AreYouAlive",
                                       "GetServices",
                                       "GetPossibleDatesOfReturn",
                                       "GetModelList",
                                       "FileUploadLumetraInit",
                                       "FileUploadLumetraFinished",
                                       "GetJobStatus",
                                       "GetTranscriptionDocument",
                                       "GetMultipleJobStatus",
                                       "FileUploadLumetraFinishedWithAttachment",
                                       "GetCompletedJobList"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::setEchoToStderr(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::string operation = kOperations[input.byte() % std::size(kOperations)];
    const auto response = WSVelmoraSoapBindingResponse::fromBody(input.rest(), operation);
    if (response.error && !response.bodyParts.empty()) {
        std::abort();
    }
    for (const auto& part : response.bodyParts) {
        if (const auto* fault = std::get_if<SOAPFault>(&part)) {
            (void)fault->faultstring.value_or("");
            continue;
        }
        const auto& message = std::get<WSVelmoraMessage>(part);
        for (const auto& field : message.fields()) {
            if (const SoapValue* value = message.get(field.name)) {
                if (value->type() != field.type) {
                    std::abort();
                }
                (void)value->encoded();
            }
            (void)message.text(field.name);
            (void)message.boolean(field.name);
            (void)message.number(field.name);
            (void)message.binary(field.name);
        }
        if (operation == "GetModelList") {
            (void)ParserXML::parseFromXML(message.text("GetModelListResult").value_or(""), ModelDocument{});
        } else if (operation == "GetPossibleDatesOfReturn") {
            (void)ParserXML::parseFromXML(message.text("GetPossibleDatesOfReturnResult").value_or(""),
                                          PossibleDate{});
        }
    }
    return 0;
}
