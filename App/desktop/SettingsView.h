#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>

class QLabel;

namespace orvaneh {

class SettingsViewController;

// The settings: one group per kind of option, one row per option — a check box for a yes/no,
// a list for a value among choices, a text field otherwise — with the option's explanation as
// its tooltip. A value is handed to the controller as given; its refusal shows under the row,
// which returns to the stored value. The controller's remarks show above the groups.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(std::shared_ptr<SettingsViewController> settings, QWidget* parent = nullptr);
    ~SettingsView() override;

    void refresh();

private:
    struct Row {
        QWidget* editor = nullptr;
        QLabel* problem = nullptr;
    };
    std::shared_ptr<SettingsViewController> settings_;
    QLabel* remarks_;
    std::map<std::string, Row> rows_;

    void apply(const std::string& key, const QString& text);
};

} // namespace orvaneh
