#include "App/desktop/DictationListView.h"

#include "App/desktop/DictationListModel.h"
#include "Classes/app/ListeDictViewController.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTimer>
#include <QTreeView>
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
    : QWidget(parent), list_(std::move(list)), tabs_(new QTabBar(this)), rows_(new QTreeView(this)),
      model_(new DictationListModel(list_, this)), empty_(new QLabel(this)),
      newDictation_(makeButton("Nouvelle dictée", "boutonNouvelleDictee", this)),
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
    rows_->setModel(model_);
    rows_->setRootIsDecorated(false);
    rows_->setUniformRowHeights(true);
    rows_->setAlternatingRowColors(true);
    rows_->setSelectionMode(QAbstractItemView::SingleSelection);
    rows_->setContextMenuPolicy(Qt::CustomContextMenu);
    // The title takes what the other columns, always read whole, leave (sized on the rows shown,
    // so that a long list costs no more than a short one).
    rows_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    rows_->header()->setResizeContentsPrecision(0);
    rows_->header()->setSectionResizeMode(DictationListModel::TitleColumn, QHeaderView::Stretch);
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
    connect(rows_, &QTreeView::activated, this, [this] {
        if (const int row = currentRow(); row >= 0) {
            list_->onCellSelected(static_cast<std::size_t>(row));
        }
    });
    connect(rows_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        if (const QModelIndex index = rows_->indexAt(position); index.isValid()) {
            rows_->setCurrentIndex(index);
            list_->longPress(static_cast<std::size_t>(index.row()));
        }
    });
    connect(rows_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { updateButtons(); });
    connect(rows_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
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
        selected = list_->rows()[static_cast<std::size_t>(row)].idDictee;
    }
    {
        const QSignalBlocker blocker(rows_->selectionModel());
        model_->reset();
        const auto& rows = list_->rows();
        for (std::size_t index = 0; selected != 0 && index < rows.size(); ++index) {
            if (rows[index].idDictee == selected && !rows[index].transferring) {
                rows_->setCurrentIndex(model_->index(static_cast<int>(index), 0));
                break;
            }
        }
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
    const QModelIndex index = rows_->currentIndex();
    if (!index.isValid() || !rows_->selectionModel()->isSelected(index)) {
        return -1;
    }
    return static_cast<std::size_t>(index.row()) < list_->rows().size() ? index.row() : -1;
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
