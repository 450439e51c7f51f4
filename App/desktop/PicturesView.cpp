#include "App/desktop/PicturesView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/PicturesViewController.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

namespace {

bool carriesFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) {
        return false;
    }
    for (const auto& url : data->urls()) {
        if (url.isLocalFile()) {
            return true;
        }
    }
    return false;
}

// An empty frame the size of a thumbnail, shown while the picture is read.
QIcon blankThumbnail() {
    QPixmap blank(PicturesView::kThumbnailWidth, PicturesView::kThumbnailHeight);
    blank.fill(QColor(235, 235, 235));
    return QIcon(blank);
}

} // namespace

PicturesView::PicturesView(std::shared_ptr<PicturesViewController> pictures, QWidget* parent)
    : QWidget(parent), pictures_(std::move(pictures)), grid_(new QListWidget(this)),
      message_(new QLabel(this)),
      add_(W::button("Ajouter…", "boutonAjouter",
                     "Ajouter des photos depuis des fichiers image (JPEG ou PNG)", this)),
      delete_(W::button("Supprimer", "boutonSupprimer", "Supprimer la photo sélectionnée", this)) {
    setObjectName(W::text(pictures_->screenName()));
    setAccessibleName(W::text(pictures_->title()));
    readers_.setMaxThreadCount(1);
    W::name(grid_, "grillePhotos", "Photos de la dictée", "Déposez ici des fichiers image pour les ajouter");
    grid_->setViewMode(QListView::IconMode);
    grid_->setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
    grid_->setResizeMode(QListView::Adjust);
    grid_->setMovement(QListView::Static);
    grid_->setSpacing(8);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setUniformItemSizes(true);
    grid_->setAcceptDrops(true);
    grid_->viewport()->setAcceptDrops(true);
    grid_->viewport()->installEventFilter(this);
    W::name(message_, "messagePhotos", "Message des photos");
    message_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addStretch();
    buttons->addWidget(delete_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_, 1);
    layout->addWidget(message_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &PicturesView::openFileDialog);
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (const int row = grid_->currentRow(); row >= 0) {
            pictures_->deletePictureAtIndex(static_cast<std::size_t>(row), [this](bool deleted) {
                if (deleted) {
                    pictures_->loadPictures();
                }
            });
        }
    });
    connect(grid_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });

    pictures_->setChangeCallback([this] { refresh(); });
    refresh();
}

PicturesView::~PicturesView() {
    pictures_->setChangeCallback(nullptr);
    // No reader may answer a view that is gone.
    readers_.clear();
    readers_.waitForDone();
}

void PicturesView::refresh() {
    const QString selected =
        grid_->currentItem() ? grid_->currentItem()->data(Qt::UserRole).toString() : QString();
    const QSignalBlocker blocker(grid_);
    grid_->clear();
    for (const auto& picture : pictures_->items()) {
        const QString path = W::text(picture.path);
        auto* item = new QListWidgetItem(W::text(picture.name), grid_);
        item->setData(Qt::UserRole, path);
        item->setToolTip(W::text(picture.name));
        if (!picture.placeholderImage.empty()) {
            QIcon unreadable = W::icon(picture.placeholderImage);
            item->setIcon(unreadable.isNull() ? style()->standardIcon(QStyle::SP_MessageBoxWarning)
                                              : unreadable);
            item->setToolTip(W::text(picture.name) + " : illisible");
        } else if (auto found = thumbnails_.constFind(path);
                   found != thumbnails_.constEnd() && !found->isNull()) {
            item->setIcon(*found);
        } else {
            item->setIcon(blankThumbnail());
            readThumbnail(path);
        }
        if (path == selected) {
            grid_->setCurrentItem(item);
        }
    }
    message_->setText(W::text(pictures_->message()));
    message_->setVisible(!pictures_->message().empty());
    updateButtons();
}

void PicturesView::updateButtons() {
    add_->setEnabled(pictures_->editable());
    delete_->setEnabled(pictures_->editable() && grid_->currentRow() >= 0);
}

void PicturesView::readThumbnail(const QString& path) {
    if (thumbnails_.contains(path)) {
        return; // being read
    }
    thumbnails_.insert(path, QIcon());
    readers_.start([this, path] {
        // Decoded at the thumbnail's size (JPEG readers scale while decoding).
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid()) {
            reader.setScaledSize(size.scaled(kThumbnailWidth, kThumbnailHeight, Qt::KeepAspectRatio));
        }
        const QImage image = reader.read();
        // The view waits for its readers before it goes, so `this` is still there.
        QMetaObject::invokeMethod(
            this, [this, path, image] { thumbnailRead(path, image); }, Qt::QueuedConnection);
    });
}

void PicturesView::thumbnailRead(const QString& path, const QImage& image) {
    QIcon icon = image.isNull() ? style()->standardIcon(QStyle::SP_MessageBoxWarning)
                                : QIcon(QPixmap::fromImage(image));
    thumbnails_.insert(path, icon);
    for (int row = 0; row < grid_->count(); ++row) {
        if (grid_->item(row)->data(Qt::UserRole).toString() == path) {
            grid_->item(row)->setIcon(icon);
        }
    }
}

void PicturesView::addFiles(const QStringList& paths) {
    for (const auto& path : paths) {
        // A refusal stops the rest: its reason stays shown.
        if (!pictures_->addPictureFromFile(path.toStdString())) {
            break;
        }
    }
}

void PicturesView::openFileDialog() {
    // open(), not exec(): no nested event loop.
    auto* dialog = new QFileDialog(this, "Ajouter des photos");
    dialog->setObjectName("choixFichiersPhotos");
    dialog->setAccessibleName("Choix des photos à ajouter");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setNameFilter("Images (*.jpg *.jpeg *.png *.JPG *.JPEG *.PNG)");
    connect(dialog, &QFileDialog::filesSelected, this, &PicturesView::addFiles);
    dialog->open();
}

bool PicturesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (carriesFiles(drag->mimeData())) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!carriesFiles(drop->mimeData())) {
                break;
            }
            QStringList paths;
            for (const auto& url : drop->mimeData()->urls()) {
                if (url.isLocalFile()) {
                    paths << url.toLocalFile();
                }
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            addFiles(paths);
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orvaneh
