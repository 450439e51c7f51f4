#pragma once

#include <filesystem>

namespace orvaneh::test {

// Cuts every test program off the desktop session of whoever runs it, before main (gtest's or
// Qt Test's) and before any test: without it, a program reaching the keyring (a store made in
// process, or a real orvaneh-cli the test runs) would read and write the developer's own.
// It removes DBUS_SESSION_BUS_ADDRESS and gives XDG_RUNTIME_DIR an empty owner-only directory
// of the program's own (removed at exit), where no bus, sound server or other user service is
// found: the program sees what a CI machine shows. The Qt tests run offscreen unless told
// otherwise (a window on the real display would give Qt the way to the session bus again).
// A test that wants a bus starts its own (PrivateSecretService) and hands its address on.
// Linked into every test program as an object library (orvaneh_test_session): its one instance,
// in IsolatedSession.cpp, is there though nothing names it.
class IsolatedSession {
public:
    IsolatedSession();
    ~IsolatedSession();
    IsolatedSession(const IsolatedSession&) = delete;
    IsolatedSession& operator=(const IsolatedSession&) = delete;

private:
    std::filesystem::path runtime_;
    int owner_ = 0;
};

} // namespace orvaneh::test
