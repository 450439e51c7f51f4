#pragma once

#include "App/cli/CliCommand.h"

namespace orvaneh {

// transcription check [--json]: asks the transcription service of the first site of type 6
// what the sender would ask it (is it there, the log-in, the models, the dates of return) and
// which model and date a dictation sent now would get.
class TranscriptionCommand final : public CliCommand {
public:
    std::string name() const override { return "transcription"; }
    std::vector<std::string> helpLines() const override;
    // Wrong usage is told before the profile is made.
    bool startsItself() const override { return true; }
    int run(const std::vector<std::string>& arguments, CliContext& context) override;

private:
    int check(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
