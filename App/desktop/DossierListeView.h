#pragma once

#include <QWidget>
#include <memory>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace orvaneh {

class DossierListeViewController;

// The case list: a search field, the case files found (title in bold, the person responsible,
// the creation date and the nature below), a cancel button, a progress bar while the server
// answers. Choosing a row (double-click or Return) hands the case to the controller.
class DossierListeView : public QWidget {
    Q_OBJECT
public:
    explicit DossierListeView(std::shared_ptr<DossierListeViewController> list, QWidget* parent = nullptr);
    ~DossierListeView() override;

    void refresh();

private:
    std::shared_ptr<DossierListeViewController> list_;
    QLineEdit* search_;
    QListWidget* rows_;
    QPushButton* cancel_;
    QProgressBar* progress_;
};

} // namespace orvaneh
