#include "data/table/Table.h"

#include "data/dataset/RowFilter.h"
#include "data/sql/BlobReader.h"
#include "data/sql/DeviceWrite.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "data/sql/Transaction.h"
#include "data/sql/WriteStatementBuilder.h"
#include "data/table/RowGuard.h"
#include "data/text/Latin2.h"

#include <QHash>
#include <QIODevice>
#include <algorithm>

namespace kx {

namespace {
// Rows of the visible columns read per statement during a row pass.
constexpr int kPageSize = 500;

const QString kNotFound =
    QStringLiteral("Az adatrekord nem található, vagy másik felhasználó időközben módosította.");

QString q(const QString& name) {
    return MariaStatement::quoteIdentifier(name);
}
} // namespace

struct Table::Impl {
    Impl(MariaConnection& c, const QString& t) : conn(c), table(t), blobs(c) {}
    MariaConnection& conn;
    QString table;
    BlobReader blobs;
    QString key = QStringLiteral("AZ");
    RowFilter filter;
    bool filtered = false;

    bool open = false;
    QStringList visible;              // columns read with the rows, in table order
    QString selectList;               // the same, quoted and joined
    QHash<QString, int> visibleIndex; // upper-case name -> index in a row
    QHash<QString, QString> deferred; // upper-case name -> name (BLOB/TEXT columns)
    int keyIndex = -1;

    std::vector<MariaStatement::Row> page; // rows in key order around the current one
    int pos = -1;                          // current row in page; -1: none
    bool atEnd = true;
    qint64 lostKey = -1; // key to return to when a reread after a write failed
    RowGuard* guard = nullptr;
    QStringList identity; // fields that recognise a new row; empty: every plain value

    // A write whose connection was lost after it was sent: the server may have done it. Kept
    // for the retry of the same pending row, which looks on the server before writing again.
    struct UncertainWrite {
        bool active = false;
        bool insert = false;
        qint64 key = -1;      // the changed row
        qint64 keysBelow = 0; // every row present before the insert has a key up to this
        QList<QPair<QString, PendingValue>> values;
    } uncertain;

    enum class Outcome { Written, NotWritten, Unknown };
    // Looks on the server whether the uncertain write took place. A new row is found by its
    // identity among the rows added since the write began; a change cannot be told from its
    // values cheaply, but writing it again by its key gives the same row, so it is Unknown.
    Outcome lookForUncertainWrite(qint64* foundKey) {
        conn.settleLostSession(); // the lost statement is done or undone by now
        if (!uncertain.insert) {
            MariaStatement check(
                conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(q(table), q(key)));
            check.bindInt(uncertain.key);
            check.execute();
            if (check.fetchAtMost(1).empty())
                conn.fail(kNotFound);
            return Outcome::Unknown;
        }
        QStringList conds{q(key) + QStringLiteral(" > ?")};
        QVariantList binds;
        for (const auto& [field, pv] : std::as_const(uncertain.values)) {
            const bool wanted =
                identity.isEmpty() ? true : identity.contains(field, Qt::CaseInsensitive);
            if (!wanted || !pv.filePath.isEmpty() || !pv.lengthOf.isEmpty())
                continue; // a streamed file is not sent again to be compared
            const QString col = q(field);
            switch (valueKind(pv.value)) {
            case ValueKind::Null:
                conds << col + QStringLiteral(" IS NULL");
                continue;
            case ValueKind::Real:
                continue; // a stored number may be rounded by its column
            case ValueKind::Integer:
                conds << col + QStringLiteral(" = ?");
                break;
            case ValueKind::Bytes:
            case ValueKind::Text:
                // Exact: letter case and trailing blanks count.
                conds << col + QStringLiteral(" = BINARY ?");
                break;
            }
            binds << pv.value;
        }
        MariaStatement st(conn, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %1 LIMIT 1")
                                    .arg(q(key), q(table), conds.join(QStringLiteral(" AND "))));
        st.bindInt(uncertain.keysBelow);
        for (const QVariant& v : std::as_const(binds))
            st.bindValue(v);
        st.execute();
        const auto rows = st.fetchAtMost(1);
        if (rows.empty() || !rows[0][0])
            return Outcome::NotWritten;
        *foundKey = rows[0][0]->toLongLong();
        return Outcome::Written;
    }

    // Whether deferred columns are NULL, for a run of page rows [from, from + size), read
    // with one statement. Asking on forward through the rows doubles the run, so a pass over
    // the table needs a few statements a page instead of one a row, while a single question
    // reads only its own row (the server reads a whole blob to test it for NULL).
    struct NullRun {
        int from = 0;
        std::vector<char> flags; // 1: NULL
        int length = 1;          // rows the next read covers
    };
    QHash<QString, NullRun> nullRuns; // upper-case name -> run

    bool hasRow() const {
        return pos >= 0 && pos < int(page.size());
    }
    qint64 keyOf(const MariaStatement::Row& row) const {
        return row[size_t(keyIndex)] ? row[size_t(keyIndex)]->toLongLong() : -1;
    }
    qint64 currentKey() const {
        return hasRow() ? keyOf(page[size_t(pos)]) : -1;
    }
    bool useFilter() const {
        return filtered && !filter.isEmpty();
    }

    // "WHERE <filter> AND <extra>" or the parts that exist; bindFilter() must be called
    // first on the statement, since the filter's parameter comes first.
    QString where(const QString& extra) const {
        QStringList parts;
        if (useFilter()) {
            const QString& op = filter.op;
            const bool exact = op == QLatin1String("=") || op == QLatin1String("<>");
            // Equality is exact (letter case and trailing blanks count), as in locate();
            // ordering follows the table's collation.
            parts << QStringLiteral("(%1 %2 %3?)")
                         .arg(q(filter.field), op,
                              exact && !filter.numeric ? QStringLiteral("BINARY ") : QString());
        }
        if (!extra.isEmpty())
            parts << extra;
        return parts.isEmpty() ? QString()
                               : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    }
    void bindFilter(MariaStatement& st) const {
        if (!useFilter())
            return;
        if (filter.numeric) {
            bool ok = false;
            const qint64 i = filter.value.toLongLong(&ok);
            if (ok)
                st.bindInt(i);
            else
                st.bindDouble(filter.value.toDouble());
        } else {
            st.bindText(filter.value);
        }
    }

    // A page of rows in key order: from the start (op empty) or relative to key.
    std::vector<MariaStatement::Row> loadPage(const QString& op, qint64 from) {
        const QString cond = op.isEmpty() ? QString() : QStringLiteral("%1 %2 ?").arg(q(key), op);
        MariaStatement st(conn, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4 LIMIT %5")
                                    .arg(selectList, q(table), where(cond), q(key))
                                    .arg(kPageSize));
        bindFilter(st);
        if (!op.isEmpty())
            st.bindInt(from);
        st.execute();
        return st.fetchAtMost(kPageSize);
    }
    void setPage(std::vector<MariaStatement::Row> rows) {
        page = std::move(rows);
        pos = page.empty() ? -1 : 0;
        atEnd = page.empty();
        lostKey = -1;
        nullRuns.clear();
    }
    // The next page of a pass: the runs go on growing from where they were.
    void continuePage(std::vector<MariaStatement::Row> rows) {
        QHash<QString, int> lengths;
        for (auto it = nullRuns.cbegin(); it != nullRuns.cend(); ++it)
            lengths.insert(it.key(), it->length);
        setPage(std::move(rows));
        for (auto it = lengths.cbegin(); it != lengths.cend(); ++it)
            nullRuns[it.key()].length = *it;
    }

    // emptyToo: a value of zero bytes counts as no value as well.
    bool deferredIsNull(const QString& col, bool emptyToo = false) {
        NullRun& run = nullRuns[col.toUpper() + (emptyToo ? QStringLiteral("|0") : QString())];
        const int size = int(run.flags.size());
        if (pos >= run.from && pos < run.from + size)
            return run.flags[size_t(pos - run.from)] != 0;
        // Going on forward past a run (skipping no more rows than it held) doubles the next
        // one; a jump anywhere else starts again with one row.
        const int gap = pos - (run.from + size);
        if (size > 0)
            run.length = gap >= 0 && gap <= size ? std::min(run.length * 2, kPageSize) : 1;
        const int count = std::min(run.length, int(page.size()) - pos);
        const qint64 firstKey = keyOf(page[size_t(pos)]);
        const qint64 lastKey = keyOf(page[size_t(pos + count - 1)]);
        const QString test = emptyToo ? QStringLiteral("COALESCE(OCTET_LENGTH(%1), 0) = 0")
                                      : QStringLiteral("%1 IS NULL");
        MariaStatement st(conn, QStringLiteral("SELECT %1, %2 FROM %3%4")
                                    .arg(q(key), test.arg(q(col)), q(table),
                                         where(QStringLiteral("%1 BETWEEN ? AND ?").arg(q(key)))));
        bindFilter(st);
        st.bindInt(firstKey);
        st.bindInt(lastKey);
        st.execute();
        run.from = pos;
        run.flags.assign(size_t(count), 1); // a row deleted meanwhile reads as NULL
        MariaStatement::Row row;
        int i = 0;
        while (st.fetch(row)) {
            if (!row[0] || !row[1])
                continue;
            const qint64 k = row[0]->toLongLong();
            while (i < count && keyOf(page[size_t(pos + i)]) < k)
                ++i;
            if (i < count && keyOf(page[size_t(pos + i)]) == k)
                run.flags[size_t(i)] = row[1]->toInt() != 0;
        }
        return run.flags[0] != 0;
    }
    void positionAt(qint64 k) {
        setPage(loadPage(QStringLiteral(">="), k));
    }
    void clearRows() {
        page.clear();
        pos = -1;
        atEnd = true;
        nullRuns.clear();
    }

    // After a write the change is done; a failure to read the rows again (already shown by
    // the hook) must not make the write look failed, or a retry would write it twice.
    void repositionAfterWrite(qint64 k) {
        try {
            auto rows = loadPage(QStringLiteral(">="), k);
            if (rows.empty()) { // nothing from k on: the row before it
                MariaStatement st(
                    conn, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1 DESC LIMIT 1")
                              .arg(q(key), q(table), where(q(key) + QStringLiteral(" < ?"))));
                bindFilter(st);
                st.bindInt(k);
                st.execute();
                const auto prev = st.fetchAtMost(1);
                if (!prev.empty() && prev[0][0])
                    rows = loadPage(QStringLiteral(">="), prev[0][0]->toLongLong());
            }
            setPage(std::move(rows));
        } catch (const DbError&) {
            clearRows();
            lostKey = k;
        }
    }

    // Opens the transaction of a guarded change of row k and hands it over with the row
    // locked; none when the row is gone. A row changed meanwhile is put to the guard with
    // the transaction rolled back, so no lock waits on the user's answer; on Yes the row is
    // locked and checked again.
    std::unique_ptr<Transaction> beginGuarded(qint64 k) {
        for (;;) {
            auto tx = std::make_unique<Transaction>(conn);
            const RowGuard::Verdict verdict = guard->check(k);
            if (verdict == RowGuard::Verdict::Write)
                return tx;
            tx.reset();
            if (verdict == RowGuard::Verdict::Gone)
                return nullptr;
            if (!guard->overwrite())
                throw SilentAbort{};
        }
    }

    // Commits a guarded change of row k. Without an answer to the COMMIT the change may or
    // may not be stored: the retry of the same values looks first (and the guard knows the
    // change as this program's own), so it is neither lost nor asked about.
    void commitGuarded(Transaction& tx, qint64 k, bool insert,
                       const QList<QPair<QString, PendingValue>>& values) {
        guard->changeMade(k);
        try {
            tx.commit();
        } catch (const DbError& e) {
            if (MariaConnection::isLostConnection(e.code()))
                uncertain = {true, insert, k, 0, values};
            throw;
        }
        guard->changeCommitted();
    }

    // After an update that kept the current row's key: that row alone is read again, which
    // costs one short statement instead of a page. False when the page has to be read.
    // The write is done either way: a failed reread must not make it look failed.
    bool rereadCurrentRow(qint64 k) {
        if (useFilter() || currentKey() != k)
            return false; // the row may have left the filter: a page decides
        try {
            MariaStatement st(
                conn,
                QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(selectList, q(table), q(key)));
            st.bindInt(k);
            st.execute();
            auto rows = st.fetchAtMost(1);
            if (rows.empty())
                return false;
            page[size_t(pos)] = std::move(rows[0]);
            nullRuns.clear(); // read again with the row
            lostKey = -1;
            return true;
        } catch (const DbError&) {
            clearRows(); // as after any write whose reread failed
            lostKey = k;
            return true;
        }
    }

    QString columnName(const QString& field, bool* isDeferred) const {
        const QString upper = field.toUpper();
        if (auto it = visibleIndex.constFind(upper); it != visibleIndex.constEnd()) {
            *isDeferred = false;
            return visible[*it];
        }
        if (auto it = deferred.constFind(upper); it != deferred.constEnd()) {
            *isDeferred = true;
            return *it;
        }
        throw DbError(QStringLiteral("%1: Field '%2' not found").arg(table, field));
    }

    // One value of the current row read by its key.
    MariaStatement::Value readByKey(const QString& expr) {
        MariaStatement st(
            conn, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(expr, q(table), q(key)));
        st.bindInt(currentKey());
        st.execute();
        const auto rows = st.fetchAtMost(1);
        return rows.empty() ? std::nullopt : rows[0][0];
    }
    MariaStatement::Value value(const QString& field) {
        bool isDeferred = false;
        const QString col = columnName(field, &isDeferred);
        if (!hasRow())
            return std::nullopt;
        if (!isDeferred)
            return page[size_t(pos)][size_t(visibleIndex.value(col.toUpper()))];
        return readByKey(q(col));
    }
};

Table::Table(MariaConnection& conn, const QString& tableName, QObject* parent)
    : TableBase(parent), d(std::make_unique<Impl>(conn, tableName)) {
    // Closing the connection closes the table; the connection outlives its data sets.
    conn.registerDataSet(this);
}

Table::~Table() {
    d->conn.unregisterDataSet(this);
}

QString Table::tableName() const {
    return d->table;
}

void Table::setKeyField(const QString& field) {
    d->key = field;
}

void Table::setFilter(const QString& filterText) {
    d->filter = RowFilter::parse(filterText);
    if (d->open && d->filtered) {
        cancel();
        d->setPage(d->loadPage(QString(), 0));
        emit reset();
    }
}

void Table::setNewRowIdentity(const QStringList& fields) {
    d->identity = fields;
}

void Table::pendingDropped() {
    d->uncertain = Impl::UncertainWrite();
}

void Table::setFiltered(bool on) {
    if (d->filtered == on)
        return;
    d->filtered = on;
    if (d->open && !d->filter.isEmpty()) {
        cancel();
        d->setPage(d->loadPage(QString(), 0));
        emit reset();
    }
}

void Table::open() {
    if (d->open)
        return;
    d->conn.open(); // an open that needs the connection tries to make it
    // The column list without reading any row.
    MariaStatement st(d->conn, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(q(d->table)));
    st.execute();
    const auto cols = st.columns();
    st.fetchAtMost(0); // no rows; frees the connection for the next statement
    d->visible.clear();
    d->visibleIndex.clear();
    d->deferred.clear();
    d->keyIndex = -1;
    QStringList quoted;
    for (const auto& c : cols) {
        const bool isKey = c.name.compare(d->key, Qt::CaseInsensitive) == 0;
        if (c.deferred && !isKey) {
            d->deferred.insert(c.name.toUpper(), c.name);
            continue;
        }
        if (isKey)
            d->keyIndex = int(d->visible.size());
        d->visibleIndex.insert(c.name.toUpper(), int(d->visible.size()));
        d->visible << c.name;
        quoted << q(c.name);
    }
    if (d->keyIndex < 0)
        d->conn.fail(QStringLiteral("%1: key field '%2' not found").arg(d->table, d->key));
    d->selectList = quoted.join(QLatin1Char(','));
    d->setPage(d->loadPage(QString(), 0));
    d->open = true;
    setState(TableState::Browse);
    emit reset();
}

void Table::close() {
    if (!d->open)
        return;
    cancel();
    d->open = false;
    d->clearRows();
    d->lostKey = -1;
    setState(TableState::Inactive);
    emit reset();
}

void Table::refresh() {
    if (!d->open)
        throw DbError(
            QStringLiteral("A művelet nem hajtható végre: az adathalmaz nincs megnyitva."));
    cancel();
    const qint64 k = d->hasRow() ? d->currentKey() : d->lostKey;
    auto rows = k >= 0 ? d->loadPage(QStringLiteral(">="), k) : decltype(d->page)();
    if (rows.empty() || d->keyOf(rows[0]) != k)
        rows = d->loadPage(QString(), 0); // the row is gone: back to the first one
    d->setPage(std::move(rows));
    emit reset();
}

bool Table::isOpen() const {
    return d->open;
}

int Table::recordCount() {
    if (!d->open)
        return 0;
    MariaStatement st(d->conn,
                      QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(q(d->table), d->where({})));
    d->bindFilter(st);
    st.execute();
    const auto rows = st.fetchAtMost(1);
    return rows.empty() || !rows[0][0] ? 0 : rows[0][0]->toInt();
}

void Table::first() {
    if (!d->open)
        return;
    cancel();
    d->setPage(d->loadPage(QString(), 0));
    emit currentChanged();
}

void Table::next() {
    if (!d->open || !d->hasRow() || d->atEnd)
        return;
    cancel();
    if (d->pos + 1 < int(d->page.size())) {
        ++d->pos;
    } else if (int(d->page.size()) < kPageSize) {
        d->atEnd = true; // past the last row; the last row stays current
        return;
    } else {
        auto rows = d->loadPage(QStringLiteral(">"), d->keyOf(d->page.back()));
        if (rows.empty()) {
            d->atEnd = true;
            return;
        }
        d->continuePage(std::move(rows));
    }
    emit currentChanged();
}

bool Table::eof() {
    return !d->open || d->atEnd;
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
    const QString col = q(field);
    // Both forms compare bytes: letter case, accents and trailing blanks count, and "%" or
    // "_" in the value are plain characters. The exact form also states the collation's
    // equality, which lets the server use an index on the column.
    const QString cond = prefix ? QStringLiteral("LEFT(%1, ?) = BINARY ?").arg(col)
                                : QStringLiteral("%1 = ? AND %1 = BINARY ?").arg(col);
    MariaStatement st(d->conn, QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %1 LIMIT 1")
                                   .arg(q(d->key), q(d->table), d->where(cond)));
    d->bindFilter(st);
    if (prefix)
        st.bindInt(value.size());
    else
        st.bindText(value);
    st.bindText(value);
    st.execute();
    const auto rows = st.fetchAtMost(1);
    if (rows.empty() || !rows[0][0])
        return false;
    d->positionAt(rows[0][0]->toLongLong());
    emit currentChanged();
    return d->hasRow();
}

qint64 Table::currentKey() const {
    return d->currentKey();
}

bool Table::isNull(const QString& field) {
    bool isDeferred = false;
    const QString col = d->columnName(field, &isDeferred);
    if (!d->hasRow())
        return true;
    if (!isDeferred)
        return !d->page[size_t(d->pos)][size_t(d->visibleIndex.value(col.toUpper()))];
    return d->deferredIsNull(col);
}

bool Table::isNullOrEmpty(const QString& field) {
    bool isDeferred = false;
    const QString col = d->columnName(field, &isDeferred);
    if (!d->hasRow())
        return true;
    if (!isDeferred) {
        const auto& v = d->page[size_t(d->pos)][size_t(d->visibleIndex.value(col.toUpper()))];
        return !v || v->isEmpty();
    }
    return d->deferredIsNull(col, true);
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
    bool isDeferred = false;
    const QString col = d->columnName(field, &isDeferred);
    if (!d->hasRow())
        return 0;
    if (!isDeferred) {
        const auto& v = d->page[size_t(d->pos)][size_t(d->visibleIndex.value(col.toUpper()))];
        return v ? v->size() : 0;
    }
    return d->blobs.size(d->table, d->key, col, d->currentKey()).value_or(0);
}

qint64 Table::saveBlobTo(const QString& field, QIODevice& out) {
    bool isDeferred = false;
    const QString col = d->columnName(field, &isDeferred);
    if (!d->hasRow())
        return 0;
    if (!isDeferred) {
        const QByteArray bytes = asBytes(field);
        writeWhole(out, bytes.constData(), bytes.size());
        return bytes.size();
    }
    return d->blobs.read(d->table, d->key, col, d->currentKey(), out).size;
}

void Table::setRowGuard(RowGuard* guard) {
    d->guard = guard;
}

QStringList Table::rowFields() const {
    return d->visible;
}

QStringList Table::onDemandFields() const {
    QStringList fields = d->deferred.values();
    fields.sort(); // a fixed order; the hash has none
    return fields;
}

QString Table::keyField() const {
    return d->key;
}

MariaConnection& Table::connection() const {
    return d->conn;
}

void Table::doEdit() {
    if (!d->hasRow())
        d->conn.fail(kNotFound);
    // Waits for another connection's write lock on the row (and fails after the server's lock
    // wait timeout); in autocommit mode the statement ends at once, so no lock is kept. The
    // row is read again, so editing starts from what is stored now. A shared lock, because
    // an exclusive locking read makes the server read the whole row, every blob included
    // (0.1 s and 100 MB of server memory for a 100 MB file), though only the visible
    // columns are asked for.
    MariaStatement st(d->conn, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? LOCK IN SHARE MODE")
                                   .arg(d->selectList, q(d->table), q(d->key)));
    st.bindInt(d->currentKey());
    st.execute();
    auto rows = st.fetchAtMost(1);
    if (rows.empty())
        d->conn.fail(kNotFound);
    d->page[size_t(d->pos)] = std::move(rows[0]);
    d->nullRuns.clear(); // read again with the row
}

// The parameter that streams fileField's file: values are bound in their order.
unsigned Table::streamedParam(const QList<QPair<QString, PendingValue>>& values,
                              const QString& fileField) const {
    for (qsizetype n = 0; n < values.size(); ++n)
        if (values[n].first.compare(fileField, Qt::CaseInsensitive) == 0 &&
            !values[n].second.filePath.isEmpty())
            return unsigned(n);
    d->conn.fail(QStringLiteral("Field %1 is not streamed from a file").arg(fileField));
}

void Table::doPost(TableState state, const QList<QPair<QString, PendingValue>>& values) {
    const bool insert = state == TableState::Insert;
    if (d->uncertain.active) {
        // The retry of a write whose connection was lost: never written twice.
        qint64 found = -1;
        const Impl::Outcome outcome = d->lookForUncertainWrite(&found);
        d->uncertain.active = false;
        if (outcome == Impl::Outcome::Written) {
            d->repositionAfterWrite(found);
            emit reset();
            emit currentChanged();
            return;
        }
    }
    if (!insert && !d->hasRow())
        d->conn.fail(kNotFound);
    const qint64 oldKey = d->currentKey();
    qint64 keysBelow = 0;
    if (insert) {
        // Where new rows begin, so that a row written by this insert can be told apart from
        // every row that was there before it.
        MariaStatement top(
            d->conn,
            QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2").arg(q(d->key), q(d->table)));
        top.execute();
        const auto rows = top.fetchAtMost(1);
        keysBelow = rows.empty() || !rows[0][0] ? 0 : rows[0][0]->toLongLong();
    }

    QStringList columns;
    for (const auto& v : values)
        columns << v.first;
    if (!insert && values.isEmpty())
        return; // nothing changed
    const WriteStatementBuilder build(WriteStatementBuilder::Dialect::MariaDb);
    // Every value is made ready first: text that Latin-2 cannot store, or a file that cannot
    // be opened, stops the write before anything reaches the server.
    MariaStatement st(d->conn, insert ? build.insert(d->table, columns)
                                      : build.update(d->table, columns, d->key));
    for (const auto& [field, pv] : values) {
        if (!pv.filePath.isEmpty())
            st.bindFile(pv.filePath);
        else if (!pv.lengthOf.isEmpty())
            st.bindFileLength(streamedParam(values, pv.lengthOf));
        else
            st.bindValue(pv.value);
    }
    if (!insert)
        st.bindInt(oldKey);

    // The transaction, when there is one, ends on every way out of here: a cancelled or
    // unreadable file, a refusal, a lost connection.
    std::unique_ptr<Transaction> tx;
    if (!insert && d->guard) {
        tx = d->beginGuarded(oldKey);
        if (!tx)
            d->conn.fail(kNotFound);
    }
    quint64 affected = 0;
    try {
        affected = st.execute();
    } catch (const DbError& e) {
        tx.reset();
        if (!MariaConnection::isLostConnection(e.code()))
            throw;
        // The server may have done the write before the connection went.
        d->uncertain = {true, insert, oldKey, keysBelow, values};
        if (!d->conn.reconnectQuietly())
            throw; // the retry looks first
        qint64 found = -1;
        const Impl::Outcome outcome = d->lookForUncertainWrite(&found);
        if (outcome == Impl::Outcome::Unknown)
            throw; // the retry writes the same values by key again
        d->uncertain.active = false;
        if (outcome == Impl::Outcome::NotWritten)
            throw;
        d->repositionAfterWrite(found);
        emit reset();
        emit currentChanged();
        return;
    }
    qint64 newKey = oldKey;
    if (insert) {
        newKey = st.insertId();
    } else if (affected == 0) {
        // Zero changed rows is also what an update with unchanged values gives; only a row
        // that is gone is a failure.
        MariaStatement check(
            d->conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(q(d->table), q(d->key)));
        check.bindInt(oldKey);
        check.execute();
        if (check.fetchAtMost(1).empty())
            d->conn.fail(kNotFound);
    }
    if (tx)
        d->commitGuarded(*tx, oldKey, insert, values);
    if (insert || !d->rereadCurrentRow(newKey))
        d->repositionAfterWrite(newKey);
    emit reset();
    emit currentChanged();
}

void Table::doDelete() {
    if (!d->hasRow())
        d->conn.fail(kNotFound);
    const qint64 key = d->currentKey();
    MariaStatement st(d->conn,
                      QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(q(d->table), q(d->key)));
    st.bindInt(key);
    // A row another workstation removed already counts as removed.
    std::unique_ptr<Transaction> tx;
    if (d->guard) {
        tx = d->beginGuarded(key);
        if (!tx) {
            d->repositionAfterWrite(key + 1);
            emit reset();
            emit currentChanged();
            return;
        }
    }
    try {
        st.execute();
        if (tx)
            tx->commit();
    } catch (const DbError& e) {
        tx.reset();
        if (!MariaConnection::isLostConnection(e.code()) || !d->conn.reconnectQuietly())
            throw; // a retry deletes by key again, which cannot remove a second row
        // The server may have deleted the row before the connection went: look by its key.
        d->conn.settleLostSession();
        MariaStatement check(
            d->conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(q(d->table), q(d->key)));
        check.bindInt(key);
        check.execute();
        if (!check.fetchAtMost(1).empty())
            throw;
    }
    // The current row becomes the next one, or the previous one when it was the last.
    d->repositionAfterWrite(key + 1);
    emit reset();
    emit currentChanged();
}

} // namespace kx
