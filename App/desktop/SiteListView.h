#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace orvaneh {

class SiteListViewController;

// The site list: one line per site (name, address with its password masked, type), the default
// site checked (checking another makes it the default), and the buttons to add, edit, delete a
// site and import the default site's workflow, whose progress and outcome show below the list.
class SiteListView : public QWidget {
    Q_OBJECT
public:
    enum Column { NameColumn, AddressColumn, TypeColumn, ColumnCount };

    explicit SiteListView(std::shared_ptr<SiteListViewController> list, QWidget* parent = nullptr);
    ~SiteListView() override;

    void refresh();

protected:
    // Back on the list after the editor: what it stored shows.
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<SiteListViewController> list_;
    QTreeWidget* rows_;
    QLabel* empty_;
    QPushButton* edit_;
    QPushButton* delete_;
    QPushButton* import_;
    QProgressBar* progress_;
    QLabel* importMessage_;

    int currentRow() const;
};

} // namespace orvaneh
