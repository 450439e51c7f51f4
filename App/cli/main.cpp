#include "App/cli/CliApplication.h"

#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    orvaneh::CliApplication application;
    // Both streams to one place (a terminal, or one file or pipe as with "2>&1"): what the
    // person reads once is not printed twice. Apart, a script still reads every result.
    struct stat output {};
    struct stat messages {};
    const bool bothKnown = fstat(STDOUT_FILENO, &output) == 0 && fstat(STDERR_FILENO, &messages) == 0;
    const bool sameTerminal = bothKnown && isatty(STDOUT_FILENO) != 0 && isatty(STDERR_FILENO) != 0 &&
                              output.st_rdev == messages.st_rdev;
    const bool sameFile = bothKnown && !isatty(STDOUT_FILENO) && output.st_dev == messages.st_dev &&
                          output.st_ino == messages.st_ino;
    const bool sharedTerminal = sameTerminal || sameFile;
    return application.run(arguments, std::cout, std::cerr, isatty(STDIN_FILENO) != 0, sharedTerminal);
}
