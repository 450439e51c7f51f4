#pragma once

#include <QMainWindow>
#include <map>
#include <memory>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace orvaneh {

class BannerView;
class OrvanehAppDelegate;
class SuperController;

// The application's window: a navigation bar (back button, title, main menu), the banner, and
// a stack of views that follows the application's NavigationController, one view per screen
// on it, the top one shown (a presented screen over the stack). The application object must
// outlive the window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(OrvanehAppDelegate& application, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The preference holding the window's place and size, saved when it closes.
    static constexpr const char* kGeometryKey = "FenetreGeometrie";

    BannerView* banner() const { return banner_; }
    QLabel* activityIndicator() const { return activity_; }
    // The view drawing `screen`, if it is on the navigation.
    QWidget* viewOf(const SuperController* screen) const;

    // Views and bar brought in line with the navigation.
    void followNavigation();

protected:
    // The session ends (close button, logout, the program asked to stop): no question then; a
    // take in progress and unsaved work on a recording screen are kept as a draft.
    void closeEvent(QCloseEvent* event) override;

private:
    OrvanehAppDelegate& application_;
    QPushButton* back_;
    QLabel* title_;
    QPushButton* menu_;
    BannerView* banner_;
    QStackedWidget* stack_;
    QLabel* activity_;
    std::map<const SuperController*, QWidget*> views_;

    static QWidget* makeView(const std::shared_ptr<SuperController>& screen);
    void openMenu();
};

} // namespace orvaneh
