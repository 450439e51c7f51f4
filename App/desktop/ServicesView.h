#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QListWidget;

namespace orvaneh {

class ServicesViewController;

// The service picker: the author's services in the controller's order, each indented by its
// level as the controller lays it out, at most one checked; touching a row checks it (or
// unchecks it), the confirm button answers.
class ServicesView : public QWidget {
    Q_OBJECT
public:
    explicit ServicesView(std::shared_ptr<ServicesViewController> picker, QWidget* parent = nullptr);
    ~ServicesView() override;

    void refresh();

private:
    std::shared_ptr<ServicesViewController> picker_;
    QListWidget* rows_;
    QLabel* empty_;
};

} // namespace orvaneh
