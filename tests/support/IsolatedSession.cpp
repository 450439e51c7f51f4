#include "support/IsolatedSession.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace orvaneh::test {

IsolatedSession::IsolatedSession() : owner_(::getpid()) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    // mkdtemp makes it owner-only, as Qt and libpulse want a runtime directory.
    std::error_code error;
    auto temporary = std::filesystem::temp_directory_path(error);
    if (error) {
        temporary = "/tmp";
    }
    std::string pattern = (temporary / "orvaneh-runtime-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        runtime_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

IsolatedSession::~IsolatedSession() {
    // A forked child that exits normally runs this too: the directory is its parent's.
    if (!runtime_.empty() && ::getpid() == owner_) {
        std::error_code ignored;
        std::filesystem::remove_all(runtime_, ignored);
    }
}

namespace {

// Before the other objects built before main, whatever the link order.
const IsolatedSession session __attribute__((init_priority(101)));

} // namespace

} // namespace orvaneh::test
