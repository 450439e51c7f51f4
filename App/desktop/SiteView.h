#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvaneh {

class SiteViewController;

// The site editor: name, transport choice with the e-mail switch, address, login, password
// (masked), the FTPS choice of FTP sites with the warning of plain FTP, and the save button. Leaving through
// the back button asks the controller's question.
class SiteView : public QWidget {
    Q_OBJECT
public:
    explicit SiteView(std::shared_ptr<SiteViewController> editor, QWidget* parent = nullptr);
    ~SiteView() override;

    void refresh();

private:
    std::shared_ptr<SiteViewController> editor_;
    QLineEdit* name_;
    QButtonGroup* transport_;
    QCheckBox* email_;
    QLineEdit* address_;
    QLineEdit* login_;
    QLineEdit* password_;
    QLabel* ftpsTitle_;
    QComboBox* ftps_;
    QLabel* ftpsWarning_;
    QLabel* message_;
    // The controller's last message once the person has typed again: no longer shown.
    std::string seenMessage_;

    void edited();
};

} // namespace orvaneh
