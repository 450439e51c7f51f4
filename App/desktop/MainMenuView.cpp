#include "App/desktop/MainMenuView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/Menu.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace orvaneh {

using W = ViewWidgets;

namespace {

QString colorOf(const Color& color) {
    return QString("rgba(%1, %2, %3, %4)")
        .arg(static_cast<int>(color.red * 255))
        .arg(static_cast<int>(color.green * 255))
        .arg(static_cast<int>(color.blue * 255))
        .arg(color.alpha);
}

} // namespace

MainMenuView::MainMenuView(Menu& menu, QWidget* window)
    : QWidget(window), menu_(menu), panel_(new QFrame(this)) {
    setObjectName("menuPrincipal");
    setAccessibleName("Menu principal");
    setToolTip("Touchez en dehors du menu ou appuyez sur Échap pour le fermer");
    setFocusPolicy(Qt::StrongFocus);
    panel_->setObjectName("panneauMenu");
    panel_->setAccessibleName("Panneau du menu principal");
    panel_->setAutoFillBackground(true);
    panel_->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(panel_);
    const QIcon logo = W::icon(Menu::kLogoImage);
    auto* header = new QLabel(panel_);
    W::name(header, "logoMenu", "Orvaneh");
    if (logo.isNull()) {
        header->setText("Orvaneh");
        QFont big = header->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.5);
        header->setFont(big);
    } else {
        header->setPixmap(logo.pixmap(QSize(160, 80)));
    }
    header->setAlignment(Qt::AlignCenter);
    layout->addWidget(header);
    layout->addSpacing(16);
    for (const auto& entry : menu_.entries()) {
        const QByteArray name = "menu" + QByteArray::number(entry.tag);
        auto* button =
            W::button(W::text(entry.title), name.constData(), "Ouvrir : " + W::text(entry.title), panel_);
        button->setIcon(W::icon(entry.icon));
        button->setFlat(true);
        button->setMinimumHeight(static_cast<int>(Menu::kEntryHeight));
        button->setStyleSheet(QString("text-align: left; padding-left: 12px; background: %1;")
                                  .arg(colorOf(menu_.backgroundOf(entry.tag))));
        connect(button, &QPushButton::clicked, this, [this, tag = entry.tag] { menu_.touch(tag); });
        layout->addWidget(button);
    }
    layout->addStretch();
    window->installEventFilter(this);
    menu_.setChangeCallback([this] { follow(); });
    hide();
}

MainMenuView::~MainMenuView() {
    if (!closed_) {
        menu_.setChangeCallback(nullptr);
    }
}

void MainMenuView::open() {
    layOut();
    show();
    raise();
    setFocus();
    auto* slide = new QPropertyAnimation(panel_, "pos", this);
    slide->setDuration(150);
    slide->setStartValue(QPoint(-panel_->width(), 0));
    slide->setEndValue(QPoint(0, 0));
    slide->start(QAbstractAnimation::DeleteWhenStopped);
}

void MainMenuView::follow() {
    if (!menu_.isShown() && !closed_) {
        // Later: the menu tells this from inside the click of one of the panel's buttons.
        closed_ = true;
        menu_.setChangeCallback(nullptr);
        hide();
        // Out of the window at once, so that a new panel may open before this one is deleted.
        parentWidget()->removeEventFilter(this);
        setParent(nullptr);
        deleteLater();
    }
}

void MainMenuView::layOut() {
    const QWidget* window = parentWidget();
    setGeometry(0, 0, window->width(), window->height());
    const int width = std::min(static_cast<int>(Menu::kPanelWidth), window->width());
    panel_->setGeometry(panel_->x(), 0, width, window->height());
}

bool MainMenuView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        layOut();
    }
    return QWidget::eventFilter(watched, event);
}

void MainMenuView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        menu_.closeMenu();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainMenuView::mousePressEvent(QMouseEvent* event) {
    if (!panel_->geometry().contains(event->position().toPoint())) {
        menu_.closeMenu();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainMenuView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 77));
}

} // namespace orvaneh
