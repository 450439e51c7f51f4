#include "App/desktop/DictationListView.h"

#include "Classes/app/ListeDictViewController.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

namespace orvaneh {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QPushButton* makeButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAccessibleName(title);
    return button;
}

} // namespace

DictationListView::DictationListView(std::shared_ptr<ListeDictViewController> list, QWidget* parent)
    : QWidget(parent), list_(std::move(list)), tabs_(new QTabBar(this)), rows_(new QTreeWidget(this)),
      empty_(new QLabel(this)), newDictation_(makeButton("Nouvelle dictée", "boutonNouvelleDictee", this)),
      parameters_(makeButton("Paramètres…", "boutonParametres", this)),
      closing_(makeButton("Clôturer…", "boutonCloture", this)),
      delete_(makeButton("Supprimer", "boutonSupprimer", this)) {
    setObjectName(text(list_->screenName()));
    setAccessibleName(text(list_->title()));

    tabs_->setObjectName("ongletsDictees");
    tabs_->setAccessibleName("Onglets des dictées");
    tabs_->setExpanding(true);
    for (const auto& title : list_->tabTitles()) {
        tabs_->addTab(text(title));
    }

    rows_->setObjectName("listeDictees");
    rows_->setAccessibleName("Liste des dictées");
    rows_->setColumnCount(ColumnCount);
    rows_->setHeaderLabels({"Titre", "État", "Durées", "Priorité", "Date"});
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setAlternatingRowColors(true);
    rows_->setSelectionMode(QAbstractItemView::SingleSelection);
    rows_->setContextMenuPolicy(Qt::CustomContextMenu);
    // The title takes what the other columns, always read whole, leave.
    rows_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    rows_->header()->setSectionResizeMode(TitleColumn, QHeaderView::Stretch);
    rows_->header()->setStretchLastSection(false);

    empty_->setObjectName("texteListeVide");
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(newDictation_);
    buttons->addStretch();
    buttons->addWidget(parameters_);
    buttons->addWidget(closing_);
    buttons->addWidget(delete_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(rows_, 1);
    layout->addWidget(empty_, 1);
    layout->addLayout(buttons);

    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { list_->selectTab(tab); });
    connect(rows_, &QTreeWidget::itemActivated, this, [this] {
        if (const int row = currentRow(); row >= 0) {
            list_->onCellSelected(static_cast<std::size_t>(row));
        }
    });
    connect(rows_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        if (auto* item = rows_->itemAt(position)) {
            rows_->setCurrentItem(item);
            list_->longPress(static_cast<std::size_t>(rows_->indexOfTopLevelItem(item)));
        }
    });
    connect(rows_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });
    connect(newDictation_, &QPushButton::clicked, this, [this] { list_->NewDictee(); });
    connect(parameters_, &QPushButton::clicked, this, [this] {
        if (const int row = currentRow(); row >= 0) {
            list_->onCellAccessory(static_cast<std::size_t>(row));
        }
    });
    connect(closing_, &QPushButton::clicked, this, [this] {
        if (const int row = currentRow(); row >= 0) {
            list_->longPress(static_cast<std::size_t>(row));
        }
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (const int row = currentRow(); row >= 0) {
            list_->deleteRow(static_cast<std::size_t>(row));
        }
    });

    list_->setChangeCallback([this] { refresh(); });
    refresh();
}

DictationListView::~DictationListView() {
    list_->setChangeCallback(nullptr);
}

void DictationListView::refresh() {
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(list_->selectedTab());
    }
    // The selection follows its dictation across a rebuild (rows move as dictations are saved).
    std::int64_t selected = 0;
    if (const int row = currentRow(); row >= 0) {
        selected = rows_->topLevelItem(row)->data(TitleColumn, Qt::UserRole).toLongLong();
    }
    const QSignalBlocker blocker(rows_);
    rows_->clear();
    QTreeWidgetItem* reselect = nullptr;
    for (const auto& row : list_->rows()) {
        auto* item = new QTreeWidgetItem(rows_);
        item->setText(TitleColumn, text(row.title));
        item->setToolTip(TitleColumn, text(row.subtitle));
        item->setText(StateColumn, text(row.state));
        item->setText(DurationsColumn, text(row.durations));
        item->setText(PriorityColumn, text(row.priorityWord));
        item->setText(DateColumn, text(row.date));
        item->setData(TitleColumn, Qt::UserRole, QVariant::fromValue<qlonglong>(row.idDictee));
        if (row.transferring) {
            // The sender holds it: shown, but nothing may be done with it until it lets go.
            QFont font = item->font(TitleColumn);
            font.setItalic(true);
            for (int column = 0; column < ColumnCount; ++column) {
                item->setFont(column, font);
            }
            item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
        } else if (row.idDictee == selected) {
            reselect = item;
        }
    }
    if (reselect) {
        rows_->setCurrentItem(reselect);
    }
    const bool empty = list_->rows().empty();
    empty_->setText(text(list_->emptyText()));
    empty_->setAccessibleName(empty_->text());
    empty_->setVisible(empty);
    rows_->setVisible(!empty);
    updateButtons();
}

void DictationListView::setFirstPaintHook(std::function<void()> hook) {
    firstPaint_ = std::move(hook);
}

void DictationListView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (firstPaint_) {
        // The rows are children, painted after this widget in the same pass: the hook runs once
        // the pass is over.
        QTimer::singleShot(0, this, std::exchange(firstPaint_, nullptr));
    }
}

int DictationListView::currentRow() const {
    auto* item = rows_->currentItem();
    if (!item || !item->isSelected()) {
        return -1;
    }
    const int index = rows_->indexOfTopLevelItem(item);
    return index >= 0 && static_cast<std::size_t>(index) < list_->rows().size() ? index : -1;
}

void DictationListView::updateButtons() {
    const int row = currentRow();
    const bool outbox = list_->selectedTab() == ListeDictViewController::kOutboxTab;
    const bool chosen = row >= 0 && !list_->rows()[static_cast<std::size_t>(row)].transferring;
    const bool sent = chosen && list_->rows()[static_cast<std::size_t>(row)].sent;
    parameters_->setEnabled(chosen && !sent);
    closing_->setEnabled(chosen && outbox);
    delete_->setEnabled(chosen);
}

} // namespace orvaneh
