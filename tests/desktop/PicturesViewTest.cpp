// The pictures screen of a stored dictation driven as a person would: image files dropped on the
// grid and chosen in the file dialog become thumbnails, a picture is deleted after the question,
// and an unreadable file or a sent dictation is refused with its reason shown.
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "Classes/screens/PicturesViewController.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace orvaneh {

class PicturesViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;
    std::unique_ptr<QTemporaryDir> files_;
    std::int64_t dictation_ = 0;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    QListWidget* grid() const { return find<QListWidget>("grillePhotos"); }

    QString image(const char* name, int width, int height, QColor color) const {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(color);
        const QString path = files_->filePath(name);
        return picture.save(path) ? path : QString();
    }
    // Drops the files on the grid as a file manager would.
    void drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        QWidget* target = grid()->viewport();
        const QPointF at = target->rect().center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        QVERIFY(dropped.isAccepted());
    }
    // The screen opened on a stored dictation, as the recording screen opens it.
    void openPictures() {
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
        DicteeModel draft;
        draft.titre = "Constat";
        draft.brouillon = true;
        draft.masterJobId = Tools::generateUUID();
        dictation_ = DicteeRequest().insertDictee(draft);
        QVERIFY(dictation_ > 0);
        auto& application = session_->desktop().application();
        auto pictures = std::make_shared<PicturesViewController>();
        pictures->setDicteeId(static_cast<std::int32_t>(dictation_));
        pictures->setSendingProbe([&application] { return application.dictationBeingSent(); });
        pictures->loadPictures();
        application.navigation().push(pictures);
        QVERIFY(driver_->waitForScreen("PicturesViewController"));
        QCOMPARE(grid()->count(), 0);
    }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        driver_ = std::make_unique<test::ScreensDriver>(*session_);
        files_ = std::make_unique<QTemporaryDir>();
        QVERIFY(session_->valid() && files_->isValid());
    }
    void cleanup() {
        driver_.reset();
        session_.reset();
        files_.reset();
    }

    void picturesDroppedOrChosenAreShownAndOneIsDeleted() {
        openPictures();
        const QString red = image("rouge.png", 600, 400, Qt::red);
        drop({red});
        const QString first = QString("%1-1.jpg").arg(dictation_);
        QTRY_COMPARE(test::ScreensDriver::rowTexts(grid()), QStringList{first});
        // The thumbnail comes from the stored picture, read aside.
        QTRY_VERIFY_WITH_TIMEOUT(
            grid()->item(0)->icon().pixmap(QSize(180, 120)).toImage().pixelColor(90, 60).red() > 200, 10000);

        QTest::mouseClick(find<QPushButton>("boutonAjouter"), Qt::LeftButton);
        QFileDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = find<QFileDialog>("choixFichiersPhotos")) && dialog->isVisible());
        dialog->selectFile(image("bleue.jpg", 300, 700, Qt::blue));
        static_cast<QDialog*>(dialog)->accept(); // the Open button
        const QString second = QString("%1-2.jpg").arg(dictation_);
        QTRY_COMPARE(test::ScreensDriver::rowTexts(grid()), (QStringList{first, second}));
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        QVERIFY(driver_->capture("photos.png"));

        grid()->setCurrentRow(0);
        QTest::mouseClick(find<QPushButton>("boutonSupprimer"), Qt::LeftButton);
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QTRY_COMPARE(test::ScreensDriver::rowTexts(grid()), QStringList{second});
        QVERIFY(!QFile::exists(QString::fromStdString(Tools::documentsDirectory()) + "/" + first));
    }

    void unreadableFilesAndSentDictationsAreRefusedWithTheirReason() {
        openPictures();
        QFile text(files_->filePath("note.png"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("ceci n'est pas une image");
        text.close();
        drop({text.fileName()});
        QTRY_VERIFY(find("messagePhotos")->isVisible());
        QVERIFY(find<QLabel>("messagePhotos")->text().startsWith("La photo n'a pas pu être ajoutée"));
        QCOMPARE(grid()->count(), 0);

        drop({image("verte.png", 200, 200, Qt::green)});
        QTRY_COMPARE(grid()->count(), 1);
        QVERIFY(!find("messagePhotos")->isVisible());

        DicteeRequest().updateDicteeEnvoi(dictation_);
        drop({image("jaune.png", 200, 200, Qt::yellow)});
        QTRY_VERIFY(find<QLabel>("messagePhotos")->text().contains("est envoyée"));
        QCOMPARE(grid()->count(), 1);
        QVERIFY(!find("boutonAjouter")->isEnabled());
        grid()->setCurrentRow(0);
        QVERIFY(!find("boutonSupprimer")->isEnabled());
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::PicturesViewTest)
#include "PicturesViewTest.moc"
