#pragma once

#include <QWidget>

class QFrame;

namespace orvaneh {

class Menu;

// The main menu as a panel that slides in at the window's left edge over a dimmed backdrop: the
// logo and the menu's entries (title and icon). Touching an entry hands it to the menu, which
// decides what it does and closes; a touch outside the panel or Escape closes it. The panel
// deletes itself once the menu is closed. The menu must outlive it.
class MainMenuView : public QWidget {
    Q_OBJECT
public:
    MainMenuView(Menu& menu, QWidget* window);
    ~MainMenuView() override;

    // Shows the panel over the whole window, sliding in.
    void open();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Menu& menu_;
    QFrame* panel_;
    // Closed: out of the window, no longer listening to the menu, deleted on a later turn (maybe
    // after the menu itself).
    bool closed_ = false;

    void follow();
    void layOut();
};

} // namespace orvaneh
