#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace kx {

class Query;

// The nine columns of the record grid over the record query. It holds no rows of its own:
// every cell is read from the query, so the grid costs what the query's visible columns do.
class RecordGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordGridModel(Query& query, QObject* parent = nullptr);

    static const QStringList& fields(); // CIM, TIP, KAT, HIV, DATUM, FELVEV, FNEV, FTIP, FMER
    static const QStringList& titles();
    static const QList<int>& widths();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void reload();
    void grow(); // rows added after those shown, which stay as they are
    Query& m_query;
    QList<int> m_columnOfField; // query column per grid column, -1 when missing
    int m_rows = 0;
};

} // namespace kx
