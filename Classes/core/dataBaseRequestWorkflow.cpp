#include "Classes/core/ParamRequest.h"
#include "Classes/core/contextRequest.h"
#include "Classes/core/dataBaseRequest.h"
#include "Classes/core/serviceRequest.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"

namespace orvaneh {

void dataBaseRequest::removeWorkflow() {
    userRequest().deleteAlluser();
    worktypeRequest().deleteAllworktype();
    contextRequest().deleteAllcontext();
    ParamRequest().deleteParamWorkflow();
    serviceRequest().deleteService();
}

} // namespace orvaneh
