#pragma once

#include "Classes/audio/TrackPeaks.h"

#include <QWidget>
#include <filesystem>

namespace orvaneh {

// The outline of the current track under the cursor, lined up with the cursor's bar: the peaks
// come from the track's peak file, made or read off the GUI thread by TrackPeaks.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(QWidget* parent = nullptr);

    // Asks for the peaks of `track`; the old ones stay drawn until they come.
    void showTrack(const std::filesystem::path& track);
    // The time range the cursor's bar spans, in seconds.
    void setRange(double minimum, double maximum);
    const TrackPeaks::Peaks& peaks() const { return peaks_; }

    QSize sizeHint() const override { return {400, 48}; }

signals:
    // The peaks of the last track asked for arrived.
    void peaksShown();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TrackPeaks reader_;
    TrackPeaks::Peaks peaks_;
    double minimum_ = 0;
    double maximum_ = 0;
};

} // namespace orvaneh
