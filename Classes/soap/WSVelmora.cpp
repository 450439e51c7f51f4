#include "Classes/soap/WSVelmora.h"

#include "Classes/core/StringExtension.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"

namespace orvaneh {

namespace {

using T = SoapValue::Type;

WSVelmora::Operation op(const char* name, std::vector<WSVelmora::Field> request,
                        std::optional<WSVelmora::Field> result, bool header = true) {
    return {name, header, std::move(request), result};
}

WSVelmora::Field result(const char* name, T type) {
    return {name, type};
}

} // namespace

const std::vector<WSVelmora::Operation>& WSVelmora::operations() {
    static const std::vector<Operation> table{
        op("Hello", {}, result("HelloResult", T::String)),
        op("Authenticate", {}, result("AuthenticateResult", T::String)),
        op("FileUploadInit", {{"FileName", T::String}, {"SettingsID", T::Number}},
           result("FileUploadInitResult", T::String)),
        op("FileUploadFinished", {{"fileID", T::String}, {"ClientHash", T::String}},
           result("FileUploadFinishedResult", T::Boolean)),
        op("FileUploadSendChunk", {{"fileID", T::String}, {"ChunkID", T::Number}, {"Data", T::Binary}},
           result("FileUploadSendChunkResult", T::Boolean)),
        op("FileUploadCancel", {{"fileID", T::String}, {"reason", T::String}}, std::nullopt),
        op("AreYouAlive", {}, result("AreYouAliveResult", T::Boolean), false),
        op("GetExtensionsList", {}, result("GetExtensionsListResult", T::String), false),
        op("GetServices", {}, result("GetServicesResult", T::String)),
        op("GetMessages", {}, result("GetMessagesResult", T::String)),
        op("GetGeneralSettings", {}, result("GetGeneralSettingsResult", T::String)),
        op("GetNews", {}, result("GetNewsResult", T::String)),
        op("GetMyLanguage", {}, result("GetMyLanguageResult", T::String)),
        op("SendVersion", {{"clientversion", T::String}}, std::nullopt),
        op("GetButtonLinks", {}, result("GetButtonLinksResult", T::String)),
        op("GetUserInfo", {}, result("GetUserInfoResult", T::String)),
        op("GetPossibleDatesOfReturn", {{"senddate", T::Date}},
           result("GetPossibleDatesOfReturnResult", T::String)),
        op("GetModelList", {}, result("GetModelListResult", T::String)),
        op("FileUploadLumetraInit",
           {{"masterJobId", T::String}, {"xmlfile", T::String}, {"soundfileextension", T::String}},
           result("FileUploadLumetraInitResult", T::String)),
        op("FileUploadLumetraFinished", {{"masterJobId", T::String}, {"ClientHash", T::String}},
           result("FileUploadLumetraFinishedResult", T::Boolean)),
        op("GetJobStatus", {{"fileGUID", T::String}}, result("GetJobStatusResult", T::String)),
        op("GetTranscriptionDocument", {{"fileGUID", T::String}},
           result("GetTranscriptionDocumentResult", T::Binary)),
        op("GetMultipleJobStatus", {{"xmljoblist", T::String}},
           result("GetMultipleJobStatusResult", T::String)),
        op("FileUploadLumetraFinishedWithAttachment",
           {{"masterJobId", T::String}, {"ClientHash", T::String}, {"attachment", T::Binary}},
           result("FileUploadLumetraFinishedWithAttachmentResult", T::Boolean)),
        op("GetCompletedJobList", {}, result("GetCompletedJobListResult", T::String)),
    };
    return table;
}

const WSVelmora::Operation* WSVelmora::operation(std::string_view name) {
    for (const auto& entry : operations()) {
        if (name == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

const std::vector<WSVelmora::Field>& WSVelmora::securityHeaderFields() {
    static const std::vector<Field> fields{
        {"Username", T::String}, {"Password", T::String}, {"AuthenticatedToken", T::String}};
    return fields;
}

std::string WSVelmora::endpointForAddress(const std::string& siteAddress) {
    std::string host = StringExtension::stringWithoutSpace(siteAddress);
    const std::string lower = StringExtension::lowercased(host);
    for (const char* scheme : {"https://", "http://"}) {
        if (lower.rfind(scheme, 0) == 0) {
            host.erase(0, std::string_view(scheme).size());
            break;
        }
    }
    while (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    // The service's whole address, pasted as it was given, names the endpoint already.
    const std::string path = kServicePath;
    if (host.size() > path.size() && StringExtension::lowercased(host.substr(host.size() - path.size())) ==
                                         StringExtension::lowercased(path)) {
        host.erase(host.size() - path.size());
    }
    return "https://" + host + kServicePath;
}

std::shared_ptr<WSVelmoraSoapBinding> WSVelmora::soapBinding(const std::string& siteAddress) {
    return std::make_shared<WSVelmoraSoapBinding>(endpointForAddress(siteAddress));
}

} // namespace orvaneh
