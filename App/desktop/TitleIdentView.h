#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvaneh {

class ParamWorkflowDicteeTitleIdentViewController;

// The small editor of the dictation's title and identification value, opened from the
// recording screen's option bar: two fields with the office's labels as placeholders, and the
// button that ends the editing (the controller refuses a text that is not one line); Annuler or Escape
// closes it without a change.
class TitleIdentView : public QWidget {
    Q_OBJECT
public:
    explicit TitleIdentView(std::shared_ptr<ParamWorkflowDicteeTitleIdentViewController> editor,
                            QWidget* parent = nullptr);
    ~TitleIdentView() override;

    void refresh();

private:
    std::shared_ptr<ParamWorkflowDicteeTitleIdentViewController> editor_;
    QLineEdit* title_;
    QLineEdit* ident_;
    QPushButton* done_;
    QPushButton* cancel_;

    void finish();
};

} // namespace orvaneh
