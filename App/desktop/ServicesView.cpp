#include "App/desktop/ServicesView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/ServicesViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace orvaneh {

using W = ViewWidgets;

namespace {

// The row's image where the controller places it, on a strip as wide as the deepest row needs:
// the strip's empty left part is the indentation. Without the image file, a dot (a site) or a
// square (a service) stands in.
QPixmap indentedImage(const ServicesViewController::Row& row, int stripWidth, const QColor& ink) {
    const int height = static_cast<int>(ServicesViewController::kRowHeight);
    QPixmap strip(stripWidth, height);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect frame(static_cast<int>(row.imageFrame.x), static_cast<int>(row.imageFrame.y),
                      static_cast<int>(row.imageFrame.width), static_cast<int>(row.imageFrame.height));
    const QIcon image = W::icon(row.image);
    if (!image.isNull()) {
        image.paint(&painter, frame);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        const QRect mark = frame.adjusted(5, 5, -5, -5);
        if (row.image == ServicesViewController::kSiteImage) {
            painter.drawEllipse(mark);
        } else {
            painter.drawRect(mark);
        }
    }
    return strip;
}

} // namespace

ServicesView::ServicesView(std::shared_ptr<ServicesViewController> picker, QWidget* parent)
    : QWidget(parent), picker_(std::move(picker)), rows_(new QListWidget(this)), empty_(new QLabel(this)) {
    setObjectName(W::text(picker_->screenName()));
    setAccessibleName(W::text(picker_->title()));
    W::name(rows_, "listeServices", "Liste des services", "Touchez un service pour le cocher");
    rows_->setUniformItemSizes(true);
    W::name(empty_, "texteAucunService", "Aucun service n'est proposé pour cet auteur");
    empty_->setText(empty_->accessibleName());
    empty_->setAlignment(Qt::AlignCenter);
    auto* confirm =
        W::button("Valider", "boutonValider", "Choisir le service coché (aucun s'il n'y en a pas)", this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(confirm);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rows_, 1);
    layout->addWidget(empty_, 1);
    layout->addLayout(buttons);

    connect(rows_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { picker_->tapRow(rows_->row(item)); });
    connect(confirm, &QPushButton::clicked, this, [this] { picker_->validParam(); });
    picker_->setChangeCallback([this] { refresh(); });
    refresh();
}

ServicesView::~ServicesView() {
    picker_->setChangeCallback(nullptr);
}

void ServicesView::refresh() {
    const QSignalBlocker blocker(rows_);
    rows_->clear();
    const auto rows = picker_->rows();
    double right = 0;
    for (const auto& row : rows) {
        right = std::max(right, row.imageFrame.x + row.imageFrame.width);
    }
    const int stripWidth = static_cast<int>(std::ceil(right));
    rows_->setIconSize(QSize(stripWidth, static_cast<int>(ServicesViewController::kRowHeight)));
    for (const auto& row : rows) {
        auto* item = new QListWidgetItem(W::text(row.label), rows_);
        item->setIcon(indentedImage(row, stripWidth, palette().color(QPalette::Text)));
        item->setData(Qt::CheckStateRole, row.checked ? Qt::Checked : Qt::Unchecked);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (row.checked) {
            rows_->setCurrentItem(item);
        }
    }
    empty_->setVisible(rows.empty());
    rows_->setVisible(!rows.empty());
}

} // namespace orvaneh
