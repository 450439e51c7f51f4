#include "App/desktop/WaveformView.h"

#include "App/desktop/CursorSlider.h"

#include <QPainter>
#include <algorithm>

namespace orvaneh {

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setMinimumHeight(24);
}

void WaveformView::showTrack(const std::filesystem::path& track) {
    reader_.request(track, [this](const TrackPeaks::Peaks& peaks) {
        peaks_ = peaks;
        update();
        emit peaksShown();
    });
}

void WaveformView::setRange(double minimum, double maximum) {
    if (minimum != minimum_ || maximum != maximum_) {
        minimum_ = minimum;
        maximum_ = maximum;
        update();
    }
}

void WaveformView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const Rect bar = CursorSlider::barFrame(QSize(width(), height()));
    const double middle = height() / 2.0;
    painter.setPen(QColor(120, 170, 225));
    painter.drawLine(QPointF(bar.x, middle), QPointF(bar.x + bar.width, middle));
    if (peaks_.empty() || maximum_ <= minimum_) {
        return;
    }
    // One vertical stroke per pixel column: the largest peak of the hundredths it covers.
    const double secondsPerPixel = (maximum_ - minimum_) / bar.width;
    const auto count = static_cast<long>(peaks_.size());
    painter.setPen(QColor(33, 86, 145));
    for (int column = 0; column < static_cast<int>(bar.width); ++column) {
        const double from = minimum_ + column * secondsPerPixel;
        auto first = static_cast<long>(from * TrackPeaks::kPeaksPerSecond);
        auto last = static_cast<long>((from + secondsPerPixel) * TrackPeaks::kPeaksPerSecond);
        if (first >= count) {
            break;
        }
        last = std::clamp(last, first + 1, count);
        const std::uint8_t peak = *std::max_element(peaks_.begin() + first, peaks_.begin() + last);
        const double half = (middle - 1) * peak / 255.0;
        const double x = bar.x + column + 0.5;
        painter.drawLine(QPointF(x, middle - half), QPointF(x, middle + half));
    }
}

} // namespace orvaneh
