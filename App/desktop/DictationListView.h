#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTabBar;
class QTreeView;

namespace orvaneh {

class DictationListModel;
class ListeDictViewController;

// The dictation list: the outbox and sent tabs, one line per dictation (title, state,
// durations, priority, date; the rows drawn lazily by DictationListModel), the empty list's text
// and the buttons. Asked again after each change of the controller; every action goes to it. A right click on
// a row is the long press that opens the closing menu.
class DictationListView : public QWidget {
    Q_OBJECT
public:
    explicit DictationListView(std::shared_ptr<ListeDictViewController> list, QWidget* parent = nullptr);
    ~DictationListView() override;

    // Draws the controller's state again.
    void refresh();
    // Called once, when the first painting of the list (rows included) is done: the end of the
    // start-up, for measuring it.
    void setFirstPaintHook(std::function<void()> hook);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<ListeDictViewController> list_;
    QTabBar* tabs_;
    QTreeView* rows_;
    DictationListModel* model_;
    QLabel* empty_;
    QPushButton* newDictation_;
    QPushButton* parameters_;
    QPushButton* closing_;
    QPushButton* delete_;
    std::function<void()> firstPaint_;

    // The selected row's index in the controller's rows, or -1.
    int currentRow() const;
    void updateButtons();
};

} // namespace orvaneh
