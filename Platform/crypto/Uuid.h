#pragma once

#include <string>

namespace orvaneh {

class Uuid {
public:
    // A random (version 4) UUID: 36 characters, upper-case hexadecimal, groups 8-4-4-4-12.
    static std::string generateV4();
};

} // namespace orvaneh
