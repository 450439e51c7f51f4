#pragma once

#include "Classes/audio/AudioRecordControllerThree.h"

#include <QWidget>

namespace orvaneh {

// The recording screen's cursor: the bar in the container's colours, the band a cut would
// remove, the two markers and the thumb, placed by RecorderLayout over this widget's bar. A
// press or a drag on the bar moves the cursor; a press on a marker touches it.
class CursorSlider : public QWidget {
    Q_OBJECT
public:
    // Room left and right of the bar, so that a marker at either end is whole.
    static constexpr int kMargin = 12;
    static constexpr int kBarHeight = 31;

    explicit CursorSlider(QWidget* parent = nullptr);

    void setState(const AudioRecordControllerThree::View& view);
    // Where the bar is drawn in a widget of that size (the waveform under it uses the same).
    static Rect barFrame(QSize size);
    RecorderLayout layout() const { return view_.layoutIn(barFrame(size())); }
    // The cursor's value at x, kept within the slider's range.
    float valueAt(double x) const;

    QSize sizeHint() const override { return {400, kBarHeight + 8}; }
    QSize minimumSizeHint() const override { return {120, kBarHeight + 8}; }

signals:
    void moved(float value);
    // 1 or 2.
    void markerTouched(int which);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    AudioRecordControllerThree::View view_;
    bool dragging_ = false;
};

} // namespace orvaneh
