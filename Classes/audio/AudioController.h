#pragma once

#include "Classes/core/DicteeModel.h"
#include "Classes/screens/ApplicationHost.h"
#include "Classes/screens/SuperController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The common base of the screens that close a dictation (the recorder and the dictation list):
// the microphone check, the closing menu (send, interrupt, abandon, cancel), the summary shown
// before sending, and the start of sending. What saving and discarding mean is left to the
// subclass through the hooks. The application object must outlive the screen. Answers of the
// menu and of the summary that arrive after the screen is gone are dropped. Main run loop only.
class AudioController : public SuperController {
public:
    enum class RecordChoice { Send, Interrupt, Abandon, Cancel };

    static constexpr int kRecordChoiceMenuTag = 100;
    static constexpr int kResumeAlertTag = 200;
    static constexpr const char* kRecordFinished = "RecordFinished";

    explicit AudioController(ApplicationHost& application);
    ~AudioController() override;
    AudioController(const AudioController&) = delete;
    AudioController& operator=(const AudioController&) = delete;

    std::string screenName() const override { return "AudioController"; }

    // The microphone permission: the completion gets it at once when known, otherwise when the
    // user has answered the platform's request (possibly on another thread: the caller moves
    // to the main thread itself). An empty completion is not called.
    static void checkRecordPermission(std::function<void(bool granted)> completion);
    // typeSite of the default site; -1 without one.
    int getTypeEnvoi() const;

    // The closing menu, titled `title` (none when absent), with the actions of recordChoices()
    // in that order; the answer runs the chosen action.
    void showRecordChoiceMenuWithTitle(const std::optional<std::string>& title);
    // The actions the menu offers now: Send and Interrupt when their hooks allow them, then
    // Abandon and Cancel.
    std::vector<RecordChoice> recordChoices();
    void performRecordChoice(RecordChoice choice);

    // The menu's actions, also callable directly. A save that gives no record stops Send and
    // Interrupt there: nothing is sent, the screen stays.
    // Send: refused with a banner for sites that do not send (types 3, 4, 8); with
    // "ValidateBeforeSend" the summary; otherwise saved as not a draft, sent, back to the root.
    void sendDictation();
    // Saved as a draft, back to the root, "RecordFinished".
    void interruptDictation();
    // cancelDictation, then "RecordFinished".
    void abandonDictation();

    // Wakes the application's sender, then posts "RecordFinished".
    void sendDictees();

    // The summary of `record` (asked with "Annuler" as button 0 and "Envoyer" as button 1).
    // "Envoyer" clears the draft flag, writes the record, sends and returns to the root; when
    // the record cannot be written a banner says so and the screen stays
    // (dictationStaysOpenAfterSave). Without a record it only logs; subclasses override it to
    // supply the record.
    virtual void displayResumeAlertViewForDictee(const std::optional<DicteeModel>& record);
    // The summary's message, line by line, with the job-title and identifier labels given.
    static std::string resumeMessage(const DicteeModel& record, const std::string& jobTitle,
                                     const std::string& identLabel);

    // Hooks. saveDictation stores the dictation (as a draft or not) and returns its record, or
    // nothing when it could not be stored.
    virtual std::optional<DicteeModel> saveDictation(bool draft);
    virtual void cancelDictation();
    virtual bool recordChoiceMenuShouldDisplaySendDictation();
    virtual bool recordChoiceMenuShouldDisplayInterruptDictation();
    // The summary closed without leaving the screen ("Annuler", or its send could not be
    // written) after the subclass saved `record`: the screen goes on with that record.
    virtual void dictationStaysOpenAfterSave(const DicteeModel& record);

protected:
    ApplicationHost& application() const { return application_; }
    // The banner telling the user that the dictation could not be stored and its recordings
    // stay on the device; with what the disk did when `diskError` (an errno) is its fault.
    static void notifySaveFailed(int diskError);
    // Abandons a stored dictation that is not sent: its row first (a row that stays keeps its
    // files, and a banner says so), then its pictures; its recordings are kept under names the
    // next dictation of that number will not take, and a banner names them.
    static void abandonStoredDictation(std::int64_t idDictee);
    // Wraps an answer so that it is dropped once this screen is destroyed.
    std::function<void(int)> guarded(std::function<void(int)> answer) const;

private:
    ApplicationHost& application_;
    std::shared_ptr<char> alive_ = std::make_shared<char>();

    void sendResumedDictation(DicteeModel record);
};

} // namespace orvaneh
