#include "App/desktop/LevelMeterView.h"

#include <QPainter>
#include <algorithm>

namespace orvaneh {

LevelMeterView::LevelMeterView(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(10);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LevelMeterView::setLights(const Lights& lights) {
    const bool same =
        std::equal(lights.begin(), lights.end(), lights_.begin(), [](const auto& a, const auto& b) {
            return a.lit == b.lit && a.color.red == b.color.red && a.color.green == b.color.green &&
                   a.color.blue == b.color.blue && a.color.alpha == b.color.alpha;
        });
    lights_ = lights;
    if (!same) {
        setAccessibleDescription(QString("%1 voyants allumés sur %2").arg(litCount()).arg(lights_.size()));
        update();
    }
}

int LevelMeterView::litCount() const {
    return static_cast<int>(
        std::count_if(lights_.begin(), lights_.end(), [](const auto& light) { return light.lit; }));
}

void LevelMeterView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int count = static_cast<int>(lights_.size());
    const double gap = 3;
    const double width = (this->width() - gap * (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
        const Color& color = lights_[static_cast<std::size_t>(i)].color;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                                          static_cast<float>(color.blue), static_cast<float>(color.alpha)));
        painter.drawRoundedRect(QRectF(i * (width + gap), 0, width, height()), 2, 2);
    }
}

} // namespace orvaneh
