#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// send: one pass of the send queue in the foreground. Each attempt is told on the message
// stream as it opens; the result says what became of it, then how many dictations are left
// and when the sender may try them again. Fails while a dictation is left to send (or was put
// back to draft). While another process is sending on the same profile it says so and waits
// for that pass to end.
class SendCommand final : public CliCommand {
public:
    std::string name() const override { return "send"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;
    bool startsItself() const override { return true; }
};

} // namespace orvaneh
