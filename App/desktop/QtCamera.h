#pragma once

#include "Classes/workflow/QRCodeReaderViewController.h"

#include <QImage>
#include <QObject>
#include <memory>

class QCamera;
class QMediaCaptureSession;
class QVideoFrame;
class QVideoSink;

namespace orvaneh {

// The computer's camera for the code reader, through Qt Multimedia: its frames, turned to RGB,
// go to the reader and, as pictures, to the view. Only made when the program was built with Qt
// Multimedia and the system lists a camera.
class QtCamera : public QObject, public QRCodeReaderViewController::Camera {
    Q_OBJECT
public:
    // The first camera of the system, or none.
    static std::shared_ptr<QRCodeReaderViewController::Camera> make();
    ~QtCamera() override;

    bool start(FrameHandler handler) override;
    void stop() override;
    const QImage& lastPicture() const { return picture_; }
    // The reader's view of an RGB888 picture (camera frame or pasted image); it borrows the
    // pixels. An empty frame for a null picture.
    static CodeReader::Frame frameOf(const QImage& rgb);

signals:
    void pictureChanged();

private:
    QtCamera();
    FrameHandler handler_;
    QImage picture_;
    // Children of this object.
    QCamera* camera_ = nullptr;
    QMediaCaptureSession* session_ = nullptr;
    QVideoSink* sink_ = nullptr;

    void takeFrame(const QVideoFrame& frame);
};

} // namespace orvaneh
