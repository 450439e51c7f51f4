#include "App/desktop/SiteListView.h"

#include "App/desktop/ViewWidgets.h"
#include "Gestion Site/SiteListViewController.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

SiteListView::SiteListView(std::shared_ptr<SiteListViewController> list, QWidget* parent)
    : QWidget(parent), list_(std::move(list)), rows_(new QTreeWidget(this)), empty_(new QLabel(this)),
      edit_(W::button("Modifier…", "boutonModifier", "Modifier le site sélectionné", this)),
      delete_(W::button("Supprimer", "boutonSupprimer", "Supprimer le site sélectionné", this)),
      import_(W::button("Importer le workflow", "boutonImporter",
                        "Importer le workflow (auteurs, worktypes, services) du site par défaut", this)),
      progress_(new QProgressBar(this)), importMessage_(new QLabel(this)) {
    setObjectName(W::text(list_->screenName()));
    setAccessibleName(W::text(list_->title()));
    W::name(rows_, "listeSites", "Liste des sites",
            "Cochez le site par défaut ; double-cliquez pour le modifier");
    rows_->setColumnCount(ColumnCount);
    rows_->setHeaderLabels({"Site", "Adresse", "Type"});
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setSelectionMode(QAbstractItemView::SingleSelection);
    rows_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    rows_->header()->setSectionResizeMode(AddressColumn, QHeaderView::Stretch);
    rows_->header()->setStretchLastSection(false);
    W::name(empty_, "texteAucunSite", "Aucun site : ajoutez-en un");
    empty_->setText(empty_->accessibleName());
    empty_->setAlignment(Qt::AlignCenter);
    W::name(progress_, "progressionImport", "Importation en cours");
    progress_->setRange(0, 0); // the transports tell no fraction: busy until the end
    W::name(importMessage_, "messageImport", "Résultat de l'importation");
    importMessage_->setWordWrap(true);
    auto* add = W::button("Ajouter…", "boutonAjouter", "Ajouter un site", this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(edit_);
    buttons->addWidget(delete_);
    buttons->addStretch();
    buttons->addWidget(import_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rows_, 1);
    layout->addWidget(empty_, 1);
    layout->addWidget(progress_);
    layout->addWidget(importMessage_);
    layout->addLayout(buttons);

    connect(rows_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column == NameColumn) {
            list_->selectDefaultSite(rows_->indexOfTopLevelItem(item));
        }
    });
    connect(rows_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { list_->openSiteDetails(rows_->indexOfTopLevelItem(item)); });
    // The selection, not the current item: a single row is current before it is clicked, and the click only
    // selects it.
    connect(rows_, &QTreeWidget::itemSelectionChanged, this, [this] {
        edit_->setEnabled(currentRow() >= 0);
        delete_->setEnabled(currentRow() >= 0);
    });
    connect(add, &QPushButton::clicked, this, [this] { list_->addNewSite(); });
    connect(edit_, &QPushButton::clicked, this, [this] { list_->openSiteDetails(currentRow()); });
    connect(delete_, &QPushButton::clicked, this, [this] { list_->deleteSite(currentRow(), {}); });
    connect(import_, &QPushButton::clicked, this, [this] { list_->importSelectedSites(); });

    list_->setChangeCallback([this] { refresh(); });
    refresh();
}

SiteListView::~SiteListView() {
    list_->setChangeCallback(nullptr);
}

void SiteListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (list_->importState() != SiteListViewController::ImportState::Running) {
        list_->reloadSites();
    }
}

void SiteListView::refresh() {
    // The selection follows its site across a rebuild.
    const int selected = currentRow();
    const auto selectedId =
        selected >= 0 ? list_->listOfSite()[static_cast<std::size_t>(selected)].idSite : 0;
    const QSignalBlocker blocker(rows_);
    rows_->clear();
    const auto rows = list_->rows();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const auto& row = rows[index];
        auto* item = new QTreeWidgetItem(rows_);
        item->setText(NameColumn, W::text(row.name));
        item->setText(AddressColumn, W::text(row.address));
        item->setText(TypeColumn, W::text(row.typeLabel));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, row.isDefault ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(NameColumn,
                         row.isDefault ? "Site par défaut" : "Cocher pour en faire le site par défaut");
        if (selectedId != 0 && list_->listOfSite()[index].idSite == selectedId) {
            rows_->setCurrentItem(item);
        }
    }
    empty_->setVisible(rows.empty());
    rows_->setVisible(!rows.empty());
    edit_->setEnabled(currentRow() >= 0);
    delete_->setEnabled(currentRow() >= 0);
    const bool running = list_->importState() == SiteListViewController::ImportState::Running;
    progress_->setVisible(running);
    import_->setEnabled(!running);
    importMessage_->setText(W::text(list_->importMessage()));
    importMessage_->setVisible(!running && !list_->importMessage().empty());
}

int SiteListView::currentRow() const {
    auto* item = rows_->currentItem();
    const int index = item && item->isSelected() ? rows_->indexOfTopLevelItem(item) : -1;
    return index >= 0 && static_cast<std::size_t>(index) < list_->listOfSite().size() ? index : -1;
}

} // namespace orvaneh
