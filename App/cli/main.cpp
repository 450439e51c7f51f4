#include "App/cli/CliApplication.h"

#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    orvaneh::CliApplication application;
    // Both streams on one terminal: what the person reads once is not printed twice.
    struct stat output {};
    struct stat messages {};
    const bool sharedTerminal = isatty(STDOUT_FILENO) != 0 && isatty(STDERR_FILENO) != 0 &&
                                fstat(STDOUT_FILENO, &output) == 0 && fstat(STDERR_FILENO, &messages) == 0 &&
                                output.st_rdev == messages.st_rdev;
    return application.run(arguments, std::cout, std::cerr, isatty(STDIN_FILENO) != 0, sharedTerminal);
}
