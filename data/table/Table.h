#pragma once

#include "data/table/TableBase.h"

#include <memory>

class QIODevice;

namespace kx {

class MariaConnection;
class RowGuard;

// Whole-table data set over one table of the record store, a paging cursor: it never copies
// the table. Count, locate and the row pass are statements on the server, rows are read in key
// order in pages of the short columns (RowPage), long ones on demand for the current row only.
// Writes and deletes go through its GuardedWriter.
class Table : public TableBase {
    Q_OBJECT
public:
    Table(MariaConnection& conn, const QString& tableName, QObject* parent = nullptr);
    ~Table() override;

    QString tableName() const;
    void setKeyField(const QString& field);    // default "AZ"
    void setFilter(const QString& filterText); // RowFilter text, applied on the server
    void setFiltered(bool on);
    // The fields by which a new row is recognised on the server when the connection was lost
    // during its write (e.g. the exact title); empty: every plain value written.
    void setNewRowIdentity(const QStringList& fields);

    void open() override;
    void close() override;
    void refresh() override;
    bool isOpen() const override;
    int recordCount() override;

    void first() override;
    void next() override;
    bool eof() override;
    bool locate(const QString& field, const QString& value, bool prefix) override;
    qint64 currentKey() const; // -1 when no current row

    bool isNull(const QString& field) override;
    // NULL or zero bytes; asked of many rows in a pass, like isNull(), without reading blobs.
    bool isNullOrEmpty(const QString& field);
    QString asString(const QString& field) override;
    QByteArray asBytes(const QString& field) override;
    qint64 saveBlobTo(const QString& field, QIODevice& out); // streamed in chunks
    qint64 blobSize(const QString& field);

    // While a guard is set, every post of an edited row and every delete runs in a
    // transaction of its own: the row is read with a lock by its key and checked by the
    // guard, then changed, then committed. nullptr: no guard, no transaction of its own.
    void setRowGuard(RowGuard* guard);
    // The columns read with the rows, in table order, and the long ones read on demand.
    QStringList rowFields() const;
    QStringList onDemandFields() const;
    QString keyField() const;
    MariaConnection& connection() const;

protected:
    void doEdit() override;
    void doPost(TableState state, const PendingRow& values) override;
    void doDelete() override;
    void pendingDropped() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kx
