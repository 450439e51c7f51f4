#pragma once

#include <map>
#include <string>
#include <vector>

namespace orvaneh::test {

// Runs a program to completion and collects what it wrote.
struct ProcessResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

class ProcessRunner {
public:
    // `environment` entries are added to (or, with an empty value, removed from) this process's
    // environment for the child. Standard input is /dev/null.
    static ProcessResult run(const std::vector<std::string>& command,
                             const std::map<std::string, std::string>& environment = {});
    // The same with `input` as the child's standard input.
    static ProcessResult runWithInput(const std::vector<std::string>& command, const std::string& input,
                                      const std::map<std::string, std::string>& environment = {});

private:
    static ProcessResult start(const std::vector<std::string>& command, const std::string* input,
                               const std::map<std::string, std::string>& environment);
};

} // namespace orvaneh::test
