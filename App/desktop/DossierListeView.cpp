#include "App/desktop/DossierListeView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/casefile/DossierListeViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

namespace {

QString labelled(const std::string& label, const std::string& value) {
    return W::text(label).toHtmlEscaped() + " : " + W::text(value).toHtmlEscaped();
}

} // namespace

DossierListeView::DossierListeView(std::shared_ptr<DossierListeViewController> list, QWidget* parent)
    : QWidget(parent), list_(std::move(list)), search_(new QLineEdit(this)), rows_(new QListWidget(this)),
      cancel_(W::button("Annuler", "boutonAnnuler", "Fermer la liste sans choisir de dossier", this)),
      progress_(new QProgressBar(this)) {
    setObjectName(W::text(list_->screenName()));
    setAccessibleName(W::text(list_->title()));
    W::name(search_, "champRecherche", "Recherche de dossiers",
            "Chercher un dossier par son numéro ou sa désignation (Entrée pour lancer)");
    search_->setPlaceholderText(W::text(DossierListeViewController::searchPlaceholder()));
    search_->setClearButtonEnabled(true);
    search_->setText(W::text(list_->searchText()));
    W::name(rows_, "listeDossiers", "Dossiers", "Double-cliquer sur un dossier pour le choisir");
    rows_->setAlternatingRowColors(true);
    rows_->setWordWrap(true);
    W::name(progress_, "progressionDossiers", "Chargement des dossiers");
    progress_->setRange(0, 100);

    auto* bar = new QHBoxLayout;
    bar->addWidget(search_, 1);
    bar->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(progress_);
    layout->addWidget(rows_, 1);

    connect(search_, &QLineEdit::returnPressed, this, [this] { list_->search(W::text(search_->text())); });
    // Return or a double-click, as the platform activates a row.
    connect(rows_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { list_->selectRow(static_cast<std::size_t>(rows_->row(item))); });
    connect(cancel_, &QPushButton::clicked, this, [this] { list_->searchBarCancelButtonClicked(); });

    list_->setChangeCallback([this] { refresh(); });
    refresh();
}

DossierListeView::~DossierListeView() {
    list_->setChangeCallback(nullptr);
}

void DossierListeView::refresh() {
    progress_->setVisible(list_->waiting());
    progress_->setValue(static_cast<int>(list_->progress() * 100));
    const auto rows = list_->rows();
    rows_->clear();
    for (const auto& row : rows) {
        auto* item = new QListWidgetItem(rows_);
        item->setData(Qt::AccessibleTextRole, W::text(row.title));
        item->setData(Qt::UserRole, W::text(row.title));
        QString html = "<b>" + W::text(row.title).toHtmlEscaped() + "</b>";
        if (row.notice) {
            html = "<i>" + W::text(row.title).toHtmlEscaped() + "</i>";
            item->setFlags(Qt::ItemIsEnabled);
        } else {
            html += "<br>" + labelled(row.responsableLabel, row.responsable) + "<br>" +
                    labelled(row.dateLabel, row.date) + "<br>" + labelled(row.natureLabel, row.nature);
        }
        auto* label = new QLabel(html, rows_);
        label->setTextFormat(Qt::RichText);
        label->setContentsMargins(6, 4, 6, 4);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        item->setSizeHint(label->sizeHint());
        rows_->setItemWidget(item, label);
    }
    if (rows_->count() > 0 && !rows.front().notice) {
        rows_->setCurrentRow(0);
    }
}

} // namespace orvaneh
