#pragma once

#include "Classes/transport/CommunicationObject.h"

namespace orvaneh {

// The common base of the FTP transports.
class FTPCommunication : public CommunicationObject {
public:
    using CommunicationObject::CommunicationObject;
};

} // namespace orvaneh
