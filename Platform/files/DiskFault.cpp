#include "Platform/files/DiskFault.h"

#include "Platform/files/SystemErrorText.h"

#include <atomic>
#include <cerrno>

namespace orvaneh {

namespace {

std::atomic<int> lastFault{0};

} // namespace

void DiskFault::note(int errorNumber) {
    if (errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EIO || errorNumber == EROFS) {
        lastFault.store(errorNumber);
    }
}

void DiskFault::clear() {
    lastFault.store(0);
}

std::string DiskFault::take() {
    const int fault = lastFault.exchange(0);
    return fault != 0 ? systemErrorText(fault) : std::string();
}

std::string DiskFault::withCause(const std::string& prefix) {
    const std::string cause = take();
    return cause.empty() ? prefix : prefix + " (" + cause + ")";
}

} // namespace orvaneh
