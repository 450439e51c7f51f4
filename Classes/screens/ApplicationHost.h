#pragma once

#include <cstdint>

namespace orvaneh {

class NavigationController;

// What the screens ask of the application object: the navigation they live in, the main
// menu, the wake-up of the sender and what it is sending, and the two values the dictation list hands to the
// recorder. The application object implements it; screens depend on this, not on the object
// that assembles them.
class ApplicationHost {
public:
    virtual ~ApplicationHost() = default;

    virtual NavigationController& navigation() = 0;
    // Back to the root screen (the dictation list).
    virtual void popToRoot() = 0;
    virtual void showMenu() = 0;
    // Prompts the sender about a second from now.
    virtual void sendDictees() = 0;
    // The dictation a sender (this process's or another's) is sending now; 0 when none.
    virtual std::int64_t dictationBeingSent() const = 0;

    // Hand-over to the recorder: true to start a new dictation, false to open idDictee.
    virtual bool record() const = 0;
    virtual void setRecord(bool record) = 0;
    virtual std::int64_t idDictee() const = 0;
    virtual void setIdDictee(std::int64_t idDictee) = 0;
};

} // namespace orvaneh
