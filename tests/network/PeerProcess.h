#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace orvaneh::test {

// A server the tests talk to (tests/network/peers/), started with the system's Python and
// stopped with the object. The peer prints the port it listens on as its first line.
class PeerProcess {
public:
    // `script` is a file name in tests/network/peers/.
    PeerProcess(const std::string& script, const std::vector<std::string>& arguments);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // 0 when the peer did not come up within 30 seconds.
    int port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

} // namespace orvaneh::test
