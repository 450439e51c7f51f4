#include "App/cli/CliApplication.h"

#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    orvaneh::CliApplication application;
    return application.run(arguments, std::cout, std::cerr, isatty(STDIN_FILENO) != 0);
}
