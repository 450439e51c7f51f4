#pragma once

#include "Classes/core/ServiceModel.h"
#include "Classes/screens/SelectionView.h"
#include "Classes/screens/ServicesViewController.h"
#include "Classes/screens/SuperController.h"
#include "Classes/workflow/ParamWorkflow.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

class NavigationController;

// The base of the two workflow parameter screens: the fields, the choices each picker offers
// from the imported directory, and how one choice constrains the others (an author has his
// contexts, a context exists only for speech recognition, a service has its own worktypes and
// typists). Fields 1 to 7 are chosen in a SelectionView, 8 and 9 are typed. The choices can
// also be made by value (choose, chooseService): the command line goes through the same rules.
// Main run loop only.
class AbstractParamWorkflow : public SuperController, public servicesDelegate {
public:
    enum Tag {
        kAuthorTag = 1,
        kServiceTag = 2,
        kTypeTag = 3,
        kContextTag = 4,
        kWorktypeTag = 5,
        kTypistTag = 6,
        kPriorityTag = 7,
        kFirstFieldTag = 8,
        kSecondFieldTag = 9,
    };

    struct WorktypeInfo {
        std::string name;
        std::string type;
        std::string typist;
    };
    // What the service picker is opened with.
    struct ServicesRequest {
        std::string userName;
        std::string currentGuid; // "" when no service is chosen
    };
    using ServicesOpener = std::function<void(const std::shared_ptr<ServicesViewController>&)>;
    // The usual opener: the picker presented modally over the parameter screen on `navigation`,
    // which must outlive the screen.
    static ServicesOpener presentingOn(NavigationController& navigation);

    ~AbstractParamWorkflow() override;

    // The parameter set being edited.
    ParamWorkflow& paramWorkflow() { return paramWorkflow_; }
    const ParamWorkflow& paramWorkflow() const { return paramWorkflow_; }
    const std::optional<ServiceModel>& serviceChosen() const { return serviceChosen_; }

    // The rows this screen shows, in order (the service row only when services are offered).
    virtual std::vector<int> rowTags() const = 0;
    // What a row shows: its label, its text, whether it can be touched.
    static std::string fieldLabel(int tag);
    const std::string& fieldText(int tag) const;
    bool fieldEnabled(int tag) const;

    // The choice lists.
    const std::vector<std::string>& authors() const { return authors_; }
    const std::vector<std::int64_t>& authorIds() const { return authorIds_; }
    const std::vector<std::string>& contexts() const { return contexts_; }
    const std::vector<std::string>& dictationTypes() const { return dictationTypes_; }
    const std::vector<WorktypeInfo>& worktypes() const { return worktypes_; }
    const std::vector<std::string>& typists() const { return typists_; }
    const std::vector<std::string>& priorities() const { return priorities_; }
    // The worktypes as the picker lists them: "name / WD / typist".
    std::vector<std::string> displayInfoWorktype() const;
    static std::string getInfoWorktype(const WorktypeInfo& worktype);
    // The name part of a displayed worktype: what precedes the first "/", trimmed.
    static std::string getWortypeName(const std::string& displayed);

    // Rebuilds the choice lists from the directory (and the chosen author's contexts).
    virtual void initTabData();
    // The row id of an author of the list; 0 when he is not in it.
    std::int64_t getIDAuteur(const std::string& author) const;
    // Loads the author's contexts and sets the context and type fields from them: without a
    // context only plain dictation is possible.
    void downloadContextIfExistsWithAuteur(const std::string& author);

    // A field touched. True for the typed fields (8, 9); for the others the picker opens
    // (picker()), the service picker is asked for, or a banner says why nothing can be chosen.
    bool textFieldShouldBeginEditing(int tag);
    // A typed field's text; other tags are ignored. A text that is not one line of UTF-8 text is
    // refused: the field keeps its text, a banner says why, and the answer is false.
    bool setFieldText(int tag, std::string text);
    // The open picker, the field it is for and its pre-selected row.
    const std::shared_ptr<SelectionView>& picker() const { return picker_; }
    int textFieldSelected() const { return textFieldSelected_; }
    int rowSelected() const { return rowSelected_; }
    // The picker's answer for the field textFieldSelected().
    void validateParamPicka(bool cancelled, int index);

    // The service picker on the author's services, this screen its delegate: servicesPicker()
    // for a view to present, or handed to the opener set by setServicesOpener.
    // servicesRequest() keeps what it was opened with.
    void openServicesView();
    void setServicesOpener(ServicesOpener opener) { servicesOpener_ = std::move(opener); }
    const std::optional<ServicesRequest>& servicesRequest() const { return servicesRequest_; }
    const std::shared_ptr<ServicesViewController>& servicesPicker() const { return servicesPicker_; }
    // The service picker's answer: a service, or none (cleared).
    void validService(const std::optional<ServiceModel>& service) override;

    // Chooses `value` in the field's picker as a user would; the French reason when the screen
    // does not offer it (not shown as a banner). A type may be given by its code.
    std::optional<std::string> choose(int tag, const std::string& value);
    // The service of that row id (0 or below: none) among those the picker offers the author;
    // the reason, listing them, when it cannot be chosen.
    std::optional<std::string> chooseService(std::int64_t serviceRowId);
    // The same by row id or by the server's guid.
    std::optional<std::string> chooseService(const std::string& idOrGuid);
    // The services the picker offers the current author, in its order.
    std::vector<ServiceModel> offeredServices() const;

    // The fields into the parameter set: author, context, type, typist, worktype, service.
    virtual void saveParamWorkflow();

protected:
    explicit AbstractParamWorkflow(ParamWorkflow parameters = {});

    void setField(int tag, std::string text);
    void setEnabled(int tag, bool enabled);
    // The fields show the parameter set.
    void showParameters();
    std::vector<std::string> priorities_;
    std::optional<ServiceModel> serviceChosen_;

private:
    struct PickerContent {
        std::string title;
        std::vector<std::string> data;
        std::string emptyMessage; // shown instead of an empty list
    };

    ParamWorkflow paramWorkflow_;
    std::array<std::string, 10> fields_;
    std::array<bool, 10> enabled_{};
    std::vector<std::string> authors_;
    std::vector<std::int64_t> authorIds_;
    std::vector<std::string> contexts_;
    std::vector<std::string> dictationTypes_;
    std::vector<WorktypeInfo> worktypes_;
    std::vector<std::string> typists_;
    std::shared_ptr<SelectionView> picker_;
    int textFieldSelected_ = 0;
    int rowSelected_ = 0;
    ServicesOpener servicesOpener_;
    std::optional<ServicesRequest> servicesRequest_;
    std::shared_ptr<ServicesViewController> servicesPicker_;

    std::optional<PickerContent> pickerContentFor(int tag) const;
    void loadServiceLists(const ServiceModel& service);
    void loadAllWorktypesAndTypists();
    std::string disabledReason(int tag) const;
    std::optional<std::string> chooseOffered(const std::string& asked,
                                             const std::function<bool(const ServiceModel&)>& matches);
    // Why `value` is not among the texts the field's picker offers.
    std::string refusal(int tag, const std::string& value, const std::vector<std::string>& offered) const;
    static bool validTag(int tag) { return tag >= kAuthorTag && tag <= kSecondFieldTag; }
};

} // namespace orvaneh
