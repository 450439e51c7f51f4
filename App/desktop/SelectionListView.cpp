#include "App/desktop/SelectionListView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/SelectionView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

SelectionListView::SelectionListView(std::shared_ptr<SelectionView> selection, QWidget* parent)
    : QWidget(parent), selection_(std::move(selection)), rows_(new QListWidget(this)) {
    setObjectName(W::text(selection_->screenName()));
    setAccessibleName(W::text(selection_->title()));
    auto* title = new QLabel(W::text(selection_->title()), this);
    W::name(title, "titreChoix", title->text());
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    W::name(rows_, "listeChoix", "Liste de choix : " + title->text(), "Touchez une ligne pour la choisir");
    rows_->setUniformItemSizes(true);
    const auto& offered = selection_->data();
    for (std::size_t index = 0; index < offered.size(); ++index) {
        // The typists' first row is "nobody": it still needs something to touch.
        auto* item =
            new QListWidgetItem(offered[index].empty() ? QString("—") : W::text(offered[index]), rows_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setData(Qt::CheckStateRole,
                      static_cast<int>(index) == selection_->selectedIndex() ? Qt::Checked : Qt::Unchecked);
    }
    // The keyboard goes to the rows: arrows move, Enter picks, Escape reaches this list.
    setFocusProxy(rows_);
    if (selection_->selectedIndex() >= 0 && selection_->selectedIndex() < rows_->count()) {
        rows_->setCurrentRow(selection_->selectedIndex());
    }

    auto* cancel = W::button(W::text(SelectionView::cancelTitle()), "boutonAnnulerChoix",
                             "Fermer la liste sans rien changer", this);
    auto* validate = W::button(W::text(SelectionView::validateTitle()), "boutonValiderChoix",
                               "Choisir la ligne cochée", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(validate);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(rows_, 1);
    layout->addLayout(buttons);

    connect(rows_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { pick(rows_->row(item)); });
    connect(rows_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { pick(rows_->row(item)); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { selection_->buttonTouched(SelectionView::kCancelTag); });
    connect(validate, &QPushButton::clicked, this,
            [this] { selection_->buttonTouched(SelectionView::kValidateTag); });
}

void SelectionListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        selection_->buttonTouched(SelectionView::kCancelTag);
        return;
    }
    QWidget::keyPressEvent(event);
}

void SelectionListView::pick(int row) {
    if (selection_->answered()) {
        return;
    }
    selection_->selectRow(row);
    selection_->buttonTouched(SelectionView::kValidateTag);
}

} // namespace orvaneh
