#include "Query.h"

#include "DbError.h"
#include "Latin2.h"
#include "MariaConnection.h"

#include <QBuffer>
#include <QCollator>
#include <QIODevice>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <functional>
#include <mysql.h>
#include <numeric>
#include <optional>

namespace kx {

namespace {

// Deferred blobs travel in pieces of this size at most, so neither side holds a whole file.
constexpr qint64 kBlobChunk = 4 * 1024 * 1024;
// Room for the packet header and the other columns of a chunk row.
constexpr quint64 kPacketReserve = 64 * 1024;
constexpr unsigned kBinaryCharset = 63;

struct StmtCloser {
    void operator()(MYSQL_STMT* s) const {
        mysql_stmt_close(s);
    }
};
using StmtPtr = std::unique_ptr<MYSQL_STMT, StmtCloser>;

struct ResultCloser {
    void operator()(MYSQL_RES* r) const {
        mysql_free_result(r);
    }
};
using ResultPtr = std::unique_ptr<MYSQL_RES, ResultCloser>;

DbError errorOf(MYSQL* mysql) {
    return DbError(latin2::decode(QByteArray(mysql_error(mysql))), mysql_errno(mysql));
}

DbError errorOf(MYSQL_STMT* stmt) {
    return DbError(latin2::decode(QByteArray(mysql_stmt_error(stmt))), mysql_stmt_errno(stmt));
}

QString quoteName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + n + QLatin1Char('`');
}

bool isNumericType(enum_field_types t) {
    return t != MYSQL_TYPE_NULL && IS_NUM(t);
}

struct Column {
    QString name;
    bool numeric = false;
    bool binary = false;
    bool deferred = false; // not fetched with the rows; read by key for the current row
    int slot = -1;         // index among the stored cells of a row; -1 when deferred
};

Column columnOf(const MYSQL_FIELD& f) {
    Column c;
    c.name = latin2::decode(f.name, qsizetype(f.name_length));
    c.numeric = isNumericType(f.type);
    c.binary = f.charsetnr == kBinaryCharset &&
               (f.type == MYSQL_TYPE_BLOB || f.type == MYSQL_TYPE_TINY_BLOB ||
                f.type == MYSQL_TYPE_MEDIUM_BLOB || f.type == MYSQL_TYPE_LONG_BLOB ||
                f.type == MYSQL_TYPE_STRING || f.type == MYSQL_TYPE_VAR_STRING);
    return c;
}

// All stored cells of all rows in one byte buffer: no allocation per cell, so the client's
// memory is the size of the visible values plus a few bytes a cell.
struct RowStore {
    int width = 0;
    int rows = 0;
    std::vector<char> bytes;
    std::vector<qint64> ends; // end offset of each cell; its start is the previous cell's end
    std::vector<bool> nulls;

    qint64 begin(int row, int slot) const {
        const size_t i = size_t(row) * size_t(width) + size_t(slot);
        return i == 0 ? 0 : ends[i - 1];
    }
    bool isNull(int row, int slot) const {
        return nulls[size_t(row) * size_t(width) + size_t(slot)];
    }
    QByteArray bytesAt(int row, int slot) const {
        const qint64 b = begin(row, slot);
        const qint64 e = ends[size_t(row) * size_t(width) + size_t(slot)];
        return QByteArray(bytes.data() + b, e - b);
    }
    qint64 sizeAt(int row, int slot) const {
        return ends[size_t(row) * size_t(width) + size_t(slot)] - begin(row, slot);
    }
    QString textAt(int row, int slot) const {
        const qint64 b = begin(row, slot);
        return latin2::decode(bytes.data() + b,
                              ends[size_t(row) * size_t(width) + size_t(slot)] - b);
    }
    void append(const char* data, unsigned long length, bool null) {
        if (length)
            bytes.insert(bytes.end(), data, data + length);
        ends.push_back(qint64(bytes.size()));
        nulls.push_back(null);
    }
};

// The rows of one run of the statement, built aside and installed only when complete.
struct Loaded {
    std::vector<Column> columns;
    RowStore store;
    QString table; // set when deferred columns are read by key from this table
    int keyColumn = -1;
};

// "select * from <table>" followed by nothing, or by a clause: the only shape whose `*` the
// layer narrows. Anything else (joins, aliases, explicit lists) runs exactly as written.
const QRegularExpression& selectStarPattern() {
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*select\s+(\*)\s+from\s+(\w+)(?=\s*$|\s*;|\s+(?:where|order|group|having|limit)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

bool optionalNumber(const QString& text, double& out) {
    bool ok = false;
    out = text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

struct Query::Impl {
    explicit Impl(MariaConnection& c) : conn(c) {}

    MariaConnection& conn;
    QString sql;
    QString keyField;
    QStringList deferredFields;
    QString sortField;
    QString filterText;
    RowFilter filter;
    bool filtered = false;

    bool open = false;
    Loaded data;
    std::vector<int> view; // stored rows in display order, after the filter
    int current = -1;
    bool eof = true;
    bool bof = true;

    // Column lists of tables, learnt once per connect.
    QHash<QString, std::vector<Column>> tableColumns;
    MYSQL* learntOn = nullptr;
    unsigned long learntThread = 0;

    // Deferred values of the current row.
    bool detailLoaded = false;
    qint64 detailKey = 0;
    QHash<int, std::optional<QByteArray>> detailText; // column -> value (nullopt: NULL)
    QHash<int, std::optional<qint64>> blobLength;     // column -> size (nullopt: NULL)
    StmtPtr detailStmt;
    struct BlobStatements {
        std::shared_ptr<MYSQL_STMT> stream; // all pieces in one statement
        std::shared_ptr<MYSQL_STMT> piece;  // one piece per statement (fallback)
        bool streamUnsupported = false;
    };
    QHash<int, BlobStatements> blobStmts;

    std::optional<QCollator> collator;

    int findColumn(const QString& field) const {
        for (size_t i = 0; i < data.columns.size(); ++i)
            if (data.columns[i].name.compare(field, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }
    // Fails through the hook when the result has no such field.
    int requireColumn(const QString& field) {
        const int c = findColumn(field);
        if (c < 0)
            conn.fail(QStringLiteral("Ismeretlen mező: %1").arg(field));
        return c;
    }
    bool isDeferredName(const QString& name) const {
        return deferredFields.contains(name, Qt::CaseInsensitive);
    }
    int keyColumn() const {
        return data.keyColumn;
    }
    int storedRow(int row) const {
        return row >= 0 && row < int(view.size()) ? view[size_t(row)] : -1;
    }

    void forgetDetail() {
        detailLoaded = false;
        detailText.clear();
        blobLength.clear();
    }
    void releaseStatements() {
        detailStmt.reset();
        blobStmts.clear();
    }
    // Prepared statements belong to one session: after the connection was made again they
    // are dropped (the entries stay, so references to them remain valid) and prepared anew.
    quint64 stmtSession = 0;
    MYSQL* liveHandle() {
        MYSQL* mysql = conn.handle(); // makes a lost connection again
        if (stmtSession != conn.session()) {
            detailStmt.reset();
            for (BlobStatements& b : blobStmts) {
                b.stream.reset();
                b.piece.reset();
            }
            stmtSession = conn.session();
        }
        return mysql;
    }
    void clearData() {
        forgetDetail();
        releaseStatements();
        data = Loaded();
        view.clear();
        view.shrink_to_fit();
        current = -1;
        eof = bof = true;
    }

    std::optional<DbError> learnTable(MYSQL* mysql, const QString& table);
    std::optional<DbError> run(MYSQL* mysql, const QByteArray& rawSql, Loaded& out);
    std::optional<DbError> load(MYSQL* mysql, Loaded& out);
    void rebuildView(int keepStoredRow);
    bool passes(int storedRow, int column) const;
    void sortView();
    std::optional<qint64> currentKey() const;

    using Writer = std::function<void(const char*, qint64)>;
    struct BlobRead {
        qint64 total = 0;
        bool null = false;
        bool complete = false;
    };
    MYSQL_STMT* prepareBlobStatement(std::shared_ptr<MYSQL_STMT>& slot, const QString& statement,
                                     bool quiet);
    [[noreturn]] void failStatement(MYSQL_STMT* stmt);
    bool streamBlob(int column, qint64 key, qint64 chunk, const Writer& write, BlobRead& read);
    void readBlobPieces(int column, qint64 key, qint64 chunk, const Writer& write, BlobRead& read);
};

namespace {

// Frees a prepared statement's pending rows however the reading ends, so the connection is
// ready for the next statement even after a failed write to the output.
struct PendingRows {
    MYSQL_STMT* stmt;
    ~PendingRows() {
        mysql_stmt_free_result(stmt);
    }
};

} // namespace

MYSQL_STMT* Query::Impl::prepareBlobStatement(std::shared_ptr<MYSQL_STMT>& slot,
                                              const QString& statement, bool quiet) {
    MYSQL* mysql = liveHandle();
    if (slot)
        return slot.get();
    const QByteArray text = latin2::encode(statement);
    StmtPtr stmt(mysql_stmt_init(mysql));
    if (!stmt)
        conn.fail();
    if (mysql_stmt_prepare(stmt.get(), text.constData(), text.size())) {
        // Only a refusal of the statement is quiet; a lost connection is not a missing feature.
        if (quiet && !MariaConnection::isLostConnection(mysql_stmt_errno(stmt.get())))
            return nullptr;
        const DbError err = errorOf(stmt.get());
        conn.fail(err.message(), err.code());
    }
    slot = std::shared_ptr<MYSQL_STMT>(stmt.release(), StmtCloser());
    return slot.get();
}

void Query::Impl::failStatement(MYSQL_STMT* stmt) {
    const DbError err = errorOf(stmt);
    mysql_stmt_free_result(stmt);
    mysql_stmt_reset(stmt);
    conn.fail(err.message(), err.code());
}

// One statement returns the value as numbered pieces, row by row: the server reads the value
// once and the client holds one piece at a time. The first row always comes when the record
// exists, so NULL (a NULL piece) and zero bytes (an empty piece) stay apart.
bool Query::Impl::streamBlob(int column, qint64 key, qint64 chunk, const Writer& write,
                             BlobRead& read) {
    constexpr int kMaxPieces = 1000; // within every server's recursion limit
    BlobStatements& stmts = blobStmts[column];
    if (stmts.streamUnsupported)
        return false;
    const QString field = QStringLiteral("t.") + quoteName(data.columns[size_t(column)].name);
    const QString statement =
        QStringLiteral("WITH RECURSIVE kx_n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM kx_n "
                       "WHERE i < %1) SELECT kx_n.i, SUBSTRING(%2, kx_n.i * %3 + 1, %3) FROM %4 "
                       "t JOIN kx_n WHERE t.%5 = ? AND (kx_n.i = 0 OR kx_n.i * %3 < "
                       "OCTET_LENGTH(%2)) ORDER BY kx_n.i")
            .arg(QString::number(kMaxPieces - 1), field, QString::number(chunk),
                 quoteName(data.table), quoteName(data.columns[size_t(keyColumn())].name));
    MYSQL_STMT* stmt = prepareBlobStatement(stmts.stream, statement, true);
    if (!stmt) {
        // A server without recursive WITH: the pieces are asked for one by one.
        stmts.streamUnsupported = true;
        return false;
    }
    long long keyValue = key;
    MYSQL_BIND param;
    std::memset(&param, 0, sizeof param);
    param.buffer_type = MYSQL_TYPE_LONGLONG;
    param.buffer = &keyValue;

    QByteArray buffer(chunk, Qt::Uninitialized);
    long long index = 0;
    unsigned long got = 0;
    my_bool isNull = 0;
    MYSQL_BIND result[2];
    std::memset(result, 0, sizeof result);
    result[0].buffer_type = MYSQL_TYPE_LONGLONG;
    result[0].buffer = &index;
    result[1].buffer_type = MYSQL_TYPE_BLOB;
    result[1].buffer = buffer.data();
    result[1].buffer_length = static_cast<unsigned long>(chunk);
    result[1].length = &got;
    result[1].is_null = &isNull;

    if (mysql_stmt_bind_param(stmt, &param) || mysql_stmt_execute(stmt) ||
        mysql_stmt_bind_result(stmt, result))
        failStatement(stmt);
    PendingRows pending{stmt};
    read = BlobRead();
    long long expected = 0;
    qint64 last = 0;
    for (;;) {
        const int rc = mysql_stmt_fetch(stmt);
        if (rc == MYSQL_NO_DATA)
            break;
        if (rc == 1)
            failStatement(stmt);
        if (index != expected) {
            mysql_stmt_free_result(stmt);
            conn.fail(QStringLiteral("A(z) %1 mező darabjai rossz sorrendben érkeztek.")
                          .arg(data.columns[size_t(column)].name));
        }
        ++expected;
        if (isNull) {
            read.null = true;
            break;
        }
        last = std::min<qint64>(qint64(got), chunk);
        write(buffer.constData(), last);
        read.total += last;
    }
    if (expected == 0)
        read.null = true; // the record is gone
    // Only a value longer than all pieces together needs the rest read separately.
    read.complete = read.null || expected < kMaxPieces || last < chunk;
    return read.complete;
}

// The fallback: each piece is its own statement. The server reads the value once per piece,
// so this is slower for large values but needs nothing beyond SUBSTRING.
void Query::Impl::readBlobPieces(int column, qint64 key, qint64 chunk, const Writer& write,
                                 BlobRead& read) {
    const QString statement =
        QStringLiteral("SELECT SUBSTRING(%1, ?, ?) FROM %2 WHERE %3 = ?")
            .arg(quoteName(data.columns[size_t(column)].name), quoteName(data.table),
                 quoteName(data.columns[size_t(keyColumn())].name));
    MYSQL_STMT* stmt = prepareBlobStatement(blobStmts[column].piece, statement, false);
    long long position = read.total + 1, length = chunk, keyValue = key;
    MYSQL_BIND params[3];
    std::memset(params, 0, sizeof params);
    for (MYSQL_BIND& b : params)
        b.buffer_type = MYSQL_TYPE_LONGLONG;
    params[0].buffer = &position;
    params[1].buffer = &length;
    params[2].buffer = &keyValue;
    if (mysql_stmt_bind_param(stmt, params))
        failStatement(stmt);

    QByteArray buffer(chunk, Qt::Uninitialized);
    unsigned long got = 0;
    my_bool isNull = 0;
    MYSQL_BIND result;
    std::memset(&result, 0, sizeof result);
    result.buffer_type = MYSQL_TYPE_BLOB;
    result.buffer = buffer.data();
    result.buffer_length = static_cast<unsigned long>(chunk);
    result.length = &got;
    result.is_null = &isNull;
    for (;;) {
        if (mysql_stmt_execute(stmt) || mysql_stmt_bind_result(stmt, &result))
            failStatement(stmt);
        PendingRows pending{stmt};
        const int rc = mysql_stmt_fetch(stmt);
        if (rc == 1)
            failStatement(stmt);
        const bool row = rc == 0 || rc == MYSQL_DATA_TRUNCATED;
        if (!row || isNull) {
            read.null = read.total == 0;
            break;
        }
        const qint64 size = std::min<qint64>(qint64(got), chunk);
        mysql_stmt_free_result(stmt);
        write(buffer.constData(), size);
        read.total += size;
        if (size < chunk)
            break;
        position += size;
    }
    read.complete = true;
}

std::optional<DbError> Query::Impl::learnTable(MYSQL* mysql, const QString& table) {
    // A new connection may see another schema: the cache lives as long as the connect.
    const unsigned long thread = mysql_thread_id(mysql);
    if (learntOn != mysql || learntThread != thread) {
        tableColumns.clear();
        learntOn = mysql;
        learntThread = thread;
    }
    const QString& cacheKey = table; // table names are case-sensitive on most servers
    if (tableColumns.contains(cacheKey))
        return std::nullopt;
    const QByteArray probe = latin2::encode(QStringLiteral("select * from ") + quoteName(table) +
                                            QStringLiteral(" limit 0"));
    if (mysql_real_query(mysql, probe.constData(), probe.size()))
        return errorOf(mysql);
    ResultPtr res(mysql_store_result(mysql));
    if (!res)
        return errorOf(mysql);
    std::vector<Column> cols;
    const unsigned n = mysql_num_fields(res.get());
    const MYSQL_FIELD* fields = mysql_fetch_fields(res.get());
    for (unsigned i = 0; i < n; ++i)
        cols.push_back(columnOf(fields[i]));
    tableColumns.insert(cacheKey, std::move(cols));
    return std::nullopt;
}

std::optional<DbError> Query::Impl::run(MYSQL* mysql, const QByteArray& rawSql, Loaded& out) {
    QByteArray text = rawSql;
    const auto m = selectStarPattern().match(sql);
    if (m.hasMatch() && !keyField.isEmpty() && !deferredFields.isEmpty()) {
        const QString table = m.captured(2);
        if (auto err = learnTable(mysql, table))
            return err;
        const std::vector<Column>& cols = tableColumns[table];
        bool hasKey = false, hasDeferred = false;
        for (const Column& c : cols) {
            if (c.name.compare(keyField, Qt::CaseInsensitive) == 0 && !isDeferredName(c.name))
                hasKey = true;
            if (isDeferredName(c.name))
                hasDeferred = true;
        }
        if (hasKey && hasDeferred) {
            // Only the `*` is replaced: the rest of the statement stays as the caller wrote it.
            QStringList visible;
            int slot = 0;
            for (Column c : cols) {
                c.deferred = isDeferredName(c.name);
                if (!c.deferred) {
                    visible << quoteName(c.name);
                    c.slot = slot++;
                }
                if (c.name.compare(keyField, Qt::CaseInsensitive) == 0)
                    out.keyColumn = int(out.columns.size());
                out.columns.push_back(c);
            }
            out.table = table;
            out.store.width = slot;
            const QString narrowed = sql.left(m.capturedStart(1)) +
                                     visible.join(QStringLiteral(", ")) + sql.mid(m.capturedEnd(1));
            text = latin2::encode(narrowed);
        }
    }
    if (mysql_real_query(mysql, text.constData(), text.size())) {
        auto err = errorOf(mysql);
        if (!out.table.isEmpty()) // the table may have changed: learn it again next time
            tableColumns.remove(out.table);
        return err;
    }
    return load(mysql, out);
}

std::optional<DbError> Query::Impl::load(MYSQL* mysql, Loaded& out) {
    if (mysql_field_count(mysql) == 0) {
        out.columns.clear();
        out.store = RowStore();
        return std::nullopt;
    }
    // Rows are streamed from the server straight into the compact store.
    ResultPtr res(mysql_use_result(mysql));
    if (!res)
        return errorOf(mysql);
    const unsigned n = mysql_num_fields(res.get());
    if (out.table.isEmpty()) {
        const MYSQL_FIELD* fields = mysql_fetch_fields(res.get());
        for (unsigned i = 0; i < n; ++i) {
            Column c = columnOf(fields[i]);
            c.slot = int(i);
            if (keyField.compare(c.name, Qt::CaseInsensitive) == 0)
                out.keyColumn = int(i);
            out.columns.push_back(c);
        }
        out.store.width = int(n);
    } else if (int(n) != out.store.width) {
        tableColumns.remove(out.table);
        return DbError(QStringLiteral("A(z) %1 tábla szerkezete megváltozott.").arg(out.table));
    }
    RowStore& store = out.store;
    while (MYSQL_ROW row = mysql_fetch_row(res.get())) {
        const unsigned long* lengths = mysql_fetch_lengths(res.get());
        for (unsigned i = 0; i < n; ++i)
            store.append(row[i], row[i] ? lengths[i] : 0, row[i] == nullptr);
        ++store.rows;
    }
    if (mysql_errno(mysql))
        return errorOf(mysql);
    return std::nullopt;
}

bool Query::Impl::passes(int storedRow, int column) const {
    const Column& c = data.columns[size_t(column)];
    if (data.store.isNull(storedRow, c.slot))
        return false; // NULL passes no comparison, as in SQL
    const QString value = data.store.textAt(storedRow, c.slot);
    int cmp = 0;
    double a = 0, b = 0;
    if (c.numeric || (filter.numeric && optionalNumber(value, a))) {
        if (!optionalNumber(value, a) || !optionalNumber(filter.value, b))
            return false;
        cmp = a < b ? -1 : (a > b ? 1 : 0);
    } else {
        cmp = QString::compare(value, filter.value);
    }
    const QString& op = filter.op;
    if (op == QLatin1String("="))
        return cmp == 0;
    if (op == QLatin1String("<>"))
        return cmp != 0;
    if (op == QLatin1String("<"))
        return cmp < 0;
    if (op == QLatin1String(">"))
        return cmp > 0;
    if (op == QLatin1String("<="))
        return cmp <= 0;
    return cmp >= 0;
}

void Query::Impl::sortView() {
    const int column = sortField.isEmpty() ? -1 : findColumn(sortField);
    if (column < 0 || data.columns[size_t(column)].deferred || view.size() < 2)
        return; // a sort field the result lacks leaves the statement's order
    const Column& c = data.columns[size_t(column)];
    const RowStore& store = data.store;
    const size_t n = view.size();
    std::vector<char> nulls(n);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    for (size_t i = 0; i < n; ++i)
        nulls[i] = store.isNull(view[i], c.slot);

    if (c.numeric) {
        std::vector<double> values(n);
        for (size_t i = 0; i < n; ++i)
            if (!nulls[i] && !optionalNumber(store.textAt(view[i], c.slot), values[i]))
                nulls[i] = 1;
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            if (nulls[x] || nulls[y])
                return nulls[x] && !nulls[y];
            return values[x] < values[y];
        });
    } else {
        // Hungarian dictionary order (cs after c, ö after o, accents and case as tie-breaks);
        // a key per row is made once, so the sort itself only compares bytes.
        if (!collator) {
            collator.emplace(QLocale(QLocale::Hungarian, QLocale::Hungary));
            collator->setCaseSensitivity(Qt::CaseSensitive);
        }
        std::vector<QCollatorSortKey> keys;
        keys.reserve(n);
        for (size_t i = 0; i < n; ++i)
            keys.push_back(collator->sortKey(nulls[i] ? QString() : store.textAt(view[i], c.slot)));
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            if (nulls[x] || nulls[y])
                return nulls[x] && !nulls[y];
            return keys[x].compare(keys[y]) < 0;
        });
    }
    std::vector<int> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = view[order[i]];
    view.swap(sorted);
}

// Applies the filter and the sort; the current row stays on keepStoredRow when it is still
// visible, else on the first row.
void Query::Impl::rebuildView(int keepStoredRow) {
    forgetDetail();
    view.clear();
    int filterColumn = -1;
    if (filtered && !filter.isEmpty())
        filterColumn = findColumn(filter.field);
    view.reserve(size_t(data.store.rows));
    for (int r = 0; r < data.store.rows; ++r)
        if (filterColumn < 0 || passes(r, filterColumn))
            view.push_back(r);
    sortView();
    current = view.empty() ? -1 : 0;
    if (keepStoredRow >= 0) {
        const auto it = std::find(view.begin(), view.end(), keepStoredRow);
        if (it != view.end())
            current = int(it - view.begin());
    }
    eof = bof = view.empty();
}

std::optional<qint64> Query::Impl::currentKey() const {
    const int r = storedRow(current);
    if (r < 0 || data.keyColumn < 0)
        return std::nullopt;
    const Column& c = data.columns[size_t(data.keyColumn)];
    if (c.deferred || data.store.isNull(r, c.slot))
        return std::nullopt;
    bool ok = false;
    const qint64 key = data.store.textAt(r, c.slot).toLongLong(&ok);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

Query::Query(MariaConnection& conn, QObject* parent)
    : DataSetBase(parent), d(std::make_unique<Impl>(conn)) {
    conn.registerDataSet(this);
}

Query::~Query() {
    d->clearData();
    d->conn.unregisterDataSet(this);
}

void Query::setSql(const QString& sql) {
    if (sql == d->sql)
        return;
    close();
    d->sql = sql;
}

void Query::clearSql() {
    close();
    d->sql.clear();
}

QString Query::sql() const {
    return d->sql;
}

void Query::setKeyField(const QString& field) {
    d->keyField = field;
}

void Query::setDeferredFields(const QStringList& fields) {
    d->deferredFields = fields;
}

void Query::open() {
    if (d->open)
        return;
    if (d->sql.trimmed().isEmpty())
        d->conn.fail(QStringLiteral("A lekérdezés szövege üres."));
    const QByteArray raw = latin2::encode(d->sql); // nothing is sent when this throws
    MYSQL* mysql = d->liveHandle();
    Loaded loaded;
    if (auto err = d->run(mysql, raw, loaded))
        d->conn.fail(err->message(), err->code());
    d->clearData();
    d->data = std::move(loaded);
    if (d->filtered && !d->filter.isEmpty()) {
        const int fc = d->findColumn(d->filter.field);
        if (fc < 0 || d->data.columns[size_t(fc)].deferred) {
            d->clearData();
            d->conn.fail(QStringLiteral("A szűrő mezője nem található: %1").arg(d->filter.field));
        }
    }
    d->rebuildView(-1);
    d->open = true;
    emit reset();
    emit currentChanged();
}

void Query::close() {
    const bool wasOpen = d->open;
    d->open = false;
    d->clearData();
    if (wasOpen) {
        emit reset();
        emit currentChanged();
    }
}

void Query::refresh() {
    if (!d->open) {
        open(); // after a failed run the statement in force is tried again
        return;
    }
    const std::optional<qint64> key = d->currentKey();
    const int oldRow = d->current;
    MYSQL* mysql = d->liveHandle();
    Loaded loaded;
    const QByteArray raw = latin2::encode(d->sql);
    if (auto err = d->run(mysql, raw, loaded)) {
        close();
        d->conn.fail(err->message(), err->code());
    }
    d->forgetDetail();
    d->releaseStatements();
    d->data = std::move(loaded);
    int keep = -1;
    if (key && d->data.keyColumn >= 0) {
        const Column& c = d->data.columns[size_t(d->data.keyColumn)];
        const QByteArray wanted = QByteArray::number(*key);
        for (int r = 0; r < d->data.store.rows && keep < 0; ++r)
            if (!d->data.store.isNull(r, c.slot) && d->data.store.bytesAt(r, c.slot) == wanted)
                keep = r;
    }
    d->rebuildView(keep);
    if (keep < 0 && oldRow >= 0 && !d->view.empty())
        d->current = std::min(oldRow, int(d->view.size()) - 1);
    emit reset();
    emit currentChanged();
}

bool Query::isOpen() const {
    return d->open;
}

void Query::setSortField(const QString& field) {
    d->sortField = field;
    if (!d->open)
        return;
    const int keep = d->storedRow(d->current);
    d->rebuildView(keep);
    emit reset();
    emit currentChanged();
}

QString Query::sortField() const {
    return d->sortField;
}

void Query::setFilter(const QString& filterText) {
    RowFilter parsed;
    try {
        parsed = RowFilter::parse(filterText);
    } catch (const DbError& e) {
        d->conn.fail(e.message(), e.code());
    }
    d->filterText = filterText;
    d->filter = parsed;
    if (d->open && d->filtered)
        setFiltered(true);
}

void Query::setFiltered(bool on) {
    d->filtered = on;
    if (!d->open)
        return;
    if (on && !d->filter.isEmpty()) {
        const int fc = d->findColumn(d->filter.field);
        if (fc < 0 || d->data.columns[size_t(fc)].deferred) {
            const QString field = d->filter.field;
            close();
            d->conn.fail(QStringLiteral("A szűrő mezője nem található: %1").arg(field));
        }
    }
    d->rebuildView(d->storedRow(d->current));
    emit reset();
    emit currentChanged();
}

QStringList Query::fieldNames() const {
    QStringList names;
    for (const Column& c : d->data.columns)
        names << c.name;
    return names;
}

int Query::recordCount() {
    return int(d->view.size());
}

int Query::currentRow() const {
    return d->current;
}

void Query::setCurrentRow(int row) {
    if (row < 0 || row >= int(d->view.size()))
        return;
    d->eof = d->bof = false;
    if (row == d->current)
        return;
    d->current = row;
    d->forgetDetail();
    emit currentChanged();
}

void Query::first() {
    const int before = d->current;
    d->current = d->view.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->view.empty();
    if (before != d->current) {
        d->forgetDetail();
        emit currentChanged();
    }
}

void Query::next() {
    if (d->current + 1 < int(d->view.size())) {
        ++d->current;
        d->bof = d->eof = false;
        d->forgetDetail();
        emit currentChanged();
    } else {
        d->eof = true;
    }
}

void Query::prior() {
    if (d->current > 0) {
        --d->current;
        d->bof = d->eof = false;
        d->forgetDetail();
        emit currentChanged();
    } else {
        d->bof = true;
    }
}

void Query::last() {
    const int before = d->current;
    d->current = int(d->view.size()) - 1;
    d->eof = true;
    d->bof = d->view.empty();
    if (before != d->current) {
        d->forgetDetail();
        emit currentChanged();
    }
}

bool Query::eof() const {
    return d->eof || d->view.empty();
}

bool Query::bof() const {
    return d->bof || d->view.empty();
}

int Query::columnIndex(const QString& field) const {
    return d->findColumn(field);
}

bool Query::isNumericColumn(int column) const {
    return column >= 0 && column < int(d->data.columns.size()) &&
           d->data.columns[size_t(column)].numeric;
}

QString Query::textAt(int row, int column) const {
    const int r = d->storedRow(row);
    if (r < 0 || column < 0 || column >= int(d->data.columns.size()))
        return QString();
    const Column& c = d->data.columns[size_t(column)];
    if (c.deferred || d->data.store.isNull(r, c.slot))
        return QString();
    return d->data.store.textAt(r, c.slot);
}

namespace {

// Binds one LONGLONG input parameter.
void bindKey(MYSQL_BIND& b, long long& key) {
    std::memset(&b, 0, sizeof b);
    b.buffer_type = MYSQL_TYPE_LONGLONG;
    b.buffer = &key;
}

} // namespace

bool Query::isNull(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->storedRow(d->current);
    if (r < 0)
        return true;
    const Column& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot);
    if (!c.binary) {
        asString(field); // loads the row's deferred texts
        const auto it = d->detailText.constFind(col);
        return it == d->detailText.constEnd() || !it->has_value();
    }
    blobSize(field);
    const auto it = d->blobLength.constFind(col);
    return it == d->blobLength.constEnd() || !it->has_value();
}

QString Query::asString(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->storedRow(d->current);
    if (r < 0)
        return QString();
    const Column& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? QString() : d->data.store.textAt(r, c.slot);
    if (c.binary)
        return latin2::decode(asBytes(field));

    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return QString();
    if (!d->detailLoaded || d->detailKey != *key) {
        // Every deferred text of the row in one round trip, kept while the row is current.
        std::vector<int> textCols;
        QStringList names;
        for (size_t i = 0; i < d->data.columns.size(); ++i)
            if (d->data.columns[i].deferred && !d->data.columns[i].binary) {
                textCols.push_back(int(i));
                names << quoteName(d->data.columns[i].name);
            }
        MYSQL* mysql = d->liveHandle();
        if (!d->detailStmt) {
            const QByteArray text = latin2::encode(
                QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                    .arg(names.join(QStringLiteral(", ")), quoteName(d->data.table),
                         quoteName(d->data.columns[size_t(d->data.keyColumn)].name)));
            StmtPtr stmt(mysql_stmt_init(mysql));
            if (!stmt)
                d->conn.fail();
            if (mysql_stmt_prepare(stmt.get(), text.constData(), text.size())) {
                const DbError err = errorOf(stmt.get());
                d->conn.fail(err.message(), err.code());
            }
            d->detailStmt = std::move(stmt);
        }
        MYSQL_STMT* stmt = d->detailStmt.get();
        long long keyValue = *key;
        MYSQL_BIND param;
        bindKey(param, keyValue);
        const size_t n = textCols.size();
        std::vector<MYSQL_BIND> out(n);
        std::vector<unsigned long> lengths(n);
        std::vector<my_bool> nulls(n);
        for (size_t i = 0; i < n; ++i) {
            std::memset(&out[i], 0, sizeof(MYSQL_BIND));
            out[i].buffer_type = MYSQL_TYPE_STRING;
            out[i].length = &lengths[i];
            out[i].is_null = &nulls[i];
        }
        auto failStmt = [&] {
            const DbError err = errorOf(stmt);
            mysql_stmt_free_result(stmt);
            mysql_stmt_reset(stmt);
            d->conn.fail(err.message(), err.code());
        };
        if (mysql_stmt_bind_param(stmt, &param) || mysql_stmt_execute(stmt) ||
            mysql_stmt_bind_result(stmt, out.data()))
            failStmt();
        d->detailText.clear();
        const int rc = mysql_stmt_fetch(stmt);
        if (rc == 1)
            failStmt();
        if (rc != MYSQL_NO_DATA) {
            for (size_t i = 0; i < n; ++i) {
                if (nulls[i]) {
                    d->detailText.insert(textCols[i], std::nullopt);
                    continue;
                }
                QByteArray value(qsizetype(lengths[i]), Qt::Uninitialized);
                if (lengths[i]) {
                    MYSQL_BIND b;
                    std::memset(&b, 0, sizeof b);
                    b.buffer_type = MYSQL_TYPE_STRING;
                    b.buffer = value.data();
                    b.buffer_length = lengths[i];
                    if (mysql_stmt_fetch_column(stmt, &b, unsigned(i), 0))
                        failStmt();
                }
                d->detailText.insert(textCols[i], value);
            }
            while (mysql_stmt_fetch(stmt) == 0) {
            }
        } // else: the row is gone (deleted elsewhere); its deferred texts read as NULL
        mysql_stmt_free_result(stmt);
        d->detailLoaded = true;
        d->detailKey = *key;
    }
    const auto it = d->detailText.constFind(col);
    return it == d->detailText.constEnd() || !it->has_value() ? QString() : latin2::decode(**it);
}

QByteArray Query::asBytes(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->storedRow(d->current);
    if (r < 0)
        return QByteArray();
    const Column& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? QByteArray() : d->data.store.bytesAt(r, c.slot);
    if (!c.binary)
        return latin2::encode(asString(field));
    QByteArray bytes;
    QBuffer sink(&bytes);
    sink.open(QIODevice::WriteOnly);
    saveBlobTo(field, sink);
    return bytes;
}

qint64 Query::blobSize(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->storedRow(d->current);
    if (r < 0)
        return 0;
    const Column& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? 0 : d->data.store.sizeAt(r, c.slot);
    if (!c.binary)
        return asBytes(field).size();
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return 0;
    if (const auto it = d->blobLength.constFind(col); it != d->blobLength.constEnd())
        return it->value_or(0);

    // The size alone: the server measures the value, nothing of it travels.
    const QString sql = QStringLiteral("SELECT OCTET_LENGTH(%1) FROM %2 WHERE %3 = %4")
                            .arg(quoteName(c.name), quoteName(d->data.table),
                                 quoteName(d->data.columns[size_t(d->data.keyColumn)].name))
                            .arg(*key);
    const QString value = d->conn.scalar(sql);
    std::optional<qint64> size;
    if (!value.isEmpty())
        size = value.toLongLong();
    d->blobLength.insert(col, size);
    return size.value_or(0);
}

qint64 Query::saveBlobTo(const QString& field, QIODevice& out) {
    const int col = d->requireColumn(field);
    const int r = d->storedRow(d->current);
    if (r < 0)
        return 0;
    const Column& c = d->data.columns[size_t(col)];
    const Impl::Writer write = [&out](const char* data, qint64 size) {
        if (size > 0 && out.write(data, size) != size)
            throw DbError(QStringLiteral("A fájl írása nem sikerült: %1").arg(out.errorString()));
    };
    if (!c.deferred) {
        if (d->data.store.isNull(r, c.slot))
            return 0;
        const qint64 begin = d->data.store.begin(r, c.slot);
        const qint64 size = d->data.store.sizeAt(r, c.slot);
        write(d->data.store.bytes.data() + begin, size);
        return size;
    }
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return 0;

    // Pieces stay well inside the server's packet limit; memory on both ends is one piece.
    const quint64 packet = d->conn.maxAllowedPacket();
    const qint64 chunk =
        std::max<qint64>(4096, std::min<qint64>(kBlobChunk, qint64(packet > 2 * kPacketReserve
                                                                       ? packet - kPacketReserve
                                                                       : packet / 2)));
    Impl::BlobRead read;
    if (!d->streamBlob(col, *key, chunk, write, read))
        d->readBlobPieces(col, *key, chunk, write, read);
    d->blobLength.insert(col, read.null ? std::nullopt : std::optional<qint64>(read.total));
    return read.total;
}

} // namespace kx
