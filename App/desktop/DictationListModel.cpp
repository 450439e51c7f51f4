#include "App/desktop/DictationListModel.h"

#include "Classes/app/ListeDictViewController.h"

#include <QFont>

namespace orvaneh {

DictationListModel::DictationListModel(std::shared_ptr<ListeDictViewController> list, QObject* parent)
    : QAbstractTableModel(parent), list_(std::move(list)) {}

void DictationListModel::reset() {
    beginResetModel();
    endResetModel();
}

int DictationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_->rows().size());
}

int DictationListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DictationListModel::data(const QModelIndex& index, int role) const {
    const auto& rows = list_->rows();
    if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= rows.size()) {
        return {};
    }
    const auto& row = rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case TitleColumn:
            return QString::fromStdString(row.title);
        case StateColumn:
            return QString::fromStdString(row.state);
        case DurationsColumn:
            return QString::fromStdString(row.durations);
        case PriorityColumn:
            return QString::fromStdString(row.priorityWord);
        case DateColumn:
            return QString::fromStdString(row.date);
        default:
            return {};
        }
    case Qt::ToolTipRole:
        return index.column() == TitleColumn ? QVariant(QString::fromStdString(row.subtitle)) : QVariant();
    case Qt::FontRole:
        if (row.transferring) {
            // The sender holds it: shown, but nothing may be done with it until it lets go.
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case IdRole:
        return QVariant::fromValue<qlonglong>(row.idDictee);
    default:
        return {};
    }
}

QVariant DictationListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const titles[ColumnCount] = {"Titre", "État", "Durées", "Priorité", "Date"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString(titles[section]);
}

Qt::ItemFlags DictationListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const auto& rows = list_->rows();
    if (index.isValid() && static_cast<std::size_t>(index.row()) < rows.size() &&
        rows[static_cast<std::size_t>(index.row())].transferring) {
        flags &= ~Qt::ItemIsSelectable;
    }
    return flags;
}

} // namespace orvaneh
