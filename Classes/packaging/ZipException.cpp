#include "Classes/packaging/ZipException.h"

namespace orvaneh {

ZipException::ZipException(const std::string& reason, int error)
    : std::runtime_error(reason), error_(error) {}

} // namespace orvaneh
