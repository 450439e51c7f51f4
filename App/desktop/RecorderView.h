#pragma once

#include "Classes/audio/AudioRecordControllerThree.h"

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QKeySequence;
class QLabel;
class QPushButton;
class QShortcut;

namespace orvaneh {

class CursorSlider;
class LevelMeterView;
class WaveformView;

// The recording screen: title and work type, priority and track switch, the option bar, the
// recording indicator, the cursor with its times, markers and cut band, the waveform of the
// track, the level meter and the transport. It draws the controller's view() after each change
// and sends every control to the controller's handlers. While it is shown, the keyboard drives
// the transport (space, R or F9, Home, End, arrows).
class RecorderView : public QWidget {
    Q_OBJECT
public:
    explicit RecorderView(std::shared_ptr<AudioRecordControllerThree> recorder, QWidget* parent = nullptr);
    ~RecorderView() override;

    // Draws the controller's state again.
    void refresh();

    WaveformView* waveform() const { return waveform_; }
    LevelMeterView* levelMeter() const { return levelMeter_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::shared_ptr<AudioRecordControllerThree> recorder_;
    QFrame* strip_;
    QLabel* title_;
    QLabel* worktype_;
    QLabel* indicator_;
    QPushButton* priority_;
    QPushButton* track_;
    QPushButton* parameters_;
    QPushButton* titleIdent_;
    QPushButton* scanner_;
    QPushButton* caseFile_;
    QPushButton* pictures_;
    QLabel* position_;
    QLabel* duration_;
    CursorSlider* slider_;
    WaveformView* waveform_;
    LevelMeterView* levelMeter_;
    QPushButton* start_;
    QPushButton* rewind_;
    QPushButton* record_;
    QPushButton* play_;
    QPushButton* stop_;
    QPushButton* forward_;
    QPushButton* end_;
    QPushButton* pin_;
    QPushButton* cut_;
    std::vector<QShortcut*> shortcuts_;
    // What the waveform was last asked for: the track and its length when no take ran.
    std::filesystem::path shownTrack_;
    double shownDuration_ = -1;

    void addShortcut(const QKeySequence& keys, const std::function<void()>& action);
    // The record key: starts a take at the cursor from any state, or ends the running one.
    void recordKey();
    void moveCursor(double seconds);
    void refreshWaveform(const AudioRecordControllerThree::View& shown);
};

} // namespace orvaneh
