#pragma once

#include <QWidget>
#include <memory>

class QTabBar;
class QTextBrowser;

namespace orvaneh {

class AboutController;

// The information pages: the controller's three tabs over a browser of the selected tab's local
// page. Links to other local pages open in it; links elsewhere go to the desktop's browser.
class AboutView : public QWidget {
    Q_OBJECT
public:
    explicit AboutView(std::shared_ptr<AboutController> about, QWidget* parent = nullptr);
    ~AboutView() override;

    void refresh();

private:
    std::shared_ptr<AboutController> about_;
    QTabBar* tabs_;
    QTextBrowser* page_;
};

} // namespace orvaneh
