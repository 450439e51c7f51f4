// The service picker driven from the defaults screen: the author's services, one checked at most, the
// confirmed one shown by the parameter screen with its own worktypes, and the back button leaving the choice
// as it was.
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace orvaneh {

class ServicesViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    QListWidget* services() const { return find<QListWidget>("listeServices"); }
    // The rows checked, by label.
    QStringList checked() const {
        QStringList labels;
        for (int row = 0; row < services()->count(); ++row) {
            if (services()->item(row)->checkState() == Qt::Checked) {
                labels << services()->item(row)->text();
            }
        }
        return labels;
    }
    void tap(const QString& label) {
        QVERIFY(test::ScreensDriver::clickRow(services(), label));
        QTest::qWait(0);
    }

    // The defaults screen of plefebvre, and his services' picker over it.
    void openPickerForAnAuthor() {
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
        QVERIFY(test::ScreensDriver::importCatalogue());
        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        QVERIFY(test::ScreensDriver::clickRow(find<QListWidget>("listeChoix"), "plefebvre"));
        QTRY_VERIFY(find("champService")->isVisible() && find("champService")->isEnabled());
        QTest::mouseClick(find<QPushButton>("champService"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ServicesViewController"));
    }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        driver_ = std::make_unique<test::ScreensDriver>(*session_);
        QVERIFY(session_->valid());
    }
    void cleanup() {
        driver_.reset();
        session_.reset();
    }

    void serviceCheckedAndConfirmedNarrowsTheWorktypes() {
        openPickerForAnAuthor();
        // The author's services only, the site first.
        const QStringList offered = test::ScreensDriver::rowTexts(services());
        QCOMPARE(offered.size(), 3);
        QCOMPARE(offered.first(), QString("Clinique du Parc"));
        QVERIFY(offered.contains("Cardiologie") && offered.contains("Échographie cardiaque"));
        QCOMPARE(checked(), QStringList());
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));

        tap("Cardiologie");
        QCOMPARE(checked(), QStringList{"Cardiologie"});
        tap("Échographie");
        QCOMPARE(checked(), QStringList{"Échographie cardiaque"});
        tap("Échographie");
        QCOMPARE(checked(), QStringList());
        tap("Échographie");
        QVERIFY(driver_->capture("services.png"));

        QTest::mouseClick(find<QPushButton>("boutonValider"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QCOMPARE(find<QPushButton>("champService")->text(), QString("Échographie cardiaque"));
        QTest::mouseClick(find<QPushButton>("champWorktype"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        const QStringList worktypes = test::ScreensDriver::rowTexts(find<QListWidget>("listeChoix"));
        QCOMPARE(worktypes.size(), 2);
        QVERIFY(worktypes[0].startsWith("Courrier"));
        QVERIFY(worktypes[1].startsWith("Note"));
    }

    void backFromThePickerKeepsTheService() {
        openPickerForAnAuthor();
        tap("Cardiologie");
        QTest::mouseClick(find<QPushButton>("boutonValider"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QCOMPARE(find<QPushButton>("champService")->text(), QString("Cardiologie"));

        QTest::mouseClick(find<QPushButton>("champService"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ServicesViewController"));
        QCOMPARE(checked(), QStringList{"Cardiologie"});
        tap("Clinique du Parc");
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QCOMPARE(find<QPushButton>("champService")->text(), QString("Cardiologie"));
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::ServicesViewTest)
#include "ServicesViewTest.moc"
