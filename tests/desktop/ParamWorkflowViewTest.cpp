// The workflow parameter screens driven as a person would: the defaults chosen in the pickers of
// an imported directory and found again once saved, a picker left without a choice, and a
// dictation's own parameters edited from the list.
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "tests/desktop/support/DesktopSession.h"
#include "tests/desktop/support/ScreensDriver.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

namespace orvaneh {

class ParamWorkflowViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DesktopSession> session_;
    std::unique_ptr<test::ScreensDriver> driver_;

    template <class T = QWidget> T* find(const char* name) const { return driver_->find<T>(name); }
    QString shown(const char* field) const { return find<QPushButton>(field)->text(); }

    // Touches the field and then the row starting with `text` in its picker.
    bool choose(const char* field, const QString& text) {
        QTest::mouseClick(find<QPushButton>(field), Qt::LeftButton);
        QListWidget* rows = nullptr;
        if (!QTest::qWaitFor([&] { return (rows = find<QListWidget>("listeChoix")) && rows->isVisible(); })) {
            return false;
        }
        return test::ScreensDriver::clickRow(rows, text) &&
               QTest::qWaitFor([&] { return find<QPushButton>(field)->isVisible(); });
    }

    void startOnTheDefaults() {
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());
        QVERIFY(test::ScreensDriver::importCatalogue());
        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
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

    void defaultsChosenInThePickersAreSavedAndShownAgain() {
        startOnTheDefaults();
        // No author yet: what depends on him cannot be touched.
        QVERIFY(!find("champType")->isEnabled());
        QVERIFY(!find("champContexte")->isEnabled());

        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        QCOMPARE(test::ScreensDriver::rowTexts(find<QListWidget>("listeChoix")),
                 (QStringList{"plefebvre", "cmoreau", "ndurand"}));
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        QVERIFY(test::ScreensDriver::clickRow(find<QListWidget>("listeChoix"), "plefebvre"));
        QTRY_COMPARE(shown("champAuteur"), QString("plefebvre"));
        // His contexts make speech recognition possible.
        QVERIFY(find("champType")->isEnabled());
        QCOMPARE(shown("champType"), QString("Reconnaissance vocale"));
        QCOMPARE(shown("champContexte"), QString("Consultation"));

        QVERIFY(choose("champContexte", "Échographie"));
        QCOMPARE(shown("champContexte"), QString("Échographie"));
        QVERIFY(choose("champWorktype", "Courrier"));
        QCOMPARE(shown("champWorktype"), QString("Courrier"));
        QVERIFY(choose("champPriorite", "Haute"));
        QCOMPARE(shown("champPriorite"), QString("Haute"));
        QVERIFY(driver_->capture("parametres.png"));

        QTest::mouseClick(find<QPushButton>("boutonEnregistrer"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        // A new screen reads what was stored.
        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QCOMPARE(shown("champAuteur"), QString("plefebvre"));
        QCOMPARE(shown("champContexte"), QString("Échographie"));
        QCOMPARE(shown("champWorktype"), QString("Courrier"));
        QCOMPARE(shown("champPriorite"), QString("Haute"));
    }

    void pickerLeftWithoutChoiceAndFieldsClearedKeepNothing() {
        startOnTheDefaults();
        QVERIFY(choose("champAuteur", "ndurand"));
        const QString noAuthor = shown("champSecretaire"); // the text of an empty field

        // Escape closes the picker: the author stays.
        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("listeChoix") && find("listeChoix")->isVisible());
        QTest::keyClick(find("listeChoix"), Qt::Key_Escape);
        QTRY_VERIFY(find("champAuteur")->isVisible());
        QCOMPARE(shown("champAuteur"), QString("ndurand"));
        // So does its cancel button.
        QTest::mouseClick(find<QPushButton>("champAuteur"), Qt::LeftButton);
        QTRY_VERIFY(find("boutonAnnulerChoix") && find("boutonAnnulerChoix")->isVisible());
        QTest::mouseClick(find<QPushButton>("boutonAnnulerChoix"), Qt::LeftButton);
        QTRY_VERIFY(find("champAuteur")->isVisible());
        QCOMPARE(shown("champAuteur"), QString("ndurand"));

        QTest::mouseClick(find<QPushButton>("boutonEffacer"), Qt::LeftButton);
        QTRY_COMPARE(shown("champAuteur"), noAuthor);
        QCOMPARE(shown("champContexte"), noAuthor);
        // Back without saving: the stored defaults are still empty.
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QVERIFY(driver_->openFromMenu(2));
        QVERIFY(driver_->waitForScreen("ParamWorkflowDefault"));
        QCOMPARE(shown("champAuteur"), noAuthor);
    }

    void dictationParametersEditedFromTheListChangeItsRow() {
        QVERIFY(session_->start());
        DicteeModel draft;
        draft.titre = "Courrier Martin";
        draft.auteur = "plefebvre";
        draft.priorite = "Normale";
        draft.brouillon = true; // the sender leaves it alone
        draft.masterJobId = Tools::generateUUID();
        QVERIFY(DicteeRequest().insertDictee(draft) > 0);
        QVERIFY(test::ScreensDriver::importCatalogue());
        session_->stop();
        QVERIFY(session_->start());
        QVERIFY(driver_->leaveSiteEditor());

        auto* rows = find<QTreeView>("listeDictees");
        rows->setCurrentIndex(rows->model()->index(0, 0));
        QTest::mouseClick(find<QPushButton>("boutonParametres"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        // The dictation's own fields come first, apart from the workflow's.
        QVERIFY(find<QGroupBox>("groupeDictee")->isAncestorOf(find("champTitre")));
        QVERIFY(find<QGroupBox>("groupeWorkflow")->isAncestorOf(find("champAuteur")));
        auto* title = find<QLineEdit>("champTitre");
        QCOMPARE(title->text(), QString("Courrier Martin"));
        QVERIFY2(driver_->unnamedControls().isEmpty(), qPrintable(driver_->unnamedControls().join("; ")));
        QCOMPARE(shown("champAuteur"), QString("plefebvre"));

        title->selectAll();
        QTest::keyClicks(title, "Courrier Durand");
        QVERIFY(choose("champAuteur", "cmoreau"));
        // Without a context only plain dictation remains.
        QCOMPARE(shown("champType"), QString("Dictée numérique"));
        QVERIFY(!find("champContexte")->isEnabled());
        QTest::mouseClick(find<QPushButton>("boutonValider"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QTRY_COMPARE(session_->listColumn(0), QStringList{"Courrier Durand"});

        // Typed, then kept through the back button's question.
        rows->setCurrentIndex(rows->model()->index(0, 0));
        QTest::mouseClick(find<QPushButton>("boutonParametres"), Qt::LeftButton);
        QVERIFY(driver_->waitForScreen("ParamWorkflowDictee"));
        find<QLineEdit>("champTitre")->selectAll();
        QTest::keyClicks(find<QLineEdit>("champTitre"), "Courrier Petit");
        QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
        QVERIFY(test::ScreensDriver::answerBox("choix", "bouton0"));
        QVERIFY(driver_->waitForScreen("ListeDictViewController"));
        QTRY_COMPARE(session_->listColumn(0), QStringList{"Courrier Petit"});
    }
};

} // namespace orvaneh

QTEST_MAIN(orvaneh::ParamWorkflowViewTest)
#include "ParamWorkflowViewTest.moc"
