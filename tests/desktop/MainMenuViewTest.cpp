// The main menu's side panel: its entries, closed by Escape or a touch beside it without
// changing the screen, and each entry opening its section, whose controls all carry a name,
// an accessible name and a tooltip.
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QPushButton>
#include <QtTest>

namespace orvaneh {

class MainMenuViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;

    QWidget* panel() const { return session_->window()->findChild<QWidget*>("menuPrincipal"); }
    void openPanel() {
        QTest::mouseClick(session_->find<QPushButton>("boutonMenu"), Qt::LeftButton);
        QTRY_VERIFY(panel() && panel()->isVisible());
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

    void panelShowsTheEntriesAndClosesWithoutChangingTheScreen() {
        openPanel();
        QStringList titles;
        for (int tag = 1; tag <= 5; ++tag) {
            auto* entry = panel()->findChild<QPushButton*>(QString("menu%1").arg(tag));
            QVERIFY(entry && entry->isVisible());
            titles << entry->text();
        }
        QCOMPARE(titles.size(), 5);
        QVERIFY(titles.contains("Dictées"));
        // The panel covers the window at its left edge.
        QCOMPARE(panel()->geometry(), session_->window()->rect());
        QVERIFY(driver_->capture("menu.png"));

        QTest::keyClick(panel(), Qt::Key_Escape);
        QTRY_VERIFY(!panel());
        QCOMPARE(session_->shownScreen()->objectName(), QString("ListeDictViewController"));

        openPanel();
        const QPoint beside(session_->window()->width() - 10, session_->window()->height() / 2);
        QTest::mouseClick(panel(), Qt::LeftButton, {}, beside);
        QTRY_VERIFY(!panel());
        QCOMPARE(session_->shownScreen()->objectName(), QString("ListeDictViewController"));
    }

    void eachEntryOpensItsSectionWithEveryControlNamed() {
        const std::pair<int, const char*> sections[] = {{2, "ParamWorkflowDefault"},
                                                        {4, "SettingsViewController"},
                                                        {5, "AboutController"},
                                                        {3, "SiteListViewController"}};
        for (const auto& [tag, screen] : sections) {
            openPanel();
            QTest::mouseClick(panel()->findChild<QPushButton*>(QString("menu%1").arg(tag)), Qt::LeftButton);
            QVERIFY(driver_->waitForScreen(screen));
            QTRY_VERIFY(!panel());
            const QStringList unnamed = driver_->unnamedControls();
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join("; ")));
        }
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::MainMenuViewTest)
#include "MainMenuViewTest.moc"
