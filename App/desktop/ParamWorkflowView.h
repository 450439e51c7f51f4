#pragma once

#include <QWidget>
#include <map>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedLayout;

namespace orvaneh {

class AbstractParamWorkflow;
class SelectionListView;

// Both workflow parameter screens: a row per field of the controller, in its order — a button
// opening the field's picker (or the service picker), a text field for the title and the
// identification value — and the screen's own buttons (save and clear for the defaults,
// validate for a dictation). An open picker takes the screen's place until it answers.
class ParamWorkflowView : public QWidget {
    Q_OBJECT
public:
    explicit ParamWorkflowView(std::shared_ptr<AbstractParamWorkflow> screen, QWidget* parent = nullptr);
    ~ParamWorkflowView() override;

    void refresh();

private:
    std::shared_ptr<AbstractParamWorkflow> screen_;
    QStackedLayout* pages_;
    QWidget* form_;
    std::map<int, QPushButton*> choosers_;
    std::map<int, QLineEdit*> typed_;
    SelectionListView* picker_ = nullptr;

    QWidget* makeRow(int tag, QWidget* parent);
    // The typed fields into the controller (a click on a button may come before the focus leaves).
    // False when one was refused.
    bool commitTypedFields();
};

} // namespace orvaneh
