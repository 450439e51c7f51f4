// The recording screen driven as a person would: opened from the list's button, takes recorded
// with the record key and the buttons on the simulated microphone in real (short) time, the
// cursor moved by the keyboard, two markers placed on the cursor bar and the passage cut after
// the confirmation box; what the controller holds is checked after each step.
#include "App/desktop/RecorderView.h"

#include "App/desktop/BannerView.h"
#include "App/desktop/CursorSlider.h"
#include "App/desktop/LevelMeterView.h"
#include "App/desktop/WaveformView.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/audio/TrackPeaks.h"
#include "Classes/core/userRequest.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "tests/desktop/support/DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace orvaneh {

using Screen = AudioRecordControllerThree;

class RecorderViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::shared_ptr<SimulatedMediaBackend> media_;

    template <class T = QWidget> T* find(const char* name) const { return session_->find<T>(name); }
    static QMessageBox* box(const char* name) { return test::DesktopSession::box(name); }
    QString shown() const { return session_->shownScreen()->objectName(); }
    std::shared_ptr<Screen> screen() const {
        if (!session_->window()) {
            return nullptr;
        }
        return std::dynamic_pointer_cast<Screen>(session_->desktop().application().navigation().top());
    }
    void click(const char* name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
    void key(Qt::Key which) { QTest::keyClick(session_->window(), which); }
    QString label(const char* name) const { return find<QLabel>(name)->text(); }

    // Past the site editor of a first start to the list, with an author (the list asks for one
    // before a new dictation).
    void reachTheListWithAnAuthor() {
        QTRY_COMPARE(shown(), QString("SiteViewController"));
        click("boutonRetour");
        QTRY_VERIFY(box("choix"));
        QTest::mouseClick(box("choix")->findChild<QPushButton*>("bouton1"), Qt::LeftButton);
        QTRY_COMPARE(shown(), QString("ListeDictViewController"));
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        QVERIFY(author.insertUser() > 0);
    }

    // A profile with an author (the list asks for one before a new dictation), past the site
    // editor of a first start, on the simulated microphone hearing a loud tone.
    void openNewDictation(bool simulatedMicrophone = true) {
        QVERIFY(session_->start());
        reachTheListWithAnAuthor();
        if (simulatedMicrophone) {
            media_ = std::make_shared<SimulatedMediaBackend>();
            media_->setRecordPermission(AudioSession::RecordPermission::Granted);
            media_->setInput(SimulatedAudioInput::tone(440, 0.5));
            MediaBackend::install(media_);
        }

        session_->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(session_->window()));
        click("boutonNouvelleDictee");
        QTRY_COMPARE(shown(), QString("AudioRecordControllerThree"));
        QVERIFY(screen());
    }

    // Clicks the cursor bar at `fraction` of its length.
    void clickBar(double fraction) {
        auto* bar = find<CursorSlider>("curseur");
        const Rect frame = CursorSlider::barFrame(bar->size());
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          QPoint(static_cast<int>(frame.x + frame.width * fraction), bar->height() / 2));
    }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        QVERIFY(session_->valid());
    }

    void cleanup() {
        if (auto recorder = screen(); recorder && recorder->isRecording()) {
            recorder->recordAction();
        }
        session_.reset();
        MediaBackend::install(std::make_shared<SimulatedMediaBackend>());
    }

    void takesAreRecordedAtTheCursorAndAPassageIsCut() {
        openNewDictation();
        auto* meter = find<LevelMeterView>("vumetre");
        auto* waveform = session_->shownScreen()->findChild<WaveformView*>("formeOnde");
        QCOMPARE(meter->litCount(), 0);
        QCOMPARE(label("dureePiste"), QString("0:00"));

        // R records at once, whatever the state; the meter follows the tone while it runs.
        key(Qt::Key_R);
        QCOMPARE(screen()->etatLecteur(), Screen::kRecording);
        QVERIFY(find("indicateurEnregistrement")->isVisible());
        QVERIFY(!find("boutonDebut")->isEnabled());
        QTRY_VERIFY(meter->litCount() >= 6);
        QTest::qWait(1100);
        click("boutonEnregistrer"); // ends the take
        QCOMPARE(screen()->etatLecteur(), Screen::kPlayer);
        const double first = screen()->dureeDictee();
        QVERIFY2(first >= 1.0 && first < 2.5, qPrintable(QString::number(first)));
        QTRY_COMPARE(meter->litCount(), 0);
        QCOMPARE(label("dureePiste"), QString("0:01"));
        QVERIFY(!find("indicateurEnregistrement")->isVisible());
        QCOMPARE(screen()->view().sliderMaximum, static_cast<float>(first));
        QVERIFY(std::abs(screen()->view().sliderValue - first) < 0.05); // where the last display left it
        // The waveform of the take, one peak a hundredth, loud.
        QTRY_VERIFY(!waveform->peaks().empty());
        QVERIFY(std::abs(static_cast<double>(waveform->peaks().size()) - first * 100) <= 2);
        QVERIFY(waveform->peaks()[10] > 100);

        // Home, then a second take from the buttons (arm, start) inserted at the start; space ends it.
        key(Qt::Key_Home);
        QCOMPARE(screen()->view().sliderValue, 0.0F);
        click("boutonEnregistrer");
        QCOMPARE(screen()->etatLecteur(), Screen::kStandBy);
        click("boutonLecture");
        QCOMPARE(screen()->etatLecteur(), Screen::kRecording);
        QTest::qWait(600);
        key(Qt::Key_Space);
        QCOMPARE(screen()->etatLecteur(), Screen::kStandBy);
        const double total = screen()->dureeDictee();
        const double second = total - first;
        QVERIFY2(second >= 0.6 && second < 2.0, qPrintable(QString::number(second)));
        QVERIFY(std::abs(screen()->view().sliderValue - second) < 0.05); // the cursor ends after the take
        QTRY_VERIFY(std::abs(static_cast<double>(waveform->peaks().size()) - total * 100) <= 2);

        // End and Left: by the controller's seek step from the end.
        key(Qt::Key_End);
        QCOMPARE(screen()->view().sliderValue, static_cast<float>(total));
        key(Qt::Key_Left);
        QCOMPARE(screen()->view().sliderValue, static_cast<float>(total) - screen()->seekStep());

        // Two markers on the bar, then the cut, confirmed in its box.
        QVERIFY(!find("boutonCouper")->isEnabled());
        clickBar(0.25);
        click("boutonMarqueur");
        clickBar(0.75);
        click("boutonMarqueur");
        const auto band = screen()->view().band;
        QVERIFY(band);
        QVERIFY(std::abs(band->from - total * 0.25) < 0.05 && std::abs(band->to - total * 0.75) < 0.05);
        QVERIFY(find("boutonCouper")->isEnabled());
        if (const QString captures = qEnvironmentVariable("ORVANEH_CAPTURE_DIR"); !captures.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(session_->window()->grab().save(captures + "/enregistreur.png"));
        }
        click("boutonCouper");
        QTRY_VERIFY(box("question"));
        QCOMPARE(box("question")->findChild<QPushButton*>("bouton1")->text(), QString("Oui"));
        QTest::mouseClick(box("question")->findChild<QPushButton*>("bouton1"), Qt::LeftButton);
        QTRY_VERIFY(std::abs(screen()->dureeDictee() - (total - (band->to - band->from))) < 0.02);
        QVERIFY(!screen()->view().band);
        QVERIFY(!find("boutonCouper")->isEnabled());
        QTRY_VERIFY(std::abs(static_cast<double>(waveform->peaks().size()) - screen()->dureeDictee() * 100) <=
                    2);

        // The outline is kept beside the working track, and goes with it when the work is abandoned.
        const auto peakFile = TrackPeaks::peakFileOf(screen()->baseDicteeFilePath());
        QVERIFY(std::filesystem::exists(peakFile));
        screen()->cancelDictation();
        QTRY_COMPARE(shown(), QString("ListeDictViewController"));
        QVERIFY(!std::filesystem::exists(peakFile));
    }

    // The back button offers the closing menu; interrupting stores a draft the list shows.
    void interruptedDictationIsListedAsADraft() {
        openNewDictation();
        key(Qt::Key_R);
        QTest::qWait(1100);
        key(Qt::Key_R);
        QCOMPARE(screen()->etatLecteur(), Screen::kPlayer);
        click("boutonRetour");
        QTRY_VERIFY(box("choix"));
        QVERIFY(!box("choix")->text().isEmpty()); // never an icon and buttons alone
        QAbstractButton* interrupt = nullptr;
        for (auto* button : box("choix")->buttons()) {
            if (button->text() == "Interrompre la dictée") {
                interrupt = button;
            }
        }
        QVERIFY(interrupt);
        QTest::mouseClick(interrupt, Qt::LeftButton);
        QTRY_COMPARE(shown(), QString("ListeDictViewController"));
        QTRY_COMPARE(session_->listColumn(0), QStringList{"Dictée 1"});
        QCOMPARE(session_->listColumn(1), QStringList{"Brouillon"});
        QVERIFY(session_->listColumn(2).value(0).startsWith("DIC : 0:01"));
    }

    void lostMicrophoneEndsTheTakeAndSaysSo() {
        openNewDictation();
        key(Qt::Key_F9);
        QCOMPARE(screen()->etatLecteur(), Screen::kRecording);
        QTest::qWait(400);
        NotificationCenter::defaultCenter().post(
            MediaBackend::kDeviceLostNotification,
            Json{{"message", "Le micro n'est plus disponible : l'enregistrement est arrêté."}});
        QTRY_COMPARE(screen()->etatLecteur(), Screen::kPlayer);
        QVERIFY(screen()->dureeDictee() > 0.3);
        QTRY_COMPARE(find<BannerView>("banniere")->text(),
                     QString("Le micro n'est plus disponible : l'enregistrement est arrêté."));
        QCOMPARE(find<QPushButton>("boutonEnregistrer")->text(), QString("Enregistrer"));
    }

#ifdef ORVANEH_HAVE_PULSE
    // The program's own back-end over a sound server that is not there: the list says the
    // microphone is refused and no recording screen opens.
    void withoutSoundServerTheMicrophoneIsRefused() {
        const QByteArray before = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER",
                QByteArray("unix:") + QFile::encodeName(QDir::tempPath()) + "/aucun-serveur-son");
        QVERIFY(session_->start());
        qputenv("PULSE_SERVER", before);
        reachTheListWithAnAuthor();
        click("boutonNouvelleDictee");
        QTRY_VERIFY_WITH_TIMEOUT(find<BannerView>("banniere")->text().contains("micro"), 15000);
        QCOMPARE(shown(), QString("ListeDictViewController"));
    }
#endif

    // A take on a real sound server, when one is given (ORVANEH_TRIAL_PULSE_SERVER, a server
    // whose default input hears something): the program's own back-end, nothing simulated.
    void takeOnARealSoundServer() {
        const QByteArray server = qgetenv("ORVANEH_TRIAL_PULSE_SERVER");
        if (server.isEmpty()) {
            QSKIP("ORVANEH_TRIAL_PULSE_SERVER non défini");
        }
        const QByteArray before = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", server);
        openNewDictation(false);
        qputenv("PULSE_SERVER", before);
        key(Qt::Key_R);
        QCOMPARE(screen()->etatLecteur(), Screen::kRecording);
        QTRY_VERIFY(find<LevelMeterView>("vumetre")->litCount() > 0);
        QTest::qWait(1500);
        key(Qt::Key_R);
        QCOMPARE(screen()->etatLecteur(), Screen::kPlayer);
        QVERIFY2(screen()->dureeDictee() > 1.2 && screen()->dureeDictee() < 10,
                 qPrintable(QString::number(screen()->dureeDictee())));
        auto* waveform = session_->shownScreen()->findChild<WaveformView*>("formeOnde");
        QTRY_VERIFY(std::abs(static_cast<double>(waveform->peaks().size()) - screen()->dureeDictee() * 100) <=
                    2);
        // Played back through the server's output to its end.
        key(Qt::Key_Home);
        key(Qt::Key_Space);
        QTRY_VERIFY(screen()->isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!screen()->isPlaying(), 6000);
    }

    void titleEditorFromTheOptionBarAndNamedControls() {
        openNewDictation();
        for (const char* name :
             {"boutonEnregistrer", "boutonLecture", "boutonStop",     "boutonDebut",
              "boutonFin",         "boutonReculer", "boutonAvancer",  "boutonMarqueur",
              "boutonCouper",      "boutonPiste",   "boutonPriorite", "boutonParametresDictee",
              "boutonTitreIdent",  "boutonPhotos",  "curseur",        "vumetre",
              "formeOnde",         "tempsEcoule",   "dureePiste",     "titreDictee"}) {
            QVERIFY2(!find(name)->accessibleName().isEmpty(), name);
            QVERIFY2(!find(name)->toolTip().isEmpty(), name);
        }
        QVERIFY(find("boutonEnregistrer")->toolTip().contains("F9"));

        click("boutonTitreIdent");
        QTRY_COMPARE(shown(), QString("ParamWorkflowDicteeTitleIdentViewController"));
        // The recorder's keys are off while another screen shows.
        key(Qt::Key_R);
        QCOMPARE(screen()->etatLecteur(), Screen::kPlayer);
        auto* title = find<QLineEdit>("champTitre");
        title->clear();
        QTest::keyClicks(title, "Courrier Martin");
        QTest::keyClicks(find<QLineEdit>("champIdentifiant"), "D-42");
        click("boutonValider");
        QTRY_COMPARE(shown(), QString("AudioRecordControllerThree"));
        QCOMPARE(label("titreDictee"), QString("D-42 / Courrier Martin"));

        // Escape abandons a change: the dictation keeps its texts.
        click("boutonTitreIdent");
        QTRY_COMPARE(shown(), QString("ParamWorkflowDicteeTitleIdentViewController"));
        // The editor closed before may still wait for its deletion: this one is the screen shown.
        QTRY_VERIFY(session_->shownScreen()->findChild<QWidget*>("boutonAnnuler"));
        QVERIFY(session_->shownScreen()->findChild<QWidget*>("boutonAnnuler")->isVisible());
        title = session_->shownScreen()->findChild<QLineEdit*>("champTitre");
        QCOMPARE(title->text(), QString("Courrier Martin"));
        QTest::keyClicks(title, " et fils");
        QTest::keyClick(title, Qt::Key_Escape);
        QTRY_COMPARE(shown(), QString("AudioRecordControllerThree"));
        QCOMPARE(label("titreDictee"), QString("D-42 / Courrier Martin"));

        // A very long title stays on one line and leaves the window's width and the waveform alone.
        const int windowWidth = find("formeOnde")->window()->width();
        const int waveformHeight = find("formeOnde")->height();
        click("boutonTitreIdent");
        QTRY_COMPARE(shown(), QString("ParamWorkflowDicteeTitleIdentViewController"));
        const QString longTitle = QString("Compte rendu opératoire détaillé ").repeated(12);
        session_->shownScreen()->findChild<QLineEdit*>("champTitre")->setText(longTitle);
        QTest::mouseClick(session_->shownScreen()->findChild<QPushButton*>("boutonValider"), Qt::LeftButton);
        QTRY_COMPARE(shown(), QString("AudioRecordControllerThree"));
        auto* heading = find<QLabel>("titreDictee");
        QTRY_VERIFY(heading->text().contains(longTitle.trimmed()));
        QVERIFY(heading->accessibleDescription().contains(longTitle.trimmed()));
        QCOMPARE(heading->window()->width(), windowWidth);
        QVERIFY2(heading->height() < 2 * heading->fontMetrics().height(),
                 qPrintable(QString::number(heading->height())));
        QCOMPARE(find("formeOnde")->height(), waveformHeight);
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::RecorderViewTest)
#include "RecorderViewTest.moc"
