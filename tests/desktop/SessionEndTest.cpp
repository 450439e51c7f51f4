// The end of a session while a dictation is open: the system's stop request (through the entry
// point the signal handler calls) and the window's close button keep the take and the unsaved
// work as a draft, so that the next start finds the dictation in the list and no take set aside.
// Then the program itself: --version, no display, SIGTERM on a real process.
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/userRequest.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "tests/desktop/support/DesktopSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace orvaneh {

using Screen = AudioRecordControllerThree;

class SessionEndTest : public QObject {
    Q_OBJECT

    static QString program(const char* name) { return QCoreApplication::applicationDirPath() + "/" + name; }

    // A started session on the list, with an author, on the simulated microphone hearing a tone,
    // with a new dictation's recording screen open.
    static void openNewDictation(test::DesktopSession& session, std::shared_ptr<Screen>& screen) {
        QVERIFY(session.start());
        const auto shown = [&session] { return session.shownScreen()->objectName(); };
        QTRY_COMPARE_WITH_TIMEOUT(shown(), QString("SiteViewController"), 5000);
        QTest::mouseClick(session.find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(test::DesktopSession::box("choix"), 5000);
        QTest::mouseClick(test::DesktopSession::box("choix")->findChild<QPushButton*>("bouton1"),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shown(), QString("ListeDictViewController"), 5000);
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        QVERIFY(author.insertUser() > 0);
        auto media = std::make_shared<SimulatedMediaBackend>();
        media->setRecordPermission(AudioSession::RecordPermission::Granted);
        media->setInput(SimulatedAudioInput::tone(440, 0.5));
        MediaBackend::install(media);
        session.window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(session.window()));
        QTest::mouseClick(session.find<QPushButton>("boutonNouvelleDictee"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shown(), QString("AudioRecordControllerThree"), 5000);
        screen = std::dynamic_pointer_cast<Screen>(session.desktop().application().navigation().top());
    }

private slots:
    void endingTheSessionKeepsTheTakeAsADraft() {
        enum class Ending { StopRequest, CloseButton };
        struct Case {
            const char* name;
            int takeMilliseconds; // 0: nothing recorded
            bool stillRecording;  // the take runs when the session ends
            Ending ending;
        };
        const std::vector<Case> cases{
            {"take running, stop request", 1100, true, Ending::StopRequest},
            {"take stopped, close button", 1100, false, Ending::CloseButton},
            {"nothing recorded, stop request", 0, false, Ending::StopRequest},
        };
        for (const auto& test : cases) {
            test::DesktopSession session;
            std::shared_ptr<Screen> screen;
            openNewDictation(session, screen);
            QVERIFY2(screen, test.name);
            if (test.takeMilliseconds > 0) {
                QTest::keyClick(session.window(), Qt::Key_R);
                QCOMPARE(screen->etatLecteur(), Screen::kRecording);
                QTest::qWait(test.takeMilliseconds);
                if (!test.stillRecording) {
                    QTest::mouseClick(session.find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
                    QCOMPARE(screen->etatLecteur(), Screen::kPlayer);
                }
            }
            const std::string track = screen->finalDicteeFilePath();

            if (test.ending == Ending::StopRequest) {
                session.desktop().endSession(SIGTERM);
            } else {
                session.window()->close();
            }
            // No question at that moment: the window is gone and no box waits for an answer.
            QVERIFY2(!session.window()->isVisible(), test.name);
            QVERIFY2(!test::DesktopSession::box("choix") && !test::DesktopSession::box("question"),
                     test.name);
            QVERIFY2(!screen->isRecording(), test.name);

            const auto rows = DicteeRequest().getListDictee(DicteeRequest::kAll);
            if (test.takeMilliseconds == 0) {
                QVERIFY2(rows.empty(), test.name);
            } else {
                QCOMPARE(rows.size(), std::size_t{1});
                QVERIFY2(rows[0].brouillon && rows[0].envoi == 0, test.name);
                QCOMPARE(rows[0].dureeDictee, std::int64_t{1});
                // The stored track holds the take, however it ended.
                const auto player = MediaBackend::shared().makePlayer(track);
                QVERIFY2(player, track.c_str());
                QVERIFY2(player->duration() >= 1.0 && player->duration() < 2.5,
                         qPrintable(QString::number(player->duration())));
            }

            // Reopened: no take set aside to tell about, the draft (if any) still there.
            session.stop();
            QVERIFY(session.start());
            QVERIFY2(!test::DesktopSession::box("alerte"), test.name);
            QCOMPARE(DicteeRequest().getListDictee(DicteeRequest::kAll).size(), rows.size());
        }
    }

    void programOptionsAndDisplay() {
        QProcess cli;
        cli.start(program("orvaneh-cli"), {"--version"});
        QVERIFY(cli.waitForFinished(10000));
        const QString cliVersion = QString(cli.readAllStandardOutput()).section(' ', 1).trimmed();
        QVERIFY(!cliVersion.isEmpty());

        QProcess desktop;
        desktop.start(program("orvaneh"), {"--version"});
        QVERIFY(desktop.waitForFinished(10000));
        QCOMPARE(desktop.exitCode(), 0);
        QCOMPARE(QString(desktop.readAllStandardOutput()).trimmed(), "orvaneh " + cliVersion);

        // No display and no platform chosen: a French reason and status 1 before Qt aborts.
        QTemporaryDir home;
        QProcess blind;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(name);
        }
        blind.setProcessEnvironment(environment);
        blind.start(program("orvaneh"), {"--home", home.path()});
        QVERIFY(blind.waitForFinished(10000));
        QCOMPARE(blind.exitStatus(), QProcess::NormalExit);
        QCOMPARE(blind.exitCode(), 1);
        const QString said = blind.readAllStandardError();
        QVERIFY2(said.contains("Aucun affichage graphique") && said.contains("orvaneh-cli"),
                 qPrintable(said));
    }

    void stopSignalsEndTheRealProgramCleanly() {
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
            QTemporaryDir home;
            QProcess desktop;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            desktop.setProcessEnvironment(environment);
            desktop.start(program("orvaneh"), {"--home", home.path()});
            QVERIFY(desktop.waitForStarted(10000));
            const QString log = home.path() + "/config/orvaneh.log";
            // The stop signals are followed before the sound devices are chosen (and logged).
            const auto logged = [&log](const char* text) {
                QFile file(log);
                return file.open(QIODevice::ReadOnly) && QString(file.readAll()).contains(text);
            };
            QTRY_VERIFY_WITH_TIMEOUT(logged("Audio :"), 10000);
            ::kill(static_cast<pid_t>(desktop.processId()), signalNumber);
            QVERIFY(desktop.waitForFinished(10000));
            QCOMPARE(desktop.exitStatus(), QProcess::NormalExit);
            QCOMPARE(desktop.exitCode(), 0);
            QVERIFY2(logged("Demande d'arrêt du programme"), qPrintable(log));
        }
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::SessionEndTest)
#include "SessionEndTest.moc"
