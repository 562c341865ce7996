#include "data/table/Table.h"

#include "data/dataset/RowFilter.h"
#include "data/sql/BlobReader.h"
#include "data/sql/DeviceWrite.h"
#include "data/sql/MariaConnection.h"
#include "data/table/GuardedWriter.h"
#include "data/table/RowPage.h"
#include "data/table/TableSource.h"
#include "data/text/Latin2.h"

#include <QIODevice>

namespace kx {

struct Table::Impl {
    Impl(MariaConnection& conn, const QString& table)
        : source(conn, table), blobs(conn), rows(source), writer(source, rows) {}

    // A column of the current row: a row column from the page, a long one read by its key.
    MariaStatement::Value value(const QString& field) {
        bool onDemand = false;
        const QString col = source.columns.find(field, &onDemand);
        if (!rows.hasRow())
            return std::nullopt;
        if (!onDemand)
            return rows.value(source.columns.indexOf(col));
        MariaStatement st(source.conn, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                                           .arg(MariaStatement::quoteIdentifier(col),
                                                source.quotedTable(), source.quotedKey()));
        st.bindInt(rows.currentKey());
        st.execute();
        const auto found = st.fetchAtMost(1);
        return found.empty() ? std::nullopt : found[0][0];
    }

    TableSource source;
    BlobReader blobs;
    RowPage rows;
    GuardedWriter writer;
    bool open = false;
};

Table::Table(MariaConnection& conn, const QString& tableName, QObject* parent)
    : TableBase(parent), d(std::make_unique<Impl>(conn, tableName)) {
    // Closing the connection closes the table; the connection outlives its data sets.
    conn.registerDataSet(this);
}

Table::~Table() {
    d->source.conn.unregisterDataSet(this);
}

QString Table::tableName() const {
    return d->source.table;
}

void Table::setKeyField(const QString& field) {
    d->source.key = field;
}

void Table::setFilter(const QString& filterText) {
    d->source.filter.setFilter(RowFilter::parse(filterText));
    if (d->open && d->source.filter.isOn()) {
        cancel();
        d->rows.loadFirst();
        emit reset();
    }
}

void Table::setFiltered(bool on) {
    if (d->source.filter.isOn() == on)
        return;
    d->source.filter.setOn(on);
    if (d->open && !d->source.filter.filter().isEmpty()) {
        cancel();
        d->rows.loadFirst();
        emit reset();
    }
}

void Table::setNewRowIdentity(const QStringList& fields) {
    d->writer.setNewRowIdentity(fields);
}

void Table::pendingDropped() {
    d->writer.pendingDropped();
}

void Table::open() {
    if (d->open)
        return;
    d->source.conn.open(); // an open that needs the connection tries to make it
    d->source.columns = TableColumns::read(d->source.conn, d->source.table, d->source.key);
    d->rows.loadFirst();
    d->open = true;
    setState(TableState::Browse);
    emit reset();
}

void Table::close() {
    if (!d->open)
        return;
    cancel();
    d->open = false;
    d->rows.clear();
    setState(TableState::Inactive);
    emit reset();
}

void Table::refresh() {
    if (!d->open)
        throw DbError(
            QStringLiteral("A művelet nem hajtható végre: az adathalmaz nincs megnyitva."));
    cancel();
    d->rows.refresh();
    emit reset();
}

bool Table::isOpen() const {
    return d->open;
}

int Table::recordCount() {
    if (!d->open)
        return 0;
    const TableSource& s = d->source;
    MariaStatement st(
        s.conn,
        QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(s.quotedTable(), s.filter.where({})));
    s.filter.bind(st);
    st.execute();
    const auto rows = st.fetchAtMost(1);
    return rows.empty() || !rows[0][0] ? 0 : rows[0][0]->toInt();
}

void Table::first() {
    if (!d->open)
        return;
    cancel();
    d->rows.loadFirst();
    emit currentChanged();
}

void Table::next() {
    if (!d->open || !d->rows.hasRow() || d->rows.atEnd())
        return;
    cancel();
    if (d->rows.next())
        emit currentChanged();
}

bool Table::eof() {
    return !d->open || d->rows.atEnd();
}

bool Table::locate(const QString& field, const QString& typed, bool prefix) {
    if (!d->open)
        return false;
    // Stored text is Latin-2, in composed form: a value with other characters cannot match
    // anything, and a prefix is as long as its composed form.
    const QString value = latin2::composed(typed);
    if (!latin2::canEncode(value))
        return false;
    cancel();
    const QString col = MariaStatement::quoteIdentifier(field);
    // Both forms compare bytes: letter case, accents and trailing blanks count, and "%" or
    // "_" in the value are plain characters. The exact form also states the collation's
    // equality, which lets the server use an index on the column.
    const QString cond = prefix ? QStringLiteral("LEFT(%1, ?) = BINARY ?").arg(col)
                                : QStringLiteral("%1 = ? AND %1 = BINARY ?").arg(col);
    const TableSource& s = d->source;
    MariaStatement st(s.conn, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1 LIMIT 1")
                                  .arg(s.quotedKey(), s.quotedTable(), s.filter.where(cond)));
    s.filter.bind(st);
    if (prefix)
        st.bindInt(value.size());
    else
        st.bindText(value);
    st.bindText(value);
    st.execute();
    const auto rows = st.fetchAtMost(1);
    if (rows.empty() || !rows[0][0])
        return false;
    d->rows.loadFrom(rows[0][0]->toLongLong());
    emit currentChanged();
    return d->rows.hasRow();
}

qint64 Table::currentKey() const {
    return d->rows.currentKey();
}

bool Table::isNull(const QString& field) {
    bool onDemand = false;
    const QString col = d->source.columns.find(field, &onDemand);
    if (!d->rows.hasRow())
        return true;
    if (!onDemand)
        return !d->rows.value(d->source.columns.indexOf(col));
    return d->rows.longValueIsNull(col, false);
}

bool Table::isNullOrEmpty(const QString& field) {
    bool onDemand = false;
    const QString col = d->source.columns.find(field, &onDemand);
    if (!d->rows.hasRow())
        return true;
    if (!onDemand) {
        const auto& v = d->rows.value(d->source.columns.indexOf(col));
        return !v || v->isEmpty();
    }
    return d->rows.longValueIsNull(col, true);
}

QString Table::asString(const QString& field) {
    const auto v = d->value(field);
    return v ? latin2::decode(*v) : QString();
}

QByteArray Table::asBytes(const QString& field) {
    const auto v = d->value(field);
    return v ? *v : QByteArray();
}

qint64 Table::blobSize(const QString& field) {
    bool onDemand = false;
    const QString col = d->source.columns.find(field, &onDemand);
    if (!d->rows.hasRow())
        return 0;
    if (!onDemand) {
        const auto& v = d->rows.value(d->source.columns.indexOf(col));
        return v ? v->size() : 0;
    }
    return d->blobs.size(d->source.table, d->source.key, col, d->rows.currentKey()).value_or(0);
}

qint64 Table::saveBlobTo(const QString& field, QIODevice& out) {
    bool onDemand = false;
    const QString col = d->source.columns.find(field, &onDemand);
    if (!d->rows.hasRow())
        return 0;
    if (!onDemand) {
        const QByteArray bytes = asBytes(field);
        writeWhole(out, bytes.constData(), bytes.size());
        return bytes.size();
    }
    return d->blobs.read(d->source.table, d->source.key, col, d->rows.currentKey(), out).size;
}

void Table::setRowGuard(RowGuard* guard) {
    d->writer.setGuard(guard);
}

QStringList Table::rowFields() const {
    return d->source.columns.rowFields();
}

QStringList Table::onDemandFields() const {
    return d->source.columns.onDemandFields();
}

QString Table::keyField() const {
    return d->source.key;
}

MariaConnection& Table::connection() const {
    return d->source.conn;
}

void Table::doEdit() {
    // Waits for another connection's write lock on the row (and fails after the server's lock
    // wait timeout); in autocommit mode the statement ends at once, so no lock is kept. The
    // row is read again, so editing starts from what is stored now. A shared lock, because
    // an exclusive locking read makes the server read the whole row, every blob included
    // (0.1 s and 100 MB of server memory for a 100 MB file), though only the row columns
    // are asked for.
    if (!d->rows.hasRow() || !d->rows.readCurrentAgain(true))
        d->source.failRowNotFound();
}

void Table::doPost(TableState state, const PendingRow& values) {
    if (d->writer.post(state == TableState::Insert, values)) {
        emit reset();
        emit currentChanged();
    }
}

void Table::doDelete() {
    d->writer.remove();
    emit reset();
    emit currentChanged();
}

} // namespace kx
