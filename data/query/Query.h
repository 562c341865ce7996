#pragma once

#include "data/dataset/DataSetBase.h"

#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace kx {

class MariaConnection;
struct RowSet;

// A statement's result on the client: all rows of the visible columns, the total count,
// a current row, a client-side sort by one field and a local row filter.
//
// Columns named deferred (blobs, long text) are not fetched with the rows when the statement
// is a "select * from <table> ..." whose table has the key column: the layer asks the server
// for the other columns and the key, and reads a deferred value of the current row by its
// key on demand. The statement text itself is never changed by the caller's view.
//
// A refresh of such a statement reads only what changed when the statement's rows depend on
// its table alone: nothing when the server says the table is unchanged since the rows were
// read, else the rows whose key or digest differ (see RowDelta), put in their places.
class Query : public DataSetBase {
    Q_OBJECT
public:
    explicit Query(MariaConnection& conn, QObject* parent = nullptr);
    ~Query() override;

    void setSql(const QString& sql);
    void clearSql();
    QString sql() const;
    void setKeyField(const QString& field);            // e.g. "AZ"
    void setDeferredFields(const QStringList& fields); // e.g. FOTO, FILE, LEIRAS, KSZO

    void open(); // runs the statement; no-op when open
    void close() override;
    void refresh(); // runs the statement again, keeps sort, filter and (by key) the current row
    bool isOpen() const override;

    // A result longer than rows is opened with its first rows only (one short statement), so
    // that the grid shows them at once; the whole result is read meanwhile on a connection of
    // its own, and its rows join those in hand as they arrive (rowsAppended; a reset when the
    // first ones differ from the first screen's). Whatever needs the whole result
    // (the count, a row further on, the sort, the last row) waits for it; a refresh asked for
    // meanwhile runs when it is complete. 0 (the default): open() reads the whole result.
    // Only for a statement over one table without a sort or filter of the client's own.
    void setFirstScreen(int rows);
    // For statements whose answer is small by nature (a probe): an answer of more rows is not
    // read on, the connection is closed and open() fails. -1 (the default): no limit.
    void setRowLimit(int rows);
    bool isReading() const;  // the rest of the result is still being read
    int rowsInHand() const;  // the rows that can be shown now without waiting
    bool isEmpty() override; // at once when rows are in hand

    // Sort field (client-side index); empty: the statement's order.
    void setSortField(const QString& field);
    QString sortField() const;
    void setFilter(const QString& filterText); // parsed by RowFilter
    void setFiltered(bool on);

    QStringList fieldNames() const; // every field of the result, deferred ones included
    int recordCount() override;     // rows that pass the filter
    int currentRow() const;         // -1 when empty
    void setCurrentRow(int row);
    void first();
    void next();
    void prior();
    void last();
    bool eof();
    bool bof() const;

    bool isNull(const QString& field) override;
    QString asString(const QString& field) override;
    QByteArray asBytes(const QString& field) override;
    // Value at a visible row (for grids); deferred fields read as empty here.
    QString textAt(int row, int column) const;
    int columnIndex(const QString& field) const; // -1 when unknown
    bool isNumericColumn(int column) const;

    // Streams a deferred blob of the current row into out in chunks; returns its size.
    qint64 saveBlobTo(const QString& field, QIODevice& out);
    qint64 blobSize(const QString& field);
    // The same, for a value that may have gone since the row was read: the size is measured
    // on the server at the call, and nullopt means the value is NULL or the record is gone
    // (another workstation deleted it); nothing is then written to out.
    std::optional<qint64> storedBlobSize(const QString& field);
    std::optional<qint64> saveStoredBlobTo(const QString& field, QIODevice& out);

signals:
    // Rows were added after the rows in hand while the rest of the result is read; those
    // in hand are unchanged.
    void rowsAppended();

private:
    void waitForRows(); // installs the whole result when it is still being read
    void installReadRows();
    void rowsReady(quint64 read);
    void readEnded(quint64 read);
    // The statement's plan (QueryPlanner), its rows as they come (ResultStream), and the
    // rows in hand with their view and deferred values.
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kx
