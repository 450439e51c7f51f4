#pragma once

#include <QWidget>
#include <memory>

namespace orvaneh {

class SuperController;

// A screen not drawn yet on the desktop: its title, so that the navigation can be followed,
// and the window's back button to leave it.
class PlaceholderView : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderView(std::shared_ptr<SuperController> screen, QWidget* parent = nullptr);

private:
    // Kept alive as long as the view: the navigation releases screens on its own schedule.
    std::shared_ptr<SuperController> screen_;
};

} // namespace orvaneh
