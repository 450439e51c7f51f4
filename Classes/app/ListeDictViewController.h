#pragma once

#include "Classes/app/DictationCell.h"
#include "Classes/audio/AudioController.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Classes/workflow/QRCodeReaderViewController.h"
#include "Platform/notifications/NotificationCenter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvaneh {

// The dictation list, the application's first screen and its home: one tab for the dictations
// still to send (drafts included), one for those sent, newest first. From it a dictation is
// created, opened in the recorder, given other parameters, closed through the closing menu of
// AudioController (long press), or deleted.
//
// Creating the screen runs its start: sent dictations older than "OptionMaxDate" days are
// removed with their files, then the list follows the sender and the recorder ("EnvoiOpen",
// "EnvoiClose", "EnvoiFin", "RecordFinished", "ApplicationBecomeActive"), always rebuilding on
// the main run loop whatever thread posted. The view draws rows(), the header and the buttons,
// and forwards touches. The application object must outlive the screen. Main run loop only.
class ListeDictViewController : public AudioController {
public:
    static constexpr int kOutboxTab = 0;
    static constexpr int kSentTab = 1;
    static constexpr double kRowHeight = 72;
    static constexpr double kEmptyHeaderHeight = 72;
    // Touches this close to the right edge of a row are on its parameters button.
    static constexpr double kAccessoryWidth = 45;
    static constexpr int kDeleteConfirmTag = 300;

    // What a deletion came to.
    enum class Removal { Removed, Cancelled, Unknown, Transferring, Failed };

    // A parameter screen waiting for its answer (parameterScreenFinished).
    struct PendingParameters {
        enum class Purpose { EditDictation, BeforeRecording };
        Purpose purpose = Purpose::EditDictation;
        std::int64_t idDictee = 0; // 0 for a new dictation
        ParamWorkflow parameters;
    };

    // Opens the recorder on a new dictation (no id) or a stored one, with its parameters. The
    // screen pushes AudioRecordControllerThree onto the application's navigation by default;
    // the command line hands the opening over to its own driver of the recorder.
    using RecorderOpener = std::function<void(std::optional<std::int64_t> idDictee, const ParamWorkflow&)>;

    explicit ListeDictViewController(ApplicationHost& application);
    // The screen's actions without its start (no clean-up, no observers, no rows): what the
    // command line drives for a single action.
    struct WithoutStart {};
    ListeDictViewController(ApplicationHost& application, WithoutStart);
    ~ListeDictViewController() override;

    std::string screenName() const override { return "ListeDictViewController"; }
    std::string title() const override;
    // The root screen: the edit button takes the back button's place.
    bool shouldDisplayBackButton() const override { return false; }
    bool shouldDisplayMenuButton() const override { return true; }

    // Removes every sent dictation saved more than "OptionMaxDate" days ago, each as
    // removeDicteeAndFileWithId does. The number removed.
    int removeOldDictee();
    // How many the start removed.
    int removedAtStart() const { return removedAtStart_; }

    // Tabs.
    std::vector<std::string> tabTitles() const;
    int selectedTab() const { return selectedTab_; }
    void selectTab(int tab);
    // The rows of a tab, newest first; dates read with `datePattern` (the list's own
    // "dd/MM/yy HH:mm" when empty).
    static std::vector<DictationCell> BuildTab(bool sent, std::string_view datePattern = {});
    // Rebuilds the selected tab.
    void updateList();

    // What the view draws.
    const std::vector<DictationCell>& rows() const { return rows_; }
    double rowHeight() const { return kRowHeight; }
    // The header holds the empty list's text.
    double headerHeight() const { return rows_.empty() ? kEmptyHeaderHeight : 0; }
    std::string emptyText() const;
    // The same text for a tab: the sent one or the outbox.
    static std::string emptyTextFor(bool sent);
    // The navigation bar's left button: "OK" while editing, "Modifier" otherwise.
    bool editing() const { return editing_; }
    std::string editButtonTitle() const;

    // Touches.
    // A row touched at `x` in a table `width` wide: the parameters on its right edge, else the
    // recorder. Nothing for a row out of range or the dictation being sent.
    void tapRow(std::size_t index, double x, double width);
    void onCellSelected(std::size_t index);
    void onCellAccessory(std::size_t index);
    // The parameter screen of a row's dictation (not for a sent one, refused while it is sent).
    void openParameters(const DictationCell& row);
    // The closing menu of an outbox row (nothing on the sent tab or for the row being sent).
    void longPress(std::size_t index);
    void EditTable();
    // The new-dictation button: needs the workflow's authors, then opens the recorder.
    void NewDictee();
    // False, told by a banner, while the workflow has no author: nothing can be dictated.
    static bool canCreateDictation();
    // The recorder on a stored dictation (`row`) or a new one, once the microphone is allowed;
    // unless sent, through the parameter screen first when "ShowSettingsForRecord" is on.
    void openRecorderUI(const std::optional<DictationCell>& row = std::nullopt);
    void setRecorderOpener(RecorderOpener opener) { recorderOpener_ = std::move(opener); }
    // The code reader's camera where the platform has one (the desktop sets it); without one the
    // reader takes pictures only.
    using CameraMaker = std::function<std::shared_ptr<QRCodeReaderViewController::Camera>()>;
    void setCameraMaker(CameraMaker maker) { cameraMaker_ = std::move(maker); }
    // What the screens opened from here offer as code reader and case-file search: each makes its
    // screen without showing it.
    ParamWorkflowDictee::ScannerOpener scannerMaker() const;
    static ParamWorkflowDictee::CaseFileOpener caseListMaker();
    static ParamWorkflowDictee::CaseFileOpener loginMaker();
    // The title of the recorder's back button.
    static std::string recorderBackTitle();

    // Deleting a row of either tab: asked first ("Supprimer"), then removeDicteeAndFileWithId
    // and a rebuild. `done`, when given, hears the outcome.
    void deleteRow(std::size_t index);
    void askToDelete(std::int64_t idDictee, std::function<void(Removal)> done = {});
    // The row first, then the dictation's files: recordings, descriptor, pictures, and the
    // copies an interrupted send left under its job name. A row that cannot be deleted keeps
    // its files and the failure is told; the dictation being sent is refused. Both told by a
    // banner.
    static Removal removeDicteeAndFileWithId(std::int64_t idDictee);

    // The parameter screen: a ParamWorkflowDictee presented on the application's navigation
    // (and named to UserInterface::showScreen).
    const std::optional<PendingParameters>& pendingParameters() const { return pendingParameters_; }
    // Its answer. Editing a dictation's parameters: unless cancelled or unchanged, they become
    // the defaults and the dictation's, which waits no longer for a retry. Before recording:
    // unless cancelled or unchanged, the recorder opens with them; otherwise the list stays.
    void parameterScreenFinished(const ParamWorkflow& parameters, bool cancelled);

    // The dictation of the last long press.
    const std::optional<DicteeModel>& selectedDictation() const { return selectedDictation_; }

    // Hooks of AudioController, for the selected dictation.
    bool recordChoiceMenuShouldDisplaySendDictation() override;
    bool recordChoiceMenuShouldDisplayInterruptDictation() override;
    // Stored as a draft or not, its attempt stamp cleared.
    std::optional<DicteeModel> saveDictation(bool draft) override;
    void displayResumeAlertViewForDictee(const std::optional<DicteeModel>& record) override;
    // Abandon: an unsent dictation loses its row and pictures; its recordings are kept aside.
    void cancelDictation() override;
    void dictationStaysOpenAfterSave(const DicteeModel& record) override;

private:
    int selectedTab_ = kOutboxTab;
    bool editing_ = false;
    int removedAtStart_ = 0;
    std::vector<DictationCell> rows_;
    std::optional<DicteeModel> selectedDictation_;
    std::optional<PendingParameters> pendingParameters_;
    RecorderOpener recorderOpener_;
    CameraMaker cameraMaker_;
    std::vector<Observation> observations_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    const DictationCell* rowAt(std::size_t index) const;
    // After the microphone check, on the main run loop.
    void continueOpening(const std::optional<DictationCell>& row);
    void openRecorder(std::optional<std::int64_t> idDictee, const ParamWorkflow& parameters);
    void pushRecorder(std::optional<std::int64_t> idDictee, const ParamWorkflow& parameters);
    void presentParameterScreen(PendingParameters pending);
};

} // namespace orvaneh
