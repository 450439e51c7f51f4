#pragma once

#include <QWidget>
#include <memory>

class QTabWidget;

namespace orvaneh {

class ParametreTabBarController;

// The settings container: a tab per screen of the controller (the site list, the default
// workflow parameters), each drawn by that screen's own view.
class ParametreTabBarView : public QWidget {
    Q_OBJECT
public:
    explicit ParametreTabBarView(std::shared_ptr<ParametreTabBarController> container,
                                 QWidget* parent = nullptr);
    ~ParametreTabBarView() override;

    void refresh();

private:
    std::shared_ptr<ParametreTabBarController> container_;
    QTabWidget* tabs_;
};

} // namespace orvaneh
