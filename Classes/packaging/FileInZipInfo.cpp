#include "Classes/packaging/FileInZipInfo.h"

namespace orvaneh {

int FileInZipInfo::levelFromMethodAndFlags(unsigned long method, unsigned long flags) {
    if (method == 0) {
        return 0;
    }
    // Bits 1 and 2 of a deflated entry: 0 normal, 1 maximum, 2 fast, 3 super fast.
    switch ((flags >> 1) & 3U) {
    case 1:
        return 9;
    case 2:
    case 3:
        return 1;
    default:
        return -1;
    }
}

} // namespace orvaneh
