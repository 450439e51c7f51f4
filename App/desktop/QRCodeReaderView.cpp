#include "App/desktop/QRCodeReaderView.h"

#include "App/desktop/QtCamera.h"
#include "App/desktop/ViewWidgets.h"
#include "Classes/workflow/QRCodeReaderViewController.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QThreadPool>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

namespace {

QRectF rectOf(const Rect& rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

QColor colorOf(const Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

} // namespace

QRCodeReaderView::QRCodeReaderView(std::shared_ptr<QRCodeReaderViewController> reader, QWidget* parent)
    : QWidget(parent), reader_(std::move(reader)), capture_(new QWidget(this)),
      help_(new QLabel(W::text(QRCodeReaderViewController::helpLabel()), this)),
      open_(
          W::button("Ouvrir une image…", "boutonOuvrirImage", "Lire le code d'une image enregistrée", this)),
      paste_(W::button("Coller l'image", "boutonCollerImage", "Lire le code de l'image copiée", this)),
      close_(W::button(W::text(QRCodeReaderViewController::closeButtonTitle()), "boutonFermer",
                       "Fermer le lecteur sans lire de code", this)) {
    setObjectName(W::text(reader_->screenName()));
    setAccessibleName("Lecteur de code");
    W::name(capture_, "zoneCapture", "Image de l'appareil photo", "Placez le code dans le cadre rouge");
    capture_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    capture_->setMinimumSize(240, 240);
    capture_->installEventFilter(this);
    W::name(help_, "texteAide", help_->text());
    help_->setAlignment(Qt::AlignCenter);
    help_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(paste_);
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(capture_, 1);
    layout->addWidget(help_);
    layout->addLayout(buttons);

    connect(open_, &QPushButton::clicked, this, &QRCodeReaderView::chooseFile);
    connect(paste_, &QPushButton::clicked, this, &QRCodeReaderView::pasteImage);
    connect(close_, &QPushButton::clicked, this, [this] { reader_->close(); });
    camera_ = dynamic_cast<QtCamera*>(reader_->camera().get());
    if (camera_) {
        connect(camera_, &QtCamera::pictureChanged, capture_, qOverload<>(&QWidget::update));
    }
    reader_->setChangeCallback([this] { capture_->update(); });
}

QRCodeReaderView::~QRCodeReaderView() {
    reader_->setChangeCallback(nullptr);
}

void QRCodeReaderView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reader_->setCaptureBounds(
        {0, 0, static_cast<double>(capture_->width()), static_cast<double>(capture_->height())});
    // Each appearance on the window starts the camera again (or says there is none); the window
    // coming back from the task bar is not one.
    if (!event->spontaneous()) {
        reader_->viewDidAppear();
    }
}

void QRCodeReaderView::chooseFile() {
    auto* dialog = new QFileDialog(this, "Ouvrir une image",
                                   QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                                   "Images (*.png *.jpg *.jpeg *.bmp *.gif *.pnm *.ppm *.pgm *.tif *.tiff)");
    dialog->setObjectName("dialogueImage");
    dialog->setAccessibleName("Ouvrir une image");
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &QRCodeReaderView::openPicture);
    dialog->open();
}

void QRCodeReaderView::openPicture(const QString& path) {
    open_->setEnabled(false);
    paste_->setEnabled(false);
    QPointer<QRCodeReaderView> view(this);
    const std::filesystem::path file = path.toStdString();
    // A large photograph takes a while to decode: the window stays responsive meanwhile.
    QThreadPool::globalInstance()->start([view, file] {
        auto result = std::make_shared<CodeReader::Result>(CodeReader::readFile(file));
        QMetaObject::invokeMethod(
            qApp,
            [view, result] {
                if (view) {
                    view->open_->setEnabled(true);
                    view->paste_->setEnabled(true);
                    // The reader's answer may close this screen: keep it alive through the call.
                    auto reader = view->reader_;
                    reader->pictureRead(*result);
                }
            },
            Qt::QueuedConnection);
    });
}

void QRCodeReaderView::pasteImage() {
    const QImage image = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    // Without an image the reader says the picture cannot be read.
    auto reader = reader_;
    reader->readPicture(QtCamera::frameOf(image));
}

bool QRCodeReaderView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == capture_) {
        if (event->type() == QEvent::Resize) {
            reader_->setCaptureBounds(
                {0, 0, static_cast<double>(capture_->width()), static_cast<double>(capture_->height())});
        } else if (event->type() == QEvent::Paint) {
            paintCapture();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QRCodeReaderView::paintCapture() {
    QPainter painter(capture_);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = capture_->rect();
    painter.fillRect(area, QColor(40, 40, 40));
    if (camera_ && !camera_->lastPicture().isNull()) {
        // Aspect fill: the picture covers the area, its centre part shows.
        const QImage& picture = camera_->lastPicture();
        const double scale = std::max(area.width() / picture.width(), area.height() / picture.height());
        const QSizeF size(picture.width() * scale, picture.height() * scale);
        painter.drawImage(QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size),
                          picture);
    }
    // Everything but the hole is masked.
    QPainterPath mask;
    mask.setFillRule(Qt::OddEvenFill);
    mask.addRect(area);
    mask.addRect(rectOf(reader_->holeBounds()));
    painter.fillPath(mask, QColor(0, 0, 0, 140));
    for (const Rect& mark : reader_->cornerMarks()) {
        painter.fillRect(rectOf(mark), colorOf(QRCodeReaderViewController::cornerColor()));
    }
    const auto& shape = reader_->shape();
    if (!shape.empty()) {
        QPolygonF outline;
        for (const auto& point : shape) {
            outline << QPointF(point.x, point.y);
        }
        painter.setPen(QPen(QColor(60, 200, 90), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(outline);
    }
}

} // namespace orvaneh
