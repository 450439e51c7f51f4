#pragma once

#include <QLabel>
#include <QTimer>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace orvaneh {

// The transient banner across the top of the window: shown at once with its text, kept for
// the duration asked, then faded out and hidden. A new banner replaces the one shown.
// GUI thread only.
class BannerView : public QLabel {
    Q_OBJECT
public:
    static constexpr int kFadeMilliseconds = 400;

    explicit BannerView(QWidget* parent = nullptr);

    void showBanner(const QString& text, int milliseconds);
    // True from showBanner until the fade has ended.
    bool isShowing() const { return isVisible(); }

private:
    QTimer hold_;
    QGraphicsOpacityEffect* opacity_;
    QPropertyAnimation* fade_;
    void startFade();
};

} // namespace orvaneh
