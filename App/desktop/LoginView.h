#pragma once

#include <QWidget>
#include <memory>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedLayout;

namespace orvaneh {

class DossierListeView;
class LoginViewController;

// The log-in screen of the practice-management server: host, database, user, password, the
// save-password option and the validate button; once logged in, the case list in its place.
class LoginView : public QWidget {
    Q_OBJECT
public:
    explicit LoginView(std::shared_ptr<LoginViewController> login, QWidget* parent = nullptr);
    ~LoginView() override;

    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<LoginViewController> login_;
    QStackedLayout* pages_;
    QWidget* form_;
    QLineEdit* host_;
    QPushButton* database_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* savePassword_;
    QPushButton* validate_;
    QProgressBar* progress_;
    DossierListeView* caseList_ = nullptr;
    // Leaving the host field asks for the databases only when it was edited since the last request.
    bool hostEdited_ = false;
};

} // namespace orvaneh
