#pragma once

#include "tests/desktop/support/DesktopSession.h"

#include <QString>
#include <QStringList>

class QAbstractItemView;

namespace orvaneh::test {

// What a person does on the window's screens, for tests: each step waits (pumping Qt's loop)
// for what it needs and answers false, with a warning, when it does not come.
class ScreensDriver {
public:
    explicit ScreensDriver(DesktopSession& session) : session_(session) {}

    // The widget of that name on the screen shown, else elsewhere in the window (its bar): views
    // of screens beneath, or on their way out, have controls of the same names.
    template <class T = QWidget> T* find(const char* name) const {
        if (auto* screen = session_.shownScreen()) {
            if (auto* widget = screen->findChild<T*>(name)) {
                return widget;
            }
        }
        return session_.window() ? session_.window()->findChild<T*>(name) : nullptr;
    }
    // Waits until the screen on top has that object name.
    bool waitForScreen(const char* name, int timeout = 5000) const;
    // Leaves the site editor of a first start without keeping anything.
    bool leaveSiteEditor() const;
    // Opens the main menu and touches the entry of that tag.
    bool openFromMenu(int tag) const;
    // Clicks the button of that name in the box shown ("choix", "question", "alerte").
    static bool answerBox(const char* box, const char* button);
    // Clicks the button of the box shown whose text is `text` (a menu's entries move with its state).
    static bool answerBoxWith(const char* box, const QString& text);
    // Replaces the text of the field of that name by typing `text`.
    bool type(const char* field, const QString& text) const;
    // Touches the picker field of that name, then its row starting with `text`; true once the
    // picker has closed.
    bool choose(const char* field, const QString& text) const;
    // Clicks the row of `view` whose text starts with `text` (every level of a tree).
    static bool clickRow(QAbstractItemView* view, const QString& text);
    // The texts of a list or tree, its first column, every level in order.
    static QStringList rowTexts(QAbstractItemView* view);
    // A small directory put in the profile as an import would: three authors (plefebvre with
    // two contexts, cmoreau without, ndurand), two typists, three worktypes, and a site whose
    // Cardiologie holds Échographie cardiaque, plus Urgences; plefebvre is in the first three.
    static bool importCatalogue();
    // The controls of the screen shown (buttons, fields, lists, tabs) lacking an object name, an
    // accessible name or a tooltip, one line each; "aucun contrôle" when it has none at all.
    QStringList unnamedControls() const;
    // Saves the window as `name` under ORVANEH_CAPTURE_DIR when it is set.
    bool capture(const char* name) const;

private:
    DesktopSession& session_;
};

} // namespace orvaneh::test
