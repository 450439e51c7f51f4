// The case-file screens and the code reader driven from a dictation's parameter screen as a
// person would: a log-in against the practice-management simulator, a search and the chosen case
// in the dictation's fields; a printed code read from a picture file and from the clipboard, a
// picture without code, and the reader without camera.
#include "App/desktop/QRCodeReaderView.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "Classes/core/userRequest.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/preferences/PreferenceStore.h"
#include "support/PeerProcess.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace orvaneh {

namespace {

const QString kLogin = "m.dupre";
const QString kPassword = "mot de passe: é&\"";

} // namespace

class CaseFileViewsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;
    std::unique_ptr<QTemporaryDir> files_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    QString identification() const { return find<QLineEdit>("champIdentifiant")->text(); }

    // A draft dictation's parameter screen, opened from the list.
    void openParameters(const std::string& title) {
        QVERIFY(session_->start());
        DicteeModel draft;
        draft.titre = title;
        draft.auteur = "plefebvre";
        draft.priorite = "Normale";
        draft.brouillon = true;
        draft.masterJobId = Tools::generateUUID();
        QVERIFY(DicteeRequest().insertDictee(draft) > 0);
        session_->stop();
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
        auto* rows = find<QTreeView>("listeDictees");
        QTRY_VERIFY(rows->model()->rowCount() == 1);
        rows->setCurrentIndex(rows->model()->index(0, 0));
        QTest::mouseClick(find<QPushButton>("boutonParametres"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
    }

    // The code reader opened from the parameter screen; this computer has no camera: it says so.
    void openReader() {
        QTest::mouseClick(find<QPushButton>("boutonScanner"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("QRCodeReader"));
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QTRY_VERIFY(!test::DesktopSession::box("choix"));
    }

    QString qrFile(const QString& text) {
        const QString path = files_->filePath(QString("code-%1.png").arg(QDir(files_->path()).count()));
        QProcess encoder;
        encoder.start("/usr/bin/qrencode", {"-s", "4", "-o", path, text});
        return encoder.waitForFinished() && encoder.exitCode() == 0 ? path : QString();
    }

    // Types `text` into the field, replacing it, as a keyboard with accents would.
    bool type(const char* name, const QString& text) const {
        auto* field = find<QLineEdit>(name);
        if (!field) {
            return false;
        }
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        for (const QChar letter : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
            QApplication::sendEvent(field, &press);
        }
        return field->text() == text;
    }

    QRCodeReaderView* reader() const { return find<QRCodeReaderView>("QRCodeReader"); }

    // The label and code of the case files whose label holds `text`, from the simulator's store.
    static QList<QPair<QString, QString>> casesWith(const QString& store, const QString& text) {
        QFile file(store + "/casefiles.json");
        QList<QPair<QString, QString>> found;
        if (!file.open(QIODevice::ReadOnly)) {
            return found;
        }
        for (const auto& value : QJsonDocument::fromJson(file.readAll()).array()) {
            const auto object = value.toObject();
            if (object["label"].toString().contains(text, Qt::CaseInsensitive)) {
                found.append({object["label"].toString(), object["code"].toString()});
            }
        }
        return found;
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
        MediaBackend::install(std::make_shared<SimulatedMediaBackend>());
    }

    void caseChosenAfterLogInFillsTheDictationFields() {
        openParameters("Courrier Martin");
        QVERIFY(driver_->capture("parametres-dictee.png"));
        QTemporaryDir store, certificates;
        test::PeerProcess server(std::string(ORVANEH_SOURCE_DIR) + "/tools/casefile-https-server.py",
                                 {"--store", store.path().toStdString(), "--login", kLogin.toStdString(),
                                  "--password", kPassword.toStdString(), "--cert-dir",
                                  certificates.path().toStdString(), "--quiet"});
        QVERIFY(server.port() > 0);
        PreferenceStore::standard().setString("TrustedCertificatesFile", server.value("CA"));
        const QString host = QString("127.0.0.1:%1").arg(server.port());

        QTest::mouseClick(find<QPushButton>("boutonDossier"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("LoginViewController"));
        QCOMPARE(find<QLineEdit>("champMotDePasse")->echoMode(), QLineEdit::Password);
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        // Leaving the host field chooses the server's first database; Return in it offers them all.
        QVERIFY(type("champServeur", host));
        session_->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(session_->window()));
        find("champServeur")->setFocus();
        QTRY_VERIFY(find("champServeur")->hasFocus());
        QTest::keyClick(find("champServeur"), Qt::Key_Tab);
        QTRY_COMPARE(find<QPushButton>("champBase")->text(), QString("Cabinet Dupré & Associés"));
        QVERIFY(!test::DesktopSession::box("choix"));
        QTest::keyClick(find<QLineEdit>("champServeur"), Qt::Key_Return);
        QVERIFY(test::ScreensDriver::answerBoxWith("choix", "SCP Lefèvre-Garnier (Besançon)"));
        QTRY_COMPARE(find<QPushButton>("champBase")->text(), QString("SCP Lefèvre-Garnier (Besançon)"));

        // A wrong password: the server's refusal, and the form stays.
        QVERIFY(type("champUtilisateur", kLogin));
        QVERIFY(type("champMotDePasse", "faux"));
        QTest::keyClick(find<QLineEdit>("champMotDePasse"), Qt::Key_Return);
        QTRY_VERIFY(test::DesktopSession::box("alerte"));
        QVERIFY(test::DesktopSession::box("alerte")->text().contains("incorrect"));
        QVERIFY(test::ScreensDriver::answerBox("alerte", "bouton0"));
        QVERIFY(find("champMotDePasse")->isVisible());
        QVERIFY(driver_->capture("connexion.png"));

        QVERIFY(type("champMotDePasse", kPassword));
        QTest::mouseClick(find<QPushButton>("boutonConnexion"), Qt::LeftButton);
        // The case list, inside the log-in screen, searching the dictation's title.
        QListWidget* rows = nullptr;
        QTRY_VERIFY((rows = find<QListWidget>("listeDossiers")) && rows->isVisible());
        QVERIFY(driver_->waitForScreen("LoginViewController"));
        QCOMPARE(find<QLineEdit>("champRecherche")->text(), QString("Courrier Martin"));
        QCOMPARE(find<QLineEdit>("champRecherche")->placeholderText(), QString("Numéro ou désignation"));
        QTRY_VERIFY(rows->count() > 0 && !find("progressionDossiers")->isVisible());
        // Emptied, the search shows the recent case files.
        QVERIFY(type("champRecherche", ""));
        QTest::keyClick(find<QLineEdit>("champRecherche"), Qt::Key_Return);
        QTRY_COMPARE(rows->count(), 20);

        const auto erables = casesWith(store.path(), "Érables");
        QCOMPARE(erables.size(), 1);
        QVERIFY(type("champRecherche", "érables"));
        QTest::keyClick(find<QLineEdit>("champRecherche"), Qt::Key_Return);
        QTRY_COMPARE(rows->count(), 1);
        QTRY_VERIFY(!find("progressionDossiers")->isVisible());
        QCOMPARE(rows->item(0)->data(Qt::UserRole).toString(), erables[0].second + " - " + erables[0].first);
        QVERIFY(driver_->capture("dossiers.png"));
        rows->setCurrentRow(0);
        QTest::keyClick(rows, Qt::Key_Return);

        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        QTRY_COMPARE(find<QLineEdit>("champTitre")->text(), erables[0].first);
        QCOMPARE(identification(), erables[0].second);

        // Logged in now: the list opens at once, searching the identification; cancelling keeps
        // the fields.
        QTest::mouseClick(find<QPushButton>("boutonDossier"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("DossierListeViewController"));
        QCOMPARE(find<QLineEdit>("champRecherche")->text(), erables[0].second);
        QTRY_COMPARE(find<QListWidget>("listeDossiers")->count(), 1);
        QVERIFY(type("champRecherche", "aucun dossier ne porte ce nom"));
        QTest::keyClick(find<QLineEdit>("champRecherche"), Qt::Key_Return);
        QTRY_COMPARE(find<QListWidget>("listeDossiers")->item(0)->data(Qt::UserRole).toString(),
                     QString("Votre recherche n'a produit aucun résultat."));
        // The notice chooses nothing.
        QTest::mouseDClick(find<QListWidget>("listeDossiers")->viewport(), Qt::LeftButton);
        QTest::mouseClick(find<QPushButton>("boutonAnnuler"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        QCOMPARE(identification(), erables[0].second);
    }

    void printedCodeReadFromPicturesWithoutCamera() {
        openParameters("Compte rendu");
        openReader();
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        QVERIFY(driver_->capture("lecteur-code.png"));
        // A picture without a code: the reader says so and stays.
        QImage blank(200, 200, QImage::Format_RGB888);
        blank.fill(Qt::white);
        const QString blankFile = files_->filePath("blanc.png");
        QVERIFY(blank.save(blankFile));
        reader()->openPicture(blankFile);
        QTRY_VERIFY(test::DesktopSession::box("choix"));
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QVERIFY(driver_->waitForScreen("QRCodeReader"));

        const QString file = qrFile("DOS-2024-0042 é");
        QVERIFY(!file.isEmpty());
        reader()->openPicture(file);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        QTRY_COMPARE(identification(), QString("DOS-2024-0042 é"));

        // The clipboard's image; then the close button leaves the field alone.
        openReader();
        QApplication::clipboard()->setImage(QImage(qrFile("PAT-77")));
        QTest::mouseClick(find<QPushButton>("boutonCollerImage"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        QTRY_COMPARE(identification(), QString("PAT-77"));
        openReader();
        QTest::mouseClick(find<QPushButton>("boutonFermer"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        QCOMPARE(identification(), QString("PAT-77"));
    }

    // From the recording screen the code read becomes the recording's identification.
    void codeReadFromTheRecorderReachesTheRecording() {
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        QVERIFY(author.insertUser() > 0);
        auto media = std::make_shared<SimulatedMediaBackend>();
        media->setRecordPermission(AudioSession::RecordPermission::Granted);
        MediaBackend::install(media);
        session_->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(session_->window()));
        QTest::mouseClick(find<QPushButton>("boutonNouvelleDictee"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("AudioRecordControllerThree"));
        auto recorder = std::dynamic_pointer_cast<AudioRecordControllerThree>(
            session_->desktop().application().navigation().top());
        QVERIFY(recorder);

        QTest::mouseClick(find<QPushButton>("boutonScanner"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("QRCodeReader"));
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        reader()->openPicture(qrFile("REC-2024-5"));
        QVERIFY(driver_->waitForScreen("AudioRecordControllerThree"));
        QTRY_COMPARE(QString::fromStdString(recorder->paramWorkflow().secondField), QString("REC-2024-5"));
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::CaseFileViewsTest)
#include "CaseFileViewsTest.moc"
