#pragma once

#include <QHash>
#include <QIcon>
#include <QThreadPool>
#include <QWidget>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace orvaneh {

class PicturesViewController;

// The pictures of a dictation as a grid of thumbnails, pictures added from image files (chosen
// in a file dialog or dropped on the grid) and deleted after the controller's question; the
// controller's refusals show under the grid. Thumbnails are read at their small size on a worker
// thread, one at a time, so that a big picture never holds the window.
class PicturesView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThumbnailWidth = 180;
    static constexpr int kThumbnailHeight = 120;

    explicit PicturesView(std::shared_ptr<PicturesViewController> pictures, QWidget* parent = nullptr);
    ~PicturesView() override;

    void refresh();
    // Adds each file, in order, as the user gave them.
    void addFiles(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<PicturesViewController> pictures_;
    QListWidget* grid_;
    QLabel* message_;
    QPushButton* add_;
    QPushButton* delete_;
    // Thumbnails by file path; a path being read is present with a null icon.
    QHash<QString, QIcon> thumbnails_;
    QThreadPool readers_;

    void readThumbnail(const QString& path);
    void thumbnailRead(const QString& path, const QImage& image);
    void openFileDialog();
    void updateButtons();
};

} // namespace orvaneh
