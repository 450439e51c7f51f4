#include "tests/desktop/support/ScreensDriver.h"

#include "Classes/packaging/Entity.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QtTest>

namespace orvaneh::test {

namespace {

void collect(const QAbstractItemModel* model, const QModelIndex& parent, QList<QModelIndex>& rows) {
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        rows << index;
        collect(model, index, rows);
    }
}

QList<QModelIndex> allRows(QAbstractItemView* view) {
    QList<QModelIndex> rows;
    if (view && view->model()) {
        collect(view->model(), view->rootIndex(), rows);
    }
    return rows;
}

} // namespace

bool ScreensDriver::waitForScreen(const char* name, int timeout) const {
    const bool shown = QTest::qWaitFor(
        [&] { return session_.shownScreen() && session_.shownScreen()->objectName() == name; }, timeout);
    if (!shown) {
        qWarning("screen %s not shown (shown: %s)", name,
                 session_.shownScreen() ? qPrintable(session_.shownScreen()->objectName()) : "none");
    }
    return shown;
}

bool ScreensDriver::leaveSiteEditor() const {
    if (!waitForScreen("SiteViewController")) {
        return false;
    }
    QTest::mouseClick(find<QPushButton>("boutonRetour"), Qt::LeftButton);
    return answerBox("choix", "bouton1") && waitForScreen("ListeDictViewController");
}

bool ScreensDriver::openFromMenu(int tag) const {
    auto* menu = find<QPushButton>("boutonMenu");
    if (!menu || !menu->isVisible()) {
        qWarning("no menu button on this screen");
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton);
    const QByteArray name = "menu" + QByteArray::number(tag);
    QPushButton* entry = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (entry = find<QPushButton>(name.constData())) && entry->isVisible(); })) {
        return false;
    }
    QTest::mouseClick(entry, Qt::LeftButton);
    return true;
}

bool ScreensDriver::answerBox(const char* box, const char* button) {
    if (!QTest::qWaitFor([&] { return DesktopSession::box(box) != nullptr; })) {
        qWarning("no box %s", box);
        return false;
    }
    auto* choice = DesktopSession::box(box)->findChild<QPushButton*>(button);
    if (!choice) {
        qWarning("no button %s in box %s", button, box);
        return false;
    }
    QTest::mouseClick(choice, Qt::LeftButton);
    return true;
}

bool ScreensDriver::answerBoxWith(const char* box, const QString& text) {
    if (!QTest::qWaitFor([&] { return DesktopSession::box(box) != nullptr; })) {
        qWarning("no box %s", box);
        return false;
    }
    for (auto* button : DesktopSession::box(box)->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    }
    qWarning("no button %s in box %s", qPrintable(text), box);
    return false;
}

bool ScreensDriver::type(const char* field, const QString& text) const {
    auto* edit = find<QLineEdit>(field);
    if (!edit) {
        qWarning("no field %s", field);
        return false;
    }
    edit->selectAll();
    QTest::keyClicks(edit, text);
    return edit->text() == text;
}

bool ScreensDriver::choose(const char* field, const QString& text) const {
    auto* button = find<QPushButton>(field);
    if (!button || !button->isEnabled()) {
        qWarning("no field %s to touch", field);
        return false;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    QAbstractItemView* rows = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (rows = find<QAbstractItemView>("listeChoix")) && rows->isVisible(); })) {
        qWarning("no picker for %s", field);
        return false;
    }
    return clickRow(rows, text) && QTest::qWaitFor([&] { return find<QPushButton>(field)->isVisible(); });
}

bool ScreensDriver::clickRow(QAbstractItemView* view, const QString& text) {
    for (const auto& index : allRows(view)) {
        if (index.data().toString().startsWith(text)) {
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            return true;
        }
    }
    qWarning("no row %s", qPrintable(text));
    return false;
}

QStringList ScreensDriver::rowTexts(QAbstractItemView* view) {
    QStringList texts;
    for (const auto& index : allRows(view)) {
        texts << index.data().toString();
    }
    return texts;
}

bool ScreensDriver::importCatalogue() {
    static constexpr const char* kCatalogue = R"(<?xml version="1.0" encoding="utf-8"?>
<Catalogue>
  <LoginUserInfos>
    <LoginUserInfo><Role>Dictant</Role><LoginName>plefebvre</LoginName>
      <Context>Consultation;Échographie</Context></LoginUserInfo>
    <LoginUserInfo><Role>Dictant</Role><LoginName>cmoreau</LoginName><Context /></LoginUserInfo>
    <LoginUserInfo><Role>Dictant</Role><LoginName>ndurand</LoginName><Context>Radiologie</Context></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>sbernard</LoginName></LoginUserInfo>
    <LoginUserInfo><Role>Secretaire</Role><LoginName>lpetit</LoginName></LoginUserInfo>
  </LoginUserInfos>
  <Worktypes>
    <Worktype><Nom>Compte rendu</Nom><Secretaire>sbernard</Secretaire><Type>word</Type></Worktype>
    <Worktype><Nom>Courrier</Nom><Type>Editeur interne</Type></Worktype>
    <Worktype><Nom>Note</Nom><Type>Lettre</Type></Worktype>
  </Worktypes>
  <Services>
    <Service><Guid>S1</Guid><Name>Clinique du Parc</Name><IsSite>true</IsSite><SiteId>S1</SiteId>
      <ServiceUsers><UserId>plefebvre</UserId></ServiceUsers><ServiceWorktypes /></Service>
    <Service><Guid>g-cardio</Guid><Name>Cardiologie</Name><IsSite>false</IsSite><SiteId>S1</SiteId>
      <DepartementParent>S1</DepartementParent>
      <ServiceUsers><UserId>sbernard</UserId><UserId>plefebvre</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Compte rendu</WorktypeId></ServiceWorktypes></Service>
    <Service><Guid>g-echo</Guid><Name>Échographie cardiaque</Name><IsSite>false</IsSite><SiteId>S1</SiteId>
      <DepartementParent>g-cardio</DepartementParent>
      <ServiceUsers><UserId>plefebvre</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Courrier</WorktypeId><WorktypeId>Note</WorktypeId></ServiceWorktypes></Service>
    <Service><Guid>g-urg</Guid><Name>Urgences</Name><IsSite>false</IsSite><SiteId>S1</SiteId>
      <DepartementParent>S1</DepartementParent>
      <ServiceUsers><UserId>lpetit</UserId><UserId>cmoreau</UserId></ServiceUsers>
      <ServiceWorktypes><WorktypeId>Note</WorktypeId></ServiceWorktypes></Service>
  </Services>
</Catalogue>
)";
    std::string error;
    if (!Entity::importCatalogue(kCatalogue, &error)) {
        qWarning("%s", error.c_str());
        return false;
    }
    return true;
}

QStringList ScreensDriver::unnamedControls() const {
    QWidget* shown = session_.shownScreen();
    if (!shown) {
        return {"aucun écran"};
    }
    QStringList problems;
    int controls = 0;
    for (auto* widget : shown->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QComboBox*>(widget) ||
                             qobject_cast<QTabBar*>(widget);
        // Qt's own parts (a combo box's line, a scroll area's viewport) carry Qt's names.
        if (!control || !widget->isVisibleTo(shown) || widget->objectName().startsWith("qt_")) {
            continue;
        }
        ++controls;
        const QString what =
            QString("%1 %2 in %3")
                .arg(widget->metaObject()->className(), widget->objectName(), shown->objectName());
        if (widget->objectName().isEmpty() || widget->accessibleName().isEmpty() ||
            widget->toolTip().isEmpty()) {
            problems << what;
        }
    }
    if (controls == 0) {
        problems << "aucun contrôle dans " + shown->objectName();
    }
    return problems;
}

bool ScreensDriver::capture(const char* name) const {
    const QString captures = qEnvironmentVariable("ORVANEH_CAPTURE_DIR");
    if (captures.isEmpty()) {
        return true;
    }
    QTest::qWait(200);
    return session_.window()->grab().save(captures + "/" + name);
}

} // namespace orvaneh::test
