// The desktop window driven as a person would, by object names, on the offscreen platform:
// a real profile directory and database, the core's run loop pumped by Qt's, real message boxes.
#include "App/desktop/BannerView.h"
#include "App/desktop/MainWindow.h"
#include "App/desktop/RunLoopPump.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"
#include "tests/desktop/support/DesktopSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <atomic>
#include <thread>

namespace orvaneh {

class DesktopApplicationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;

    bool start() { return session_->start(); }
    template <class T = QWidget> T* find(const char* name) const { return session_->find<T>(name); }
    static QMessageBox* box(const char* name) { return test::DesktopSession::box(name); }
    QWidget* shownScreen() const { return session_->shownScreen(); }
    QStringList column(int index) const { return session_->listColumn(index); }

    // A first start makes the profile and its database; two dictations are stored in it, then
    // the application starts again on it as a person reopening it would.
    void startWithTwoDictations() {
        QVERIFY(start());
        DicteeModel draft;
        draft.titre = "Courrier Martin";
        draft.auteur = "jdupont";
        draft.worktype = "Courrier";
        draft.priorite = "Haute";
        draft.dureeDictee = 75;
        draft.dureeInstruction = 5;
        draft.brouillon = true; // the sender leaves it alone
        draft.masterJobId = Tools::generateUUID();
        QVERIFY(DicteeRequest().insertDictee(draft) > 0);
        DicteeModel sent = draft;
        sent.titre = "Compte rendu Durand";
        sent.priorite = "Basse";
        sent.brouillon = false;
        sent.masterJobId = Tools::generateUUID();
        const auto sentId = DicteeRequest().insertDictee(sent);
        QVERIFY(sentId > 0);
        DicteeRequest().updateDicteeEnvoi(sentId);
        session_->stop();
        QVERIFY(start());
        leaveSiteEditor();
    }

    // Without a site, the site editor opens over the list; leaving it asks whether to keep the
    // changes, answered in its box.
    void leaveSiteEditor() {
        QTRY_COMPARE(shownScreen()->objectName(), QString("SiteViewController"));
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QTRY_VERIFY(box("choix"));
        auto* discard = box("choix")->findChild<QPushButton*>("bouton1");
        QCOMPARE(discard->text(), QString("Annuler les modifications"));
        QTest::mouseClick(discard, Qt::LeftButton);
        QTRY_COMPARE(shownScreen()->objectName(), QString("ListeDictViewController"));
        QVERIFY(!find("boutonRetour")->isVisible());
    }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        QVERIFY(session_->valid());
    }

    void cleanup() { session_.reset(); }

    void listShowsEachStoredDictationInItsTab() {
        startWithTwoDictations();
        QCOMPARE(find<QLabel>("titreEcran")->text(), QString("Dictées"));
        auto* tabs = find<QTabBar>("ongletsDictees");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString("BOITE D'ENVOI"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(column(0), QStringList{"Courrier Martin"});
        QCOMPARE(column(1), QStringList{"Brouillon"});
        QCOMPARE(column(2), QStringList{"DIC : 1:15 INS : 0:05"});
        QCOMPARE(column(3), QStringList{"Haute"});

        tabs->setCurrentIndex(1);
        QCOMPARE(column(0), QStringList{"Compte rendu Durand"});
        QCOMPARE(column(1), QStringList{"Envoyée"});
        QCOMPARE(column(3), QStringList{"Basse"});
        // A sent dictation has no closing menu and no parameters.
        find<QTreeView>("listeDictees")
            ->setCurrentIndex(find<QTreeView>("listeDictees")->model()->index(0, 0));
        QVERIFY(!find("boutonCloture")->isEnabled());
        QVERIFY(!find("boutonParametres")->isEnabled());
        QVERIFY(find("boutonSupprimer")->isEnabled());

        tabs->setCurrentIndex(0);
        QCOMPARE(column(0), QStringList{"Courrier Martin"});
        QVERIFY(find("listeDictees")->isVisible());
        QVERIFY(!find("texteListeVide")->isVisible());
        // The picture of the list in the documentation is taken here, under a real X server.
        if (const QString captures = qEnvironmentVariable("ORVANEH_CAPTURE_DIR"); !captures.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(session_->window()->grab().save(captures + "/liste.png"));
        }
    }

    void emptyListSaysSoAndEveryControlIsNamed() {
        QVERIFY(start());
        leaveSiteEditor();
        auto* empty = find<QLabel>("texteListeVide");
        QVERIFY(empty->isVisible());
        QVERIFY(!empty->text().isEmpty());
        QVERIFY(!find("listeDictees")->isVisible());
        for (const char* name :
             {"boutonNouvelleDictee", "boutonParametres", "boutonCloture", "boutonSupprimer",
              "ongletsDictees", "listeDictees", "boutonMenu", "boutonRetour", "banniere"}) {
            QVERIFY2(!find(name)->accessibleName().isEmpty(), name);
        }
    }

    void closingMenuOpensOnTheSelectedOutboxRow() {
        startWithTwoDictations();
        auto* rows = find<QTreeView>("listeDictees");
        QVERIFY(!find("boutonCloture")->isEnabled());
        rows->setCurrentIndex(rows->model()->index(0, 0));
        const QString title = rows->model()->index(0, 0).data().toString();
        QVERIFY(find("boutonCloture")->isEnabled());
        QTest::mouseClick(find<QPushButton>("boutonCloture"), Qt::LeftButton);
        QTRY_VERIFY(box("choix"));
        QMessageBox* menu = box("choix");
        QVERIFY(menu->buttons().size() >= 2);
        // The dictation's title is the box's text: window titles are easily missed.
        QVERIFY2(!title.isEmpty() && menu->text().contains(title), qPrintable(menu->text()));
        // Its cancel-style action closes the box and leaves the list as it was.
        QAbstractButton* cancel = nullptr;
        for (auto* button : menu->buttons()) {
            if (menu->buttonRole(button) == QMessageBox::RejectRole) {
                cancel = button;
            }
        }
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY(!box("choix"));
        QCOMPARE(column(0), QStringList{"Courrier Martin"});
    }

    // A core timer scheduled from a worker thread fires on the GUI thread, on time, while Qt's
    // own timers keep running: nothing waits inside the pump.
    void runLoopTimersFireUnderQtsLoop() {
        QVERIFY(start());
        const auto guiThread = std::this_thread::get_id();
        std::atomic<bool> fired{false};
        std::atomic<bool> onGuiThread{false};
        QElapsedTimer clock;
        clock.start();
        std::thread worker([&] {
            RunLoop::main().post([&] {
                RunLoop::main().scheduleTimer(Seconds(0.3), false, [&](Timer&) {
                    onGuiThread = std::this_thread::get_id() == guiThread;
                    fired = true;
                });
            });
        });
        worker.join();
        int qtTicks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++qtTicks; });
        ticker.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(fired, 5000);
        QVERIFY(onGuiThread);
        QVERIFY2(clock.elapsed() >= 290, "the timer fired early");
        QVERIFY2(qtTicks >= 5, "Qt's timers did not run while the core's was pending");
    }

    void bannerAppearsThenGoes() {
        QVERIFY(start());
        auto* banner = find<BannerView>("banniere");
        QVERIFY(!banner->isVisible());
        std::thread([] { UserInterface::shared().showBanner("Dictée envoyée", Seconds(0.8)); }).join();
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(banner->text(), QString("Dictée envoyée"));
        QTRY_VERIFY_WITH_TIMEOUT(!banner->isVisible(), 3000);
    }

    void questionsAreAnsweredByTheirBoxOrByAPresetAnswer() {
        QVERIFY(start());
        std::vector<int> answers;
        UserInterface::shared().askConfirmation("Supprimer", "Supprimer cette dictée ?", "Annuler",
                                                "Supprimer", 7,
                                                [&](int button) { answers.push_back(button); });
        QTRY_VERIFY(box("question"));
        QCOMPARE(box("question")->findChild<QPushButton*>("bouton0")->text(), QString("Annuler"));
        auto* confirm = box("question")->findChild<QPushButton*>("bouton1");
        QCOMPARE(confirm->text(), QString("Supprimer"));
        QVERIFY(answers.empty());
        QTest::mouseClick(confirm, Qt::LeftButton);
        QCOMPARE(answers, std::vector<int>{1});
        QTRY_VERIFY(!box("question"));

        UserInterface::shared().queueAnswer(0);
        UserInterface::shared().askConfirmation("Supprimer", "Supprimer cette dictée ?", "Annuler",
                                                "Supprimer", 7,
                                                [&](int button) { answers.push_back(button); });
        QCOMPARE(answers, (std::vector<int>{1, 0}));
        QTest::qWait(50);
        QVERIFY(!box("question"));
    }

    void wrongOptionsStopBeforeAnyWindow() {
        struct Case {
            std::vector<std::string> arguments;
            std::optional<int> status;
            const char* said;
        };
        const std::vector<Case> cases{
            {{"--help"}, 0, "Utilisation : orvaneh"},
            {{"--home"}, 2, "--home attend un répertoire"},
            {{"--home="}, 2, "--home attend un répertoire"},
            {{"--verbeux"}, 2, "option inconnue : --verbeux"},
            {{"--home", "/tmp/x"}, std::nullopt, ""},
        };
        for (const auto& test : cases) {
            std::ostringstream out;
            std::ostringstream err;
            std::optional<std::filesystem::path> chosen;
            QCOMPARE(DesktopApplication::readOptions(test.arguments, chosen, out, err), test.status);
            QVERIFY2((out.str() + err.str()).find(test.said) != std::string::npos, test.said);
        }
        std::optional<std::filesystem::path> chosen;
        std::ostringstream ignored;
        DesktopApplication::readOptions({"--home=/srv/profil"}, chosen, ignored, ignored);
        QCOMPARE(chosen, std::optional<std::filesystem::path>("/srv/profil"));
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::DesktopApplicationTest)
#include "DesktopApplicationTest.moc"
