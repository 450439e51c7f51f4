#pragma once

#include "Classes/core/ServiceModel.h"
#include "Classes/screens/Geometry.h"
#include "Classes/screens/SuperController.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// Receives the service the user confirmed in the picker, or none.
class servicesDelegate {
public:
    virtual ~servicesDelegate() = default;
    virtual void validService(const std::optional<ServiceModel>& service) = 0;
};

// The service picker: the services of an author (all of them for no author) as a list indented
// by nesting level, at most one checked, the choice handed to the delegate on confirmation.
//
// The order is the one users know from the parameter screens: each site is moved to the front
// in turn (so the last site of the table comes first), and the children of an entry follow it
// in the reverse of their table order. Broken trees are shown, not refused: an unknown parent
// counts as none, and a loop of parents stops at the first entry seen twice. Main run loop only.
class ServicesViewController : public SuperController {
public:
    static constexpr double kRowHeight = 30;
    static constexpr const char* kSiteImage = "Service.png";
    static constexpr const char* kServiceImage = "Secteur.png";
    static constexpr const char* kCheckImage = "check.png";

    // What the view draws for one row of the list.
    struct Row {
        std::string label;
        std::string image; // kSiteImage or kServiceImage
        Rect imageFrame;   // within the row
        Rect labelFrame;
        bool checked = false;
    };

    // Loads the services of `userName` ("" for all) and checks the one whose guid is
    // `serviceGuid` when it is in the list. The delegate, when given, must outlive the picker.
    explicit ServicesViewController(std::string userName = {}, std::string serviceGuid = {},
                                    servicesDelegate* delegate = nullptr);

    std::string screenName() const override { return "ServicesViewController"; }
    std::string title() const override;

    void setDelegate(servicesDelegate* delegate) { delegate_ = delegate; }
    servicesDelegate* delegate() const { return delegate_; }
    const std::string& userName() const { return userName_; }
    const std::string& serviceGuid() const { return serviceGuid_; }

    // Reads the services again and checks the opening guid as on creation.
    void loadServices();

    const std::vector<ServiceModel>& servicesList() const { return servicesList_; }
    // The checked row, -1 for none.
    std::int32_t selectedService() const { return selectedService_; }
    std::vector<Row> rows() const;
    static Rect imageFrameForLevel(std::int32_t level);
    static Rect labelFrameForLevel(std::int32_t level);

    // A touched row: the checked one loses its check, any other becomes the checked one. A row
    // that does not exist is ignored.
    void tapRow(std::int32_t row);
    // The confirm button: the delegate gets the checked service (or none), then the picker closes.
    void validParam();

    // The entries in display order, levels (sites 0) and positions set.
    static std::vector<ServiceModel> getServicesList(const std::vector<ServiceModel>& services);
    // `level` plus one per known ancestor of `service` in `list`, each ancestor counted once.
    static std::int32_t getImbricationLevel(const ServiceModel& service, std::int32_t level,
                                            const std::vector<ServiceModel>& list);
    // The first entry with that guid.
    static std::optional<ServiceModel> getServiceWithGuid(const std::string& guid,
                                                          const std::vector<ServiceModel>& list);
    // The entries whose parent or site is `guid`, in list order.
    static std::vector<ServiceModel> getServiceModelsForParent(const std::string& guid,
                                                               const std::vector<ServiceModel>& list);

private:
    std::string userName_;
    std::string serviceGuid_;
    servicesDelegate* delegate_ = nullptr;
    std::vector<ServiceModel> servicesList_;
    std::int32_t selectedService_ = -1;
};

} // namespace orvaneh
