#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QPushButton;

namespace orvaneh {

class QRCodeReaderViewController;
class QtCamera;

// The code reader: the capture area (the camera's picture when there is one, the target's mask,
// its red corners and the outline of the code read), the help line, the close button, and the
// reading of a picture file or of the clipboard's image.
class QRCodeReaderView : public QWidget {
    Q_OBJECT
public:
    explicit QRCodeReaderView(std::shared_ptr<QRCodeReaderViewController> reader, QWidget* parent = nullptr);
    ~QRCodeReaderView() override;

public slots:
    // Reads the picture file on a worker thread; its code (or the reason there is none) reaches
    // the controller on the main loop.
    void openPicture(const QString& path);
    void pasteImage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<QRCodeReaderViewController> reader_;
    QtCamera* camera_ = nullptr;
    QWidget* capture_;
    QLabel* help_;
    QPushButton* open_;
    QPushButton* paste_;
    QPushButton* close_;

    void chooseFile();
    void paintCapture();
};

} // namespace orvaneh
