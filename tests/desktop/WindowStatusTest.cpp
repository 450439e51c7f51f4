// The window's own state: the status bar's sending note follows the sender's notices and
// ignores what it cannot read, and the window comes back where and as large as it was left.
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/preferences/PreferenceStore.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

namespace orvaneh {

class WindowStatusTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;

    QWidget* note() const { return session_->find("progressionEnvoi"); }
    QProgressBar* bar() const { return session_->find<QProgressBar>("barreEnvoi"); }
    QString noteText() const { return session_->find<QLabel>("texteEnvoi")->text(); }

private slots:
    void init() {
        session_ = std::make_unique<test::DesktopSession>();
        QVERIFY(session_->valid());
        QVERIFY(session_->start());
    }
    void cleanup() { session_.reset(); }

    void sendingNoteFollowsTheSenderAndIgnoresWhatItCannotRead() {
        auto& center = NotificationCenter::defaultCenter();
        QVERIFY(!note()->isVisible());
        center.post("EnvoiOpen");
        QTRY_VERIFY(note()->isVisible());
        QCOMPARE(bar()->maximum(), 0); // busy: the transport has not said more
        center.post("EnvoiProgress", Json{{"idDictee", 3}, {"fichier", 2}, {"fichiers", 3}});
        QTRY_COMPARE(noteText(), QString("Envoi : fichier 2 sur 3"));
        QCOMPARE(bar()->maximum(), 3);
        QCOMPARE(bar()->value(), 1);

        // Notices from elsewhere that make no sense leave the note as it was.
        for (const Json& odd :
             {Json(nullptr), Json("fichier"), Json{{"fichier", "2"}, {"fichiers", 3}},
              Json{{"fichier", 4}, {"fichiers", 3}}, Json{{"fichier", 0}, {"fichiers", 0}},
              Json{{"fichier", -1}, {"fichiers", 3}}, Json{{"fichier", 1}, {"fichiers", 1e12}}}) {
            center.post("EnvoiProgress", odd);
        }
        center.post("EnvoiProgress", Json{{"fichier", 3}, {"fichiers", 3}});
        QTRY_COMPARE(noteText(), QString("Envoi : fichier 3 sur 3"));
        QCOMPARE(bar()->value(), 2);

        center.post("EnvoiClose");
        QTRY_VERIFY(!note()->isVisible());
        center.post("EnvoiOpen");
        QTRY_VERIFY(note()->isVisible());
        center.post("EnvoiFin");
        QTRY_VERIFY(!note()->isVisible());
    }

    // The transcription service counts the parts of one file it has accepted: a share, not a rank.
    void transcriptionUploadShowsTheShareSent() {
        auto& center = NotificationCenter::defaultCenter();
        center.post("EnvoiOpen");
        QTRY_VERIFY(note()->isVisible());
        const struct {
            int part, parts;
            const char* text;
        } steps[] = {{0, 8, "Envoi au service de transcription : 0 %"},
                     {3, 8, "Envoi au service de transcription : 37 %"},
                     {8, 8, "Envoi au service de transcription : 100 %"}};
        for (const auto& step : steps) {
            center.post("EnvoiProgress",
                        Json{{"idDictee", 4}, {"partie", step.part}, {"parties", step.parts}});
            QTRY_COMPARE(noteText(), QString(step.text));
            QCOMPARE(bar()->maximum(), 100); // determinate
            QCOMPARE(bar()->value(), step.part * 100 / step.parts);
        }
        // Counts, once the note has seen them, what cannot be a share: the note stays at 100 %.
        int delivered = 0;
        const Observation seen = center.addMainLoopObserver(
            "EnvoiProgress", [&delivered](const PostedNotification&) { ++delivered; });
        const std::vector<Json> odd{Json{{"partie", 9}, {"parties", 8}}, Json{{"partie", 1}, {"parties", 0}},
                                    Json{{"partie", -1}, {"parties", 8}},
                                    Json{{"partie", "1"}, {"parties", 8}}};
        for (const Json& notice : odd) {
            center.post("EnvoiProgress", notice);
        }
        QTRY_COMPARE(delivered, static_cast<int>(odd.size()));
        QCOMPARE(noteText(), QString("Envoi au service de transcription : 100 %"));
        QCOMPARE(bar()->value(), 100);
        // The file form still reads as before after the part form.
        center.post("EnvoiProgress", Json{{"fichier", 1}, {"fichiers", 2}});
        QTRY_COMPARE(noteText(), QString("Envoi : fichier 1 sur 2"));
        QCOMPARE(bar()->maximum(), 2);
        center.post("EnvoiFin");
        QTRY_VERIFY(!note()->isVisible());
    }

    void windowComesBackAsItWasLeft() {
        session_->window()->resize(900, 600);
        QVERIFY(session_->window()->close());
        session_->stop();
        QVERIFY(session_->start());
        QCOMPARE(session_->window()->size(), QSize(900, 600));

        // A damaged value leaves the default size.
        session_->stop();
        QVERIFY(session_->start());
        PreferenceStore::standard().setString(MainWindow::kGeometryKey, "pas de la géométrie !");
        session_->stop();
        QVERIFY(session_->start());
        QCOMPARE(session_->window()->size(), QSize(720, 480));
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::WindowStatusTest)
#include "WindowStatusTest.moc"
