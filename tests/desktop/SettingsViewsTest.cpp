// The settings screens: a refused value explained and the stored one shown again, accepted values
// found again by a new screen, remarks on options left without effect, the container of the sites and default
// workflow tabs, and the information pages read from the local files, the version included.
#include "Classes/app/ParametreTabBarController.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

namespace orvaneh {

class SettingsViewsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    void enter(const char* field, const QString& text) {
        auto* edit = find<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void openSettings() {
        QVERIFY(driver_->openFromMenu(4));
        QVERIFY(driver_->waitForScreen("SettingsViewController"));
    }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        driver_ = std::make_unique<test::ScreensDriver>(*session_);
        QVERIFY(session_->valid());
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
    }
    void cleanup() {
        driver_.reset();
        session_.reset();
    }

    void refusedValueIsExplainedAndAcceptedOnesAreKept() {
        openSettings();
        const QString stored = find<QLineEdit>("reglageOptionMaxDate")->text();
        QVERIFY(!stored.isEmpty());
        enter("reglageOptionMaxDate", "beaucoup");
        QTRY_VERIFY(find("refusOptionMaxDate")->isVisible());
        QVERIFY(!find<QLabel>("refusOptionMaxDate")->text().isEmpty());
        QCOMPARE(find<QLineEdit>("reglageOptionMaxDate")->text(), stored);

        enter("reglageOptionMaxDate", "45");
        QTRY_VERIFY(!find("refusOptionMaxDate")->isVisible());
        enter("reglageJobTitlPref", "Dossier patient");
        auto* services = find<QCheckBox>("reglageServicesDisplay");
        const bool shown = services->isChecked();
        services->click();
        // An option left without effect by another is remarked upon, and no longer once it acts.
        QVERIFY(!find("remarquesReglages")->isVisible());
        find<QCheckBox>("reglageCompresseFile")->click();
        QTRY_VERIFY(find("remarquesReglages")->isVisible());
        QVERIFY(find<QLabel>("remarquesReglages")->text().contains("CompresseFile"));
        enter("reglageversionWS", "2");
        QTRY_VERIFY(!find("remarquesReglages")->isVisible());
        QVERIFY(driver_->capture("reglages.png"));

        // A new screen reads what was stored.
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        openSettings();
        QCOMPARE(find<QLineEdit>("reglageOptionMaxDate")->text(), QString("45"));
        QCOMPARE(find<QLineEdit>("reglageJobTitlPref")->text(), QString("Dossier patient"));
        QCOMPARE(find<QCheckBox>("reglageServicesDisplay")->isChecked(), !shown);
    }

    void containerShowsTheSitesAndTheWorkflowInTheirTabs() {
        QVERIFY(test::ScreensDriver::importCatalogue());
        auto& application = session_->desktop().application();
        application.navigation().push(std::make_shared<ParametreTabBarController>(application));
        QVERIFY(driver_->waitForScreen("ParametreTabBarController"));
        auto* tabs = find<QTabWidget>("ongletsParametres");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("Sites"));
        QVERIFY(find("texteAucunSite")->isVisible());

        tabs->setCurrentIndex(1);
        QTRY_VERIFY(find("champAuteur") && find("champAuteur")->isVisible());
        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        QVERIFY(test::ScreensDriver::clickRow(find<QListWidget>("listeChoix"), "cmoreau"));
        QTRY_COMPARE(find<QPushButton>("champAuteur")->text(), QString("cmoreau"));
        QVERIFY(!find("texteAucunSite")->isVisible());

        // Leaving goes through the workflow tab, which lets the container go.
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
    }

    void informationPagesAreTheLocalOnes() {
        QVERIFY(driver_->openFromMenu(5));
        QVERIFY(driver_->waitForScreen("AboutController"));
        auto* tabs = find<QTabBar>("ongletsInformations");
        QCOMPARE(tabs->count(), 3);
        auto* page = find<QTextBrowser>("pageInformations");
        QVERIFY(page->source().isLocalFile());
        QVERIFY2(page->toPlainText().contains(QString("Version ") + ORVANEH_VERSION),
                 qPrintable(page->toPlainText()));
        QVERIFY(driver_->capture("apropos.png"));

        tabs->setCurrentIndex(1);
        QTRY_VERIFY(page->source().fileName() == "licence.html");
        QVERIFY(!page->toPlainText().isEmpty());
        tabs->setCurrentIndex(2);
        QTRY_VERIFY(page->source().fileName() == "aide.html");
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::SettingsViewsTest)
#include "SettingsViewsTest.moc"
