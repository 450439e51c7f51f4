#include "Classes/transport/WSRequest.h"

namespace orvaneh {

void WSRequest::resetResponse() {
    data.clear();
    contentLenght = -1;
}

} // namespace orvaneh
