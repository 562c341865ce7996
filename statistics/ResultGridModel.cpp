#include "ResultGridModel.h"

#include "data/records/Columns.h"
#include "data/table/Table.h"

#include <QBrush>
#include <QColor>

namespace kx {

ResultGridModel::ResultGridModel(Table& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {}

const QList<int>& ResultGridModel::widths() {
    static const QList<int> w{370, 215};
    return w;
}

void ResultGridModel::reload() {
    QList<QPair<QString, QString>> rows;
    if (m_table.isOpen()) {
        for (m_table.first(); !m_table.eof(); m_table.next())
            rows.append(
                {m_table.asString(column::resultLabel), m_table.asString(column::resultValue)});
    }
    // The old rows stay until the new ones are all read: a failed read changes nothing.
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ResultGridModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int ResultGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? m_rows[index.row()].first : m_rows[index.row()].second;
    case Qt::ForegroundRole:
        return QBrush(Qt::blue);
    default:
        return {};
    }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return section == 0 ? QStringLiteral("Azonosító") : QStringLiteral("Érték");
    case Qt::TextAlignmentRole:
        return section == 1 ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return QBrush(QColor(0, 0, 128));
    default:
        return {};
    }
}

Qt::ItemFlags ResultGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace kx
