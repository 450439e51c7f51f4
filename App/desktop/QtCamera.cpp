#include "App/desktop/QtCamera.h"

#include "Platform/log/Log.h"

#ifdef ORVANEH_CAMERA
#include <QCamera>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>
#endif

namespace orvaneh {

QtCamera::QtCamera() = default;

CodeReader::Frame QtCamera::frameOf(const QImage& rgb) {
    CodeReader::Frame frame;
    if (!rgb.isNull()) {
        frame.data = rgb.constBits();
        frame.size = static_cast<std::size_t>(rgb.sizeInBytes());
        frame.width = rgb.width();
        frame.height = rgb.height();
        frame.format = CodeReader::PixelFormat::Rgb;
        frame.stride = static_cast<std::size_t>(rgb.bytesPerLine());
    }
    return frame;
}

QtCamera::~QtCamera() {
    stop();
}

#ifdef ORVANEH_CAMERA

std::shared_ptr<QRCodeReaderViewController::Camera> QtCamera::make() {
    if (QMediaDevices::videoInputs().isEmpty()) {
        Log::write("Lecteur de code : aucun appareil photo sur cet ordinateur");
        return nullptr;
    }
    return std::shared_ptr<QtCamera>(new QtCamera);
}

bool QtCamera::start(FrameHandler handler) {
    const auto device = QMediaDevices::defaultVideoInput();
    if (device.isNull()) {
        return false;
    }
    handler_ = std::move(handler);
    if (!camera_) {
        camera_ = new QCamera(device, this);
        session_ = new QMediaCaptureSession(this);
        sink_ = new QVideoSink(this);
        session_->setCamera(camera_);
        session_->setVideoSink(sink_);
        // Queued to this object's thread: frames may come from the capture thread.
        connect(sink_, &QVideoSink::videoFrameChanged, this, &QtCamera::takeFrame, Qt::QueuedConnection);
        connect(camera_, &QCamera::errorOccurred, this, [](QCamera::Error, const QString& text) {
            Log::write("Lecteur de code : erreur de l'appareil photo : " + text.toStdString());
        });
    }
    camera_->start();
    return camera_->error() == QCamera::NoError;
}

void QtCamera::stop() {
    handler_ = nullptr;
    if (camera_) {
        camera_->stop();
    }
}

void QtCamera::takeFrame(const QVideoFrame& frame) {
    if (!handler_) {
        return;
    }
    picture_ = frame.toImage().convertToFormat(QImage::Format_RGB888);
    if (picture_.isNull()) {
        return;
    }
    emit pictureChanged();
    // A copy: the reader may stop the camera from inside the handler.
    auto handler = handler_;
    handler(frameOf(picture_));
}

#else

std::shared_ptr<QRCodeReaderViewController::Camera> QtCamera::make() {
    return nullptr;
}

bool QtCamera::start(FrameHandler) {
    return false;
}

void QtCamera::stop() {}

void QtCamera::takeFrame(const QVideoFrame&) {}

#endif

} // namespace orvaneh
