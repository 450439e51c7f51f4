#pragma once

#include <QAbstractTableModel>
#include <memory>

namespace orvaneh {

class ListeDictViewController;

// The dictation list's rows as Qt's views ask for them: a cell's texts are made when it is drawn,
// so that a list of thousands of dictations costs only the rows on screen. Reads the
// controller's rows; reset() after each of its changes.
class DictationListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn, StateColumn, DurationsColumn, PriorityColumn, DateColumn, ColumnCount };
    // The dictation's identifier, under Qt::UserRole on any column.
    static constexpr int IdRole = Qt::UserRole;

    explicit DictationListModel(std::shared_ptr<ListeDictViewController> list, QObject* parent = nullptr);

    // The controller's rows changed: the views ask again.
    void reset();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::shared_ptr<ListeDictViewController> list_;
};

} // namespace orvaneh
