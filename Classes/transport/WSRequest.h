#pragma once

#include "Platform/runloop/Clock.h"

#include <cstdint>
#include <string>

namespace orvaneh {

// One web-service exchange as its communication object builds and receives it: where it goes,
// what it sends and what came back so far. A plain value owned by its WSCommunication and
// touched on the main run loop only while a connection is in flight.
class WSRequest {
public:
    std::string url;
    std::string body; // bytes to send; empty for every GET
    std::string data; // bytes received from the current connection
    // The response's declared length: -1 when it declares none (or before any response).
    std::int64_t contentLenght = -1;
    // With no byte going either way for this long the request fails (the phone's request
    // time-out is an idle limit too); the stall limit of the preferences may shorten it.
    Seconds timeout{120};

    // Forgets what an earlier connection received.
    void resetResponse();
};

} // namespace orvaneh
