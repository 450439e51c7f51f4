#pragma once

#include <string>

namespace orvaneh {

// The outcome of a network check: usable or not, and the French reason when not.
struct NetworkResult {
    bool networkIsAvailable = false;
    std::string message;
};

// The network check made before every attempt and every fetch: reachability of the
// machine's interfaces (Reachability::shared()), then the rule that after a change between
// Wi-Fi and mobile data the network counts as unavailable until 30 seconds have passed since
// the last good check ("connectionType", "connectionLastDate", "connectionSucceedLastTime"
// in the preferences). A site on this machine (loopback) is always reachable.
class NetworkManager {
public:
    // `host` may be a bare host or a site address ("ftp://host:21/path", "host:8443"). A
    // loopback host is available at once and leaves the stored memory alone: it says nothing
    // about the machine's connection. May block while a host name is resolved: call it off
    // the main run loop. Any thread.
    static NetworkResult isNetworkAvailable(const std::string& host = {});

    // The host part of a site address: scheme, credentials, port and path removed.
    static std::string hostOfAddress(const std::string& address);
};

} // namespace orvaneh
