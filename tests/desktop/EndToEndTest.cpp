// A first-time user's whole path through the window, against the FTP office simulator and a
// simulated microphone hearing a tone: the site typed in the editor that opens by itself, the
// workflow imported from the site list, the defaults chosen, a dictation recorded in two takes
// (the second inserted at the cursor), a passage cut between two markers, then sent from the
// closing menu; the row goes from the outbox to the sent tab once the background sender has
// delivered the job, which the office holds.
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/audio/WaveHeader.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "support/PeerProcess.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

namespace orvaneh {

using Recorder = AudioRecordControllerThree;

class EndToEndTest : public QObject {
    Q_OBJECT

    QTemporaryDir office_;
    std::unique_ptr<test::PeerProcess> server_;
    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;
    std::shared_ptr<SimulatedMediaBackend> media_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    void click(const char* name) const { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    void key(Qt::Key which) const { QTest::keyClick(session_->window(), which); }
    std::shared_ptr<Recorder> recorder() const {
        return std::dynamic_pointer_cast<Recorder>(session_->desktop().application().navigation().top());
    }
    QStringList officeFiles(const QString& pattern) const {
        return QDir(office_.path() + "/import").entryList({pattern}, QDir::Files);
    }

    // One take of about `milliseconds` from the record button, at the cursor.
    void recordTake(int milliseconds) {
        click("boutonEnregistrer");
        if (recorder()->etatLecteur() == Recorder::kStandBy) {
            click("boutonLecture");
        }
        QTRY_COMPARE(recorder()->etatLecteur(), Recorder::kRecording);
        QTest::qWait(milliseconds);
        click("boutonEnregistrer");
        QTRY_VERIFY(recorder()->etatLecteur() != Recorder::kRecording);
    }

    void typeTheFirstSite() {
        QVERIFY(session_->start());
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        QVERIFY(driver_->type("champNom", "Cabinet"));
        QVERIFY(driver_->type("champAdresse", QString("127.0.0.1:%1").arg(server_->port())));
        QVERIFY(driver_->type("champUtilisateur", "jean@cabinet"));
        QVERIFY(driver_->type("champMotDePasse", "p@ss:w/rd"));
        click("boutonEnregistrer");
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
    }

    void importTheWorkflowAndChooseTheDefaults() {
        QVERIFY(driver_->openFromMenu(3));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));
        click("boutonImporter");
        QVERIFY(test::ScreensDriver::answerBoxWith("choix", "Service Cardiologie"));
        QTRY_COMPARE_WITH_TIMEOUT(find<QLabel>("messageImport")->text(), QString("Fin de l'importation"),
                                  20000);
        click("boutonRetour");
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));

        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QVERIFY(driver_->choose("champAuteur", "cmoreau"));
        QVERIFY(driver_->choose("champType", "Dictée numérique"));
        QVERIFY(driver_->choose("champWorktype", "Compte rendu"));
        click("boutonEnregistrer");
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
    }

    // Two takes, the second inserted at one second; then the band between the markers at one and
    // two seconds is cut.
    void recordInsertAndCut() {
        media_ = std::make_shared<SimulatedMediaBackend>();
        media_->setRecordPermission(AudioSession::RecordPermission::Granted);
        media_->setInput(SimulatedAudioInput::tone(440, 0.5));
        MediaBackend::install(media_);
        session_->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(session_->window()));
        click("boutonNouvelleDictee");
        QVERIFY(driver_->waitForScreen("AudioRecordControllerThree"));

        recordTake(2000);
        const double first = recorder()->dureeDictee();
        QVERIFY2(first > 1.6 && first < 3.5, qPrintable(QString::number(first)));

        key(Qt::Key_Home);
        key(Qt::Key_Right);
        QTRY_VERIFY(std::abs(recorder()->view().sliderValue - 1.0F) < 0.05F);
        recordTake(1000);
        const double total = recorder()->dureeDictee();
        const double second = total - first;
        QVERIFY2(second > 0.7 && second < 2.0, qPrintable(QString::number(second)));
        // Inserted, not written over nor appended: the cursor ends right after the take.
        QVERIFY2(std::abs(recorder()->view().sliderValue - (1.0 + second)) < 0.1,
                 qPrintable(QString::number(recorder()->view().sliderValue)));

        key(Qt::Key_Home);
        key(Qt::Key_Right);
        click("boutonMarqueur");
        key(Qt::Key_Right);
        click("boutonMarqueur");
        const auto band = recorder()->view().band;
        QVERIFY(band);
        QVERIFY2(std::abs(band->from - 1.0) < 0.1 && std::abs(band->to - 2.0) < 0.1,
                 qPrintable(QString("%1 %2").arg(band->from).arg(band->to)));
        click("boutonCouper");
        QVERIFY(test::ScreensDriver::answerBox("question", "bouton1"));
        QTRY_VERIFY2(std::abs(recorder()->dureeDictee() - (total - (band->to - band->from))) < 0.05,
                     qPrintable(QString::number(recorder()->dureeDictee())));
    }

    void sendFromTheClosingMenu() {
        const auto kept = recorder()->dureeDictee();
        // Which file of the job each upload step announces, for the status bar's note.
        auto steps = std::make_shared<QStringList>();
        const Observation progress = NotificationCenter::defaultCenter().addMainLoopObserver(
            "EnvoiProgress", [steps](const PostedNotification& notice) {
                *steps << QString("%1/%2")
                              .arg(notice.userInfo.value("fichier", 0))
                              .arg(notice.userInfo.value("fichiers", 0));
            });
        click("boutonRetour");
        QVERIFY(test::ScreensDriver::answerBoxWith("choix", "Envoyer la dictée"));
        // The summary shows when the settings ask for it.
        if (QTest::qWaitFor([] { return test::DesktopSession::box("question") != nullptr; }, 500)) {
            QVERIFY(test::ScreensDriver::answerBoxWith("question", "Envoyer"));
        }
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        auto* tabs = find<QTabBar>("ongletsDictees");
        QCOMPARE(tabs->currentIndex(), 0);
        QTRY_COMPARE(session_->listColumn(0).size(), 1);
        const QString title = session_->listColumn(0).value(0);

        // The sender's pass on its own thread empties the outbox; the row is in the sent tab.
        QTRY_VERIFY_WITH_TIMEOUT(session_->listColumn(0).isEmpty(), 20000);
        QTRY_COMPARE(*steps, (QStringList{"1/2", "2/2"})); // the track, then the job's descriptor
        QTRY_VERIFY(!find("progressionEnvoi")->isVisible());
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        QTRY_COMPARE(session_->listColumn(0), QStringList{title});
        const QString durations = session_->listColumn(2).value(0);
        QVERIFY2(durations.startsWith(QString("DIC : 0:0%1").arg(static_cast<int>(kept))) ||
                     durations.startsWith(QString("DIC : 0:0%1").arg(std::lround(kept))),
                 qPrintable(durations));
        if (qEnvironmentVariableIsSet("ORVANEH_CAPTURE_DIR")) {
            // The picture shows the list, not the banner of the defaults saved a moment before.
            QTRY_VERIFY_WITH_TIMEOUT(!find("banniere")->isVisible(), 10000);
            QVERIFY(driver_->capture("envoi.png"));
        }

        // The office holds the track as it was left after the cut, and the job that names it
        // and its author.
        const QStringList audio = officeFiles("*.wav") + officeFiles("*.ogg");
        QCOMPARE(audio.size(), 1);
        if (audio.value(0).endsWith(".wav")) {
            const auto header =
                WaveHeader::readFile((office_.path() + "/import/" + audio.value(0)).toStdString());
            QVERIFY(header);
            const double seconds = static_cast<double>(header->frameCount()) / header->sampleRate;
            QVERIFY2(std::abs(seconds - kept) < 0.05, qPrintable(QString::number(seconds)));
        }
        const QStringList jobs = officeFiles("*.xml");
        QCOMPARE(jobs.size(), 1);
        QFile job(office_.path() + "/import/" + jobs.value(0));
        QVERIFY(job.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(job.readAll());
        QVERIFY2(xml.contains("cmoreau") && xml.contains(audio.value(0)), qPrintable(xml));
    }

private slots:
    void init() {
        QVERIFY(office_.isValid());
        server_ = std::make_unique<test::PeerProcess>(
            std::string(ORVANEH_SOURCE_DIR) + "/tools/office-ftp-server.py",
            std::vector<std::string>{"--root", office_.path().toStdString(), "--login", "jean@cabinet",
                                     "--password", "p@ss:w/rd", "--seed-demo"},
            (office_.path() + "/server.log").toStdString());
        QVERIFY(server_->port() != 0);
        session_ = std::make_unique<test::DesktopSession>();
        driver_ = std::make_unique<test::ScreensDriver>(*session_);
        QVERIFY(session_->valid());
    }
    void cleanup() {
        if (auto screen = session_->window() ? recorder() : nullptr; screen && screen->isRecording()) {
            screen->recordAction();
        }
        driver_.reset();
        session_.reset();
        server_.reset();
        MediaBackend::install(std::make_shared<SimulatedMediaBackend>());
    }

    void firstDictationRecordedEditedAndSentToTheOffice() {
        typeTheFirstSite();
        if (QTest::currentTestFailed()) {
            return;
        }
        importTheWorkflowAndChooseTheDefaults();
        if (QTest::currentTestFailed()) {
            return;
        }
        recordInsertAndCut();
        if (QTest::currentTestFailed()) {
            return;
        }
        sendFromTheClosingMenu();
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::EndToEndTest)
#include "EndToEndTest.moc"
