#pragma once

#include "App/cli/CliCommand.h"

#include <cstdint>
#include <optional>

namespace orvaneh {

// dictation list [--outbox|--sent|--all] [--json] | dictation show ID [--json] |
// dictation delete ID [--yes] | dictation xml ID | dictation new --audio WAV [...] |
// dictation edit ID [...] | dictation record [ID] [...] | dictation params ID [--author A ...] [--json] |
// dictation pictures ID [--add IMAGE]... [--delete NAME] [--yes] [--json]
class DictationCommand final : public CliCommand {
public:
    std::string name() const override { return "dictation"; }
    std::vector<std::string> helpLines() const override;
    int run(const std::vector<std::string>& arguments, CliContext& context) override;
    bool startsItself() const override { return true; }

private:
    // The one positional argument as a dictation id, or nothing once the usage error is written.
    static std::optional<std::int64_t> identifierArgument(const CliArguments& parsed, CliContext& context);
    // --draft/--send, --track and --at of a take (edit, record): false once the usage error is written.
    static bool readTakePlace(const CliArguments& parsed, CliContext& context, std::string& track,
                              std::optional<double>& at);

    int list(const std::vector<std::string>& arguments, CliContext& context);
    int show(const std::vector<std::string>& arguments, CliContext& context);
    int remove(const std::vector<std::string>& arguments, CliContext& context);
    // Prints the batch-import descriptor that would be sent with the dictation.
    int xml(const std::vector<std::string>& arguments, CliContext& context);
    // Records a new dictation from WAV files, or edits one, through the recording screen.
    int create(const std::vector<std::string>& arguments, CliContext& context);
    int edit(const std::vector<std::string>& arguments, CliContext& context);
    // Records a new dictation, or a take into one, from the microphone, live.
    int record(const std::vector<std::string>& arguments, CliContext& context);
    // Reads a dictation's workflow parameters, or chooses them through its parameter screen.
    int params(const std::vector<std::string>& arguments, CliContext& context);
    // Lists, adds or deletes the dictation's pictures through the pictures screen.
    int pictures(const std::vector<std::string>& arguments, CliContext& context);
};

} // namespace orvaneh
