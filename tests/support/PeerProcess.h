#pragma once

#include "support/ChildProcess.h"

#include <map>
#include <string>
#include <vector>

namespace orvaneh::test {

// A server the tests talk to (a Python script, such as the simulators in tools/), started with the
// system's Python and stopped with the object. It is ready once it has printed its
// port: a line "PORT n", or a line holding the number alone. Lines "NAME value" printed before
// it are kept.
class PeerProcess {
public:
    // `script`: the script's full path. With `logFile`, the peer's stderr goes there.
    PeerProcess(const std::string& script, const std::vector<std::string>& arguments,
                const std::string& logFile = {});
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // 0 when the peer did not come up within 30 seconds.
    int port() const { return port_; }
    // The value of a line "NAME value" ("ROOT", "CA", ...), empty when none came.
    std::string value(const std::string& name) const;

private:
    ChildProcess process_;
    int port_ = 0;
    std::map<std::string, std::string> values_;
};

} // namespace orvaneh::test
