#include "App/desktop/CursorSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace orvaneh {

namespace {

QColor qColor(const Color& color, double alpha = 1) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha * alpha));
}

QRectF qRect(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

} // namespace

CursorSlider::CursorSlider(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumHeight(kBarHeight + 8);
    setCursor(Qt::PointingHandCursor);
}

void CursorSlider::setState(const AudioRecordControllerThree::View& view) {
    view_ = view;
    setEnabled(view.sliderEnabled);
    update();
}

Rect CursorSlider::barFrame(QSize size) {
    return {static_cast<double>(kMargin), (size.height() - kBarHeight) / 2.0,
            std::max(1.0, static_cast<double>(size.width() - 2 * kMargin)), static_cast<double>(kBarHeight)};
}

float CursorSlider::valueAt(double x) const {
    const Rect bar = barFrame(size());
    const double trackField = view_.dictationTrack ? view_.dictationDuration : view_.instructionDuration;
    const double minimum = view_.sliderMinimum;
    const double maximum = std::max(static_cast<double>(view_.sliderMaximum), trackField);
    const double value = minimum + (x - bar.x) / bar.width * (maximum - minimum);
    return std::clamp(static_cast<float>(value), view_.sliderMinimum,
                      std::max(view_.sliderMinimum, view_.sliderMaximum));
}

void CursorSlider::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Rect bar = barFrame(size());
    const RecorderLayout pieces = layout();

    // The container: its colour, and a red border while a take runs.
    QRectF container = qRect(bar).adjusted(-kMargin / 2.0, 0, kMargin / 2.0, 0);
    painter.setBrush(qColor(view_.containerColor));
    if (view_.containerBorderWidth > 0) {
        painter.setPen(QPen(qColor(view_.containerBorderColor), view_.containerBorderWidth));
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.drawRoundedRect(container, 6, 6);

    // The track, filled up to the thumb.
    const double middle = bar.y + bar.height / 2;
    const Rect thumb = pieces.thumbFrame(view_.sliderValue);
    const double thumbCentre = thumb.x + thumb.width / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(qColor(view_.sliderTrackColor, 0.45));
    painter.drawRoundedRect(QRectF(bar.x, middle - 2, bar.width, 4), 2, 2);
    painter.setBrush(qColor(view_.sliderTrackColor));
    painter.drawRoundedRect(QRectF(bar.x, middle - 2, std::max(0.0, thumbCentre - bar.x), 4), 2, 2);

    if (view_.band) {
        painter.setBrush(QColor(255, 64, 64, static_cast<int>(255 * RecorderLayout::kBandAlpha)));
        painter.drawRect(qRect(pieces.bandFrame(view_.band->from, view_.band->to)));
    }
    for (const auto& marker : view_.markers) {
        if (!marker.placed) {
            continue;
        }
        const QRectF frame = qRect(pieces.markerFrame(marker.value));
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(marker.selected ? QColor(220, 30, 30) : QColor(40, 170, 70));
        painter.drawEllipse(frame.adjusted(3, 3, -3, -3));
    }
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(isEnabled() ? qColor(view_.sliderThumbColor) : QColor(200, 200, 200));
    const double side = std::min(thumb.width, thumb.height);
    painter.drawEllipse(QPointF(thumbCentre, middle), side / 2 - 1, side / 2 - 1);
}

void CursorSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const RecorderLayout pieces = layout();
    for (int i = 0; i < 2; ++i) {
        const auto& marker = view_.markers[static_cast<std::size_t>(i)];
        if (marker.placed && qRect(pieces.markerFrame(marker.value)).contains(event->position())) {
            emit markerTouched(i + 1);
            return;
        }
    }
    dragging_ = true;
    emit moved(valueAt(event->position().x()));
}

void CursorSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) {
        emit moved(valueAt(event->position().x()));
    }
}

void CursorSlider::mouseReleaseEvent(QMouseEvent* /*event*/) {
    dragging_ = false;
}

} // namespace orvaneh
