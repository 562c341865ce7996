#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QPair>

namespace kx {

class Table;

// resultModel: the statistics rows of resultTable as the grid shows them, "Azonosító" (SZOV) and
// "Érték" (NUM). Holds a copy of the visible rows only (one showing's rows, a few dozen at
// most), taken when the window asks for it, so painting the grid never reaches the server.
class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultGridModel(Table& table, QObject* parent = nullptr);

    static const QList<int>& widths(); // 370, 215

    // Reads the rows that pass the table's filter, in key order.
    void reload();
    // Forgets the rows without asking the server (after they were deleted).
    void clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Table& m_table;
    QList<QPair<QString, QString>> m_rows; // SZOV, NUM
};

} // namespace kx
