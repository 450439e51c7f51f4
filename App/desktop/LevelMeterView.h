#pragma once

#include "Classes/audio/RecorderTransport.h"

#include <QWidget>
#include <array>

namespace orvaneh {

// The recording screen's level meter: its twelve lights in a row, in the colours the controller
// gives (lit or not).
class LevelMeterView : public QWidget {
    Q_OBJECT
public:
    using Lights = std::array<RecorderTransport::LevelLight, VuMeterGrid::kLightCount>;

    explicit LevelMeterView(QWidget* parent = nullptr);

    void setLights(const Lights& lights);
    const Lights& lights() const { return lights_; }
    int litCount() const;

    QSize sizeHint() const override { return {240, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Lights lights_{};
};

} // namespace orvaneh
