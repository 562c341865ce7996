#include "RecordGridModel.h"

#include "data/query/Query.h"
#include "data/records/Columns.h"

#include <QBrush>
#include <QColor>

namespace kx {

const QStringList& RecordGridModel::fields() {
    static const QStringList f{column::title,     column::type,     column::category,
                               column::reference, column::date,     column::recorder,
                               column::fileName,  column::fileType, column::fileSize};
    return f;
}

const QStringList& RecordGridModel::titles() {
    static const QStringList t{QStringLiteral("Cím"),
                               QStringLiteral("Típus"),
                               QStringLiteral("Kategória"),
                               QStringLiteral("Hivatkozás"),
                               QStringLiteral("Dátum"),
                               QStringLiteral("Felvevő"),
                               QStringLiteral("Tárolt fájl"),
                               QStringLiteral("Tárolt fájl típusa"),
                               QStringLiteral("Tárolt fájl mérete")};
    return t;
}

const QList<int>& RecordGridModel::widths() {
    static const QList<int> w{370, 250, 250, 350, 150, 250, 200, 200, 120};
    return w;
}

RecordGridModel::RecordGridModel(Query& query, QObject* parent)
    : QAbstractTableModel(parent), m_query(query) {
    connect(&m_query, &Query::reset, this, &RecordGridModel::reload);
    connect(&m_query, &Query::rowsAppended, this, &RecordGridModel::grow);
    reload();
}

void RecordGridModel::reload() {
    beginResetModel();
    m_columnOfField.clear();
    for (const QString& f : fields())
        m_columnOfField << (m_query.isOpen() ? m_query.columnIndex(f) : -1);
    // The rows in hand: the first screen while the rest is still read (never waited for here).
    m_rows = m_query.isOpen() ? m_query.rowsInHand() : 0;
    endResetModel();
}

// Inserted rather than reset, so that the grid keeps its place, its current row and the
// user's scrolling while the rest of a long result arrives.
void RecordGridModel::grow() {
    const int rows = m_query.isOpen() ? m_query.rowsInHand() : 0;
    if (rows < m_rows) {
        reload();
    } else if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
}

int RecordGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int RecordGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fields().size());
}

QVariant RecordGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const int column = m_columnOfField.value(index.column(), -1);
        return column < 0 ? QString() : m_query.textAt(index.row(), column);
    }
    case Qt::TextAlignmentRole:
        return index.column() == 8 ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return QBrush(Qt::blue);
    default:
        return {};
    }
}

QVariant RecordGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (role == Qt::DisplayRole)
        return titles().value(section);
    if (role == Qt::TextAlignmentRole)
        return section == 8 ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole)
        return QBrush(QColor(0, 0, 128));
    return {};
}

Qt::ItemFlags RecordGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace kx
