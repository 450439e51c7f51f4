#include "Classes/core/ParamRequest.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"

namespace orvaneh {

void dataBaseRequest::removeWorkflow() {
    // Each table's request runs inside this object's transaction, if it joined one.
    auto joined = [this](auto request) {
        request.joinTransaction(transaction());
        return request;
    };
    joined(userRequest()).deleteAlluser();
    joined(worktypeRequest()).deleteAllworktype();
    joined(contextRequest()).deleteAllcontext();
    joined(ParamRequest()).deleteParamWorkflow();
    joined(serviceRequest()).deleteService();
}

} // namespace orvaneh
