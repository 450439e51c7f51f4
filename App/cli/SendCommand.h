#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// send: one pass of the send queue in the foreground. Each attempt is told on the message
// stream as it opens and closes; the result lists the dictations sent and those still
// pending. Fails when a dictation attempted in this pass was not sent. While another process
// is sending on the same profile it says so and waits for that pass to end.
class SendCommand final : public CliCommand {
public:
    std::string name() const override { return "send"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;
};

} // namespace orvaneh
