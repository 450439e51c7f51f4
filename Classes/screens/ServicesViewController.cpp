#include "Classes/screens/ServicesViewController.h"

#include "Classes/core/serviceRequest.h"
#include "Platform/localisation/Localization.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace orvaneh {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The index of the first entry of each guid.
std::unordered_map<std::string, std::size_t> firstIndexByGuid(const std::vector<ServiceModel>& list) {
    std::unordered_map<std::string, std::size_t> index;
    index.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        index.emplace(list[i].guid, i);
    }
    return index;
}

// The level of every entry, starting at 1 and one more per ancestor, each ancestor counted once
// (what getImbricationLevel gives), in one pass: a table of thousands of entries or a long chain
// of parents costs no more than its length. In a loop of parents every member has the loop's
// length; an entry hanging under a loop adds one per step down from it.
std::vector<std::int32_t> levelsOf(const std::vector<ServiceModel>& list,
                                   const std::unordered_map<std::string, std::size_t>& byGuid) {
    const std::size_t count = list.size();
    auto parentOf = [&](std::size_t i) {
        const std::string& parent = list[i].parentService;
        if (parent.empty()) {
            return kNone;
        }
        auto found = byGuid.find(parent);
        return found == byGuid.end() ? kNone : found->second;
    };

    std::vector<std::int32_t> levels(count, 0); // 0: not known yet
    std::vector<std::size_t> placeOnWalk(count, kNone);
    std::vector<std::size_t> walk;
    for (std::size_t start = 0; start < count; ++start) {
        if (levels[start] != 0) {
            continue;
        }
        // Up the parents until an entry whose level is known, the top, or an entry of this walk.
        walk.clear();
        std::int32_t above = 0; // the level of the parent of the walk's last entry
        for (std::size_t current = start;;) {
            if (levels[current] != 0) {
                above = levels[current];
                break;
            }
            if (placeOnWalk[current] != kNone) {
                const std::size_t loopStart = placeOnWalk[current];
                const auto loopLength = static_cast<std::int32_t>(walk.size() - loopStart);
                for (std::size_t k = loopStart; k < walk.size(); ++k) {
                    levels[walk[k]] = loopLength;
                }
                walk.resize(loopStart);
                above = loopLength;
                break;
            }
            placeOnWalk[current] = walk.size();
            walk.push_back(current);
            current = parentOf(current);
            if (current == kNone) {
                break;
            }
        }
        for (auto entry = walk.rbegin(); entry != walk.rend(); ++entry) {
            levels[*entry] = ++above;
        }
    }
    return levels;
}

} // namespace

ServicesViewController::ServicesViewController(std::string userName, std::string serviceGuid,
                                               servicesDelegate* delegate)
    : userName_(std::move(userName)), serviceGuid_(std::move(serviceGuid)), delegate_(delegate) {
    loadServices();
}

std::string ServicesViewController::title() const {
    return localized("SERVICES_TITLE", "Services");
}

void ServicesViewController::loadServices() {
    serviceRequest request;
    servicesList_ = getServicesList(userName_.empty() ? request.selectAllServices()
                                                      : request.selectServiceForUser(userName_));
    selectedService_ = -1;
    if (!serviceGuid_.empty()) {
        auto found =
            std::find_if(servicesList_.begin(), servicesList_.end(),
                         [this](const ServiceModel& service) { return service.guid == serviceGuid_; });
        if (found != servicesList_.end()) {
            selectedService_ = static_cast<std::int32_t>(found - servicesList_.begin());
        }
    }
    changed();
}

Rect ServicesViewController::imageFrameForLevel(std::int32_t level) {
    return {10.0 + 20.0 * level, 5, 20, 20};
}

Rect ServicesViewController::labelFrameForLevel(std::int32_t level) {
    // Deep entries keep their indentation; the label only runs out of room.
    return {41.0 + 20.0 * level, 0, std::max(0.0, 210.0 - 20.0 * level), kRowHeight};
}

std::vector<ServicesViewController::Row> ServicesViewController::rows() const {
    std::vector<Row> rows;
    rows.reserve(servicesList_.size());
    for (std::size_t i = 0; i < servicesList_.size(); ++i) {
        const ServiceModel& service = servicesList_[i];
        rows.push_back(Row{service.name, service.isSite ? kSiteImage : kServiceImage,
                           imageFrameForLevel(service.nivImbrication),
                           labelFrameForLevel(service.nivImbrication),
                           static_cast<std::int32_t>(i) == selectedService_});
    }
    return rows;
}

void ServicesViewController::tapRow(std::int32_t row) {
    if (row < 0 || static_cast<std::size_t>(row) >= servicesList_.size()) {
        return;
    }
    selectedService_ = row == selectedService_ ? -1 : row;
    changed();
}

void ServicesViewController::validParam() {
    std::optional<ServiceModel> chosen;
    if (selectedService_ >= 0 && static_cast<std::size_t>(selectedService_) < servicesList_.size()) {
        chosen = servicesList_[static_cast<std::size_t>(selectedService_)];
    }
    if (delegate_ != nullptr) {
        delegate_->validService(chosen);
    }
    cancel();
}

std::vector<ServiceModel> ServicesViewController::getServicesList(const std::vector<ServiceModel>& services) {
    const std::size_t count = services.size();
    const auto byGuid = firstIndexByGuid(services);
    const auto levels = levelsOf(services, byGuid);

    // The entries under each guid, as parent or as site, in table order.
    std::unordered_map<std::string, std::vector<std::size_t>> children;
    for (std::size_t i = 0; i < count; ++i) {
        children[services[i].parentService].push_back(i);
        if (services[i].idSite != services[i].parentService) {
            children[services[i].idSite].push_back(i);
        }
    }

    std::vector<ServiceModel> entries = services;
    for (auto& entry : entries) {
        entry.position = -1;
    }
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    auto moveTo = [&order](std::size_t entry, std::size_t place) {
        order.erase(std::find(order.begin(), order.end(), entry));
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(std::min(place, order.size())), entry);
    };

    for (std::size_t s = 0; s < count; ++s) {
        ServiceModel& parent = entries[s];
        if (parent.isSite) {
            moveTo(s, 0);
            parent.nivImbrication = 0;
            parent.position = 0;
        } else {
            parent.nivImbrication = levels[s];
        }
        auto found = children.find(parent.guid);
        if (found == children.end()) {
            continue;
        }
        // Each child goes right after the parent's marker, so siblings end up in reverse order.
        for (std::size_t c : found->second) {
            ServiceModel& child = entries[c];
            if (child.position >= 0) {
                continue;
            }
            child.nivImbrication = levels[c];
            const std::int32_t place = parent.position + 1;
            moveTo(c, static_cast<std::size_t>(std::max(place, 0)));
            child.position = place;
        }
    }

    std::vector<ServiceModel> flattened;
    flattened.reserve(count);
    for (std::size_t i : order) {
        flattened.push_back(std::move(entries[i]));
    }
    return flattened;
}

std::int32_t ServicesViewController::getImbricationLevel(const ServiceModel& service, std::int32_t level,
                                                         const std::vector<ServiceModel>& list) {
    std::unordered_set<std::string> seen{service.guid};
    const ServiceModel* current = &service;
    for (;;) {
        const std::string& parentGuid = current->parentService;
        if (parentGuid.empty() || seen.count(parentGuid) != 0) {
            return level;
        }
        auto parent = std::find_if(list.begin(), list.end(), [&parentGuid](const ServiceModel& entry) {
            return entry.guid == parentGuid;
        });
        if (parent == list.end()) {
            return level;
        }
        seen.insert(parentGuid);
        ++level;
        current = &*parent;
    }
}

std::optional<ServiceModel>
ServicesViewController::getServiceWithGuid(const std::string& guid, const std::vector<ServiceModel>& list) {
    auto found = std::find_if(list.begin(), list.end(),
                              [&guid](const ServiceModel& entry) { return entry.guid == guid; });
    if (found == list.end()) {
        return std::nullopt;
    }
    return *found;
}

std::vector<ServiceModel>
ServicesViewController::getServiceModelsForParent(const std::string& guid,
                                                  const std::vector<ServiceModel>& list) {
    std::vector<ServiceModel> found;
    std::copy_if(list.begin(), list.end(), std::back_inserter(found), [&guid](const ServiceModel& entry) {
        return entry.parentService == guid || entry.idSite == guid;
    });
    return found;
}

} // namespace orvaneh
