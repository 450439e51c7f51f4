#include "App/desktop/ServicesView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/ServicesViewController.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

namespace orvaneh {

using W = ViewWidgets;

ServicesView::ServicesView(std::shared_ptr<ServicesViewController> picker, QWidget* parent)
    : QWidget(parent), picker_(std::move(picker)), rows_(new QTreeWidget(this)), empty_(new QLabel(this)) {
    setObjectName(W::text(picker_->screenName()));
    setAccessibleName(W::text(picker_->title()));
    W::name(rows_, "listeServices", "Liste des services", "Touchez un service pour le cocher");
    rows_->setHeaderHidden(true);
    rows_->setItemsExpandable(false);
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setIndentation(20);
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

    connect(rows_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { picker_->tapRow(item->data(0, Qt::UserRole).toInt()); });
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
    const auto& services = picker_->servicesList();
    // Each entry goes under the last one shown a level above it: the tree draws the indentation.
    std::vector<QTreeWidgetItem*> parents;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const auto level = index < services.size() ? std::max(0, services[index].nivImbrication) : 0;
        parents.resize(std::min<std::size_t>(parents.size(), static_cast<std::size_t>(level)));
        auto* item = parents.empty() ? new QTreeWidgetItem(rows_) : new QTreeWidgetItem(parents.back());
        item->setText(0, W::text(rows[index].label));
        item->setIcon(0, W::icon(rows[index].image));
        item->setData(0, Qt::UserRole, static_cast<int>(index));
        item->setData(0, Qt::CheckStateRole, rows[index].checked ? Qt::Checked : Qt::Unchecked);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (rows[index].checked) {
            rows_->setCurrentItem(item);
        }
        parents.push_back(item);
    }
    rows_->expandAll();
    empty_->setVisible(rows.empty());
    rows_->setVisible(!rows.empty());
}

} // namespace orvaneh
