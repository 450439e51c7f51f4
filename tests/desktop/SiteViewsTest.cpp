// The site screens driven as a person would: the first start's editor, the list it fills, a
// site edited and deleted from the list, and a workflow imported from the FTP office simulator
// through the list, then offered by the parameter screen.
#include "support/PeerProcess.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace orvaneh {

class SiteViewsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    QTreeWidget* sites() const { return find<QTreeWidget>("listeSites"); }
    QStringList siteColumn(int column) const {
        QStringList texts;
        for (int row = 0; row < sites()->topLevelItemCount(); ++row) {
            texts << sites()->topLevelItem(row)->text(column);
        }
        return texts;
    }
    void type(const char* field, const QString& text) {
        auto* edit = find<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // Fills the editor shown and saves it.
    void typeSite(const QString& name, const QString& address, const QString& login,
                  const QString& password) {
        type("champNom", name);
        type("champAdresse", address);
        type("champUtilisateur", login);
        type("champMotDePasse", password);
        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
    }
    void selectSite(int row) { sites()->setCurrentItem(sites()->topLevelItem(row)); }

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

    void siteTypedInTheFirstEditorIsTheDefaultInTheList() {
        QVERIFY(session_->start());
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        QCOMPARE(find<QLineEdit>("champMotDePasse")->echoMode(), QLineEdit::Password);
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        QVERIFY(find<QPushButton>("segmentFtp")->isChecked());
        // Tab goes down the form.
        QStringList tabOrder;
        QWidget* field = find("champNom");
        for (int step = 0; step < 50 && tabOrder.size() < 9; ++step, field = field->nextInFocusChain()) {
            if (field->focusPolicy() & Qt::TabFocus && !field->objectName().isEmpty()) {
                tabOrder << field->objectName();
            }
        }
        QCOMPARE(tabOrder, (QStringList{"champNom", "segmentFtp", "segmentServiceWeb", "segmentServiceWebPhp",
                                        "segmentTranscription", "interrupteurEmail", "champAdresse",
                                        "champUtilisateur", "champMotDePasse"}));
        // Refused while empty: the reason shows and the editor stays.
        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
        QTRY_VERIFY(find("messageSite")->isVisible());
        QCOMPARE(find<QLabel>("messageSite")->text(), QString("Veuillez saisir le nom du site"));
        QCOMPARE(session_->shownScreen()->objectName(), QString("SiteViewController"));

        type("champNom", "Cabinet Martin");
        QVERIFY(!find("messageSite")->isVisible()); // typing again answers the refusal
        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
        QTRY_COMPARE(find<QLabel>("messageSite")->text(), QString("Veuillez saisir l'adresse"));
        QVERIFY(find("messageSite")->isVisible());
        type("champAdresse", "ftp.cabinet.fr");
        type("champUtilisateur", "jean");
        type("champMotDePasse", "s3cret");
        // Plain FTP until another choice, and said to travel in clear while chosen.
        auto* ftps = find<QComboBox>("choixFtps");
        QVERIFY(ftps->isVisible());
        QCOMPARE(ftps->currentText(), QString("non (FTP en clair)"));
        QVERIFY(find("avertissementFtps")->isVisible());
        QCOMPARE(find<QLabel>("avertissementFtps")->text(),
                 QString("En FTP sans chiffrement, le mot de passe et les dictées circulent en clair sur le "
                         "réseau."));
        QVERIFY(driver_->capture("site.png"));
        ftps->setFocus();
        QTest::keyClick(ftps, Qt::Key_Down);
        QTRY_VERIFY(!find("avertissementFtps")->isVisible());
        QCOMPARE(ftps->currentText(), QString("si le serveur le propose"));
        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));

        QVERIFY(driver_->openFromMenu(3));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));
        QCOMPARE(siteColumn(0), QStringList{"Cabinet Martin"});
        QCOMPARE(siteColumn(2), QStringList{"FTP"});
        QVERIFY(!siteColumn(1).join("").contains("s3cret"));
        // The very first site is the default one.
        QCOMPARE(sites()->topLevelItem(0)->checkState(0), Qt::Checked);
        QVERIFY(driver_->capture("sites.png"));

        // A lone row is current as soon as the list has the focus; clicking it only selects it, and that
        // is enough to edit or delete it.
        QVERIFY(!find("boutonModifier")->isEnabled());
        const QModelIndex address = sites()->model()->index(0, 1);
        sites()->selectionModel()->setCurrentIndex(address, QItemSelectionModel::NoUpdate);
        QTest::mouseClick(sites()->viewport(), Qt::LeftButton, {}, sites()->visualRect(address).center());
        QTRY_VERIFY(find("boutonModifier")->isEnabled());
        QVERIFY(find("boutonSupprimer")->isEnabled());
        QCOMPARE(sites()->topLevelItem(0)->checkState(0), Qt::Checked);
    }

    void siteAddedEditedAndDeletedFromTheList() {
        QVERIFY(session_->start());
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        typeSite("Cabinet Martin", "ftp.cabinet.fr", "jean", "s3cret");
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QVERIFY(driver_->openFromMenu(3));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));

        QTest::mouseClick(find<QPushButton>("boutonAjouter"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        // Another transport: the e-mail switch is offered for web services only.
        QVERIFY(!find("interrupteurEmail")->isEnabled());
        QVERIFY(find("avertissementFtps")->isVisible());
        QTest::mouseClick(find<QPushButton>("segmentServiceWeb"), Qt::LeftButton);
        QTRY_VERIFY(find("interrupteurEmail")->isEnabled());
        // FTPS is for FTP sites only.
        QVERIFY(!find("choixFtps")->isVisible());
        QVERIFY(!find("avertissementFtps")->isVisible());
        typeSite("Clinique", "https://ws.clinique.fr", "anne", "secret");
        QVERIFY2(driver_->waitForScreen("SiteListViewController"),
                 qPrintable(find<QLabel>("messageSite")->text()));
        QTRY_COMPARE(siteColumn(0), (QStringList{"Cabinet Martin", "Clinique"}));
        QCOMPARE(siteColumn(2), (QStringList{"FTP", "service web"}));

        // Checking another site makes it the only default.
        sites()->topLevelItem(1)->setCheckState(0, Qt::Checked);
        QTRY_COMPARE(sites()->topLevelItem(0)->checkState(0), Qt::Unchecked);
        QCOMPARE(sites()->topLevelItem(1)->checkState(0), Qt::Checked);

        selectSite(1);
        QTest::mouseClick(find<QPushButton>("boutonModifier"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        QCOMPARE(find<QLineEdit>("champNom")->text(), QString("Clinique"));
        QVERIFY(find<QPushButton>("segmentServiceWeb")->isChecked());
        QCOMPARE(find<QLineEdit>("champMotDePasse")->text(), QString("secret"));
        type("champNom", "Clinique du Parc");
        // Leaving asks; the changes are kept.
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));
        QTRY_COMPARE(siteColumn(0), (QStringList{"Cabinet Martin", "Clinique du Parc"}));

        selectSite(0);
        QTest::mouseClick(find<QPushButton>("boutonSupprimer"), Qt::LeftButton);
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QTRY_COMPARE(siteColumn(0), QStringList{"Clinique du Parc"});
    }

    // The fourth segment makes a transcription-service site: no e-mail switch, an https address,
    // shown again on that segment, and an import from it that says where the workflow comes from.
    void transcriptionServiceSiteFromTheFourthSegment() {
        QVERIFY(session_->start());
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        auto* segment = find<QPushButton>("segmentTranscription");
        QCOMPARE(segment->text(), QString("Service de transcription"));
        QTest::mouseClick(find<QPushButton>("segmentServiceWeb"), Qt::LeftButton);
        QTRY_VERIFY(find("interrupteurEmail")->isEnabled());
        QTest::mouseClick(segment, Qt::LeftButton);
        QTRY_VERIFY(!find("interrupteurEmail")->isEnabled());
        QVERIFY(segment->isChecked());
        QVERIFY(!find<QPushButton>("segmentServiceWeb")->isChecked());

        typeSite("Transcription", "ftp://transcription.example", "luc", "secret");
        QTRY_VERIFY(find("messageSite")->isVisible());
        QVERIFY(find<QLabel>("messageSite")->text().startsWith("L'adresse d'un service de transcription"));
        type("champAdresse", "https://transcription.example:8443");
        QVERIFY(driver_->capture("site-transcription.png"));
        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));

        QVERIFY(driver_->openFromMenu(3));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));
        QCOMPARE(siteColumn(2), QStringList{"service de transcription"});
        QTest::mouseClick(find<QPushButton>("boutonImporter"), Qt::LeftButton);
        QTRY_COMPARE(find<QLabel>("messageImport")->text(),
                     QString("Le service de transcription ne fournit pas de configuration : importez le "
                             "workflow depuis le site du cabinet."));
        QVERIFY(find("messageImport")->isVisible());
        QVERIFY(find("boutonImporter")->isEnabled());

        selectSite(0);
        QTRY_VERIFY(find("boutonModifier")->isEnabled());
        QTest::mouseClick(find<QPushButton>("boutonModifier"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        QTRY_VERIFY(find<QPushButton>("segmentTranscription")->isChecked());
        QCOMPARE(find<QLineEdit>("champAdresse")->text(), QString("https://transcription.example:8443"));
        QVERIFY(!find("interrupteurEmail")->isEnabled());
    }

    void workflowImportedFromTheOfficeIsOfferedByTheParameters() {
        QTemporaryDir office;
        QVERIFY(office.isValid());
        const std::string login = "jean@cabinet";
        const std::string password = "p@ss:w/rd";
        test::PeerProcess server(
            std::string(ORVANEH_SOURCE_DIR) + "/tools/office-ftp-server.py",
            {"--root", office.path().toStdString(), "--login", login, "--password", password, "--seed-demo"},
            (office.path() + "/server.log").toStdString());
        QVERIFY(server.port() != 0);

        QVERIFY(session_->start());
        QVERIFY(driver_->waitForScreen("SiteViewController"));
        typeSite("Cabinet", QString("127.0.0.1:%1").arg(server.port()), QString::fromStdString(login),
                 QString::fromStdString(password));
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QVERIFY(driver_->openFromMenu(3));
        QVERIFY(driver_->waitForScreen("SiteListViewController"));

        QTest::mouseClick(find<QPushButton>("boutonImporter"), Qt::LeftButton);
        // The server's configuration directories are offered; the first is taken.
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QTRY_COMPARE_WITH_TIMEOUT(find<QLabel>("messageImport")->text(), QString("Fin de l'importation"),
                                  20000);
        QVERIFY(find("messageImport")->isVisible());
        QVERIFY(!find("progressionImport")->isVisible());
        QVERIFY(find("boutonImporter")->isEnabled());

        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        QVERIFY(!test::ScreensDriver::rowTexts(find<QListWidget>("listeChoix")).isEmpty());
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::SiteViewsTest)
#include "SiteViewsTest.moc"
