#include "Classes/transport/Uploader.h"

namespace orvaneh {

std::atomic<std::int64_t> Uploader::uploadedDicteeId_{0};

bool Uploader::claimRun() {
    bool expected = false;
    return running_.compare_exchange_strong(expected, true);
}

void Uploader::run() {
    running_.store(true);
    ++runCount_;
    // No transport exists yet: a run finds nothing it can send.
    uploadedDicteeId_.store(0);
    running_.store(false);
}

} // namespace orvaneh
