#include "App/desktop/BannerView.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

namespace orvaneh {

BannerView::BannerView(QWidget* parent)
    : QLabel(parent), opacity_(new QGraphicsOpacityEffect(this)),
      fade_(new QPropertyAnimation(opacity_, "opacity", this)) {
    setObjectName("banniere");
    setAccessibleName("Bannière");
    setWordWrap(true);
    setAlignment(Qt::AlignCenter);
    setMargin(8);
    setStyleSheet("QLabel#banniere { background: #2b5d8a; color: white; font-weight: bold; }");
    setGraphicsEffect(opacity_);
    hold_.setSingleShot(true);
    connect(&hold_, &QTimer::timeout, this, &BannerView::startFade);
    fade_->setDuration(kFadeMilliseconds);
    fade_->setStartValue(1.0);
    fade_->setEndValue(0.0);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::hide);
    hide();
}

void BannerView::showBanner(const QString& text, int milliseconds) {
    fade_->stop();
    opacity_->setOpacity(1.0);
    setText(text);
    setAccessibleDescription(text);
    show();
    hold_.start(std::max(0, milliseconds - kFadeMilliseconds));
}

void BannerView::startFade() {
    fade_->start();
}

} // namespace orvaneh
