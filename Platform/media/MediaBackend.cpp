#include "Platform/media/MediaBackend.h"

#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/services/ProcessWide.h"

namespace orvaneh {

namespace {

ProcessWide<MediaBackend>& registry() {
    static auto* instance = new ProcessWide<MediaBackend>(
        []() -> std::shared_ptr<MediaBackend> { return std::make_shared<SimulatedMediaBackend>(); });
    return *instance;
}

} // namespace

MediaBackend& MediaBackend::shared() {
    return registry().get();
}

void MediaBackend::install(std::shared_ptr<MediaBackend> backend) {
    registry().install(std::move(backend));
}

} // namespace orvaneh
