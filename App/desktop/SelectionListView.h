#pragma once

#include <QWidget>
#include <memory>

class QListWidget;

namespace orvaneh {

class SelectionView;

// A choice list: its title, the texts offered with the checked one marked, and its two buttons.
// Touching a row picks it and answers at once (the list then closes); Escape cancels.
class SelectionListView : public QWidget {
    Q_OBJECT
public:
    explicit SelectionListView(std::shared_ptr<SelectionView> selection, QWidget* parent = nullptr);

    const SelectionView* selection() const { return selection_.get(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::shared_ptr<SelectionView> selection_;
    QListWidget* rows_;

    void pick(int row);
};

} // namespace orvaneh
