#include "data/table/SqliteTable.h"

#include "data/sql/DbError.h"
#include "data/sql/SqliteConnection.h"
#include "data/sql/WriteStatementBuilder.h"

#include <QFile>
#include <algorithm>
#include <sqlite3.h>
#include <stdexcept>

namespace kx {

namespace {

const QString kNotFound =
    QStringLiteral("Az adatrekord nem található, vagy másik felhasználó időközben módosította.");
constexpr qint64 kChunk = 1024 * 1024;

QString quote(const QString& name) {
    return WriteStatementBuilder(WriteStatementBuilder::Dialect::Sqlite).quote(name);
}

// One prepared statement; every failure goes through the connection as a DbError.
class Statement {
public:
    Statement(SqliteConnection& conn, const QString& sql) : m_conn(conn) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(conn.handle(), text.constData(), int(text.size()), &m_stmt,
                               nullptr) != SQLITE_OK)
            conn.fail();
    }
    ~Statement() {
        sqlite3_finalize(m_stmt);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& v) {
        int rc = SQLITE_OK;
        switch (valueKind(v)) {
        case ValueKind::Null:
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        case ValueKind::Bytes: {
            const QByteArray b = v.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, b.constData(), sqlite3_uint64(b.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        case ValueKind::Real:
            rc = sqlite3_bind_double(m_stmt, index, v.toDouble());
            break;
        case ValueKind::Integer:
            rc = sqlite3_bind_int64(m_stmt, index, v.toLongLong());
            break;
        case ValueKind::Text: {
            const QByteArray t = v.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, t.constData(), sqlite3_uint64(t.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
        if (rc != SQLITE_OK)
            m_conn.fail();
    }
    void bindZeroBlob(int index, qint64 size) {
        if (sqlite3_bind_zeroblob64(m_stmt, index, sqlite3_uint64(size)) != SQLITE_OK)
            m_conn.fail();
    }
    // True while there is a row; failures (SQLITE_BUSY, SQLITE_READONLY, ...) throw.
    bool step() {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        m_conn.fail();
    }
    int columnCount() const {
        return sqlite3_column_count(m_stmt);
    }
    QString columnName(int i) const {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
    }
    QVariant value(int i) const {
        switch (sqlite3_column_type(m_stmt, i)) {
        case SQLITE_INTEGER:
            return qint64(sqlite3_column_int64(m_stmt, i));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_stmt, i);
        case SQLITE_BLOB: {
            const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
            return QByteArray(p ? p : "", sqlite3_column_bytes(m_stmt, i));
        }
        case SQLITE_NULL:
            return QVariant();
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
            return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, i));
        }
        }
    }

private:
    SqliteConnection& m_conn;
    sqlite3_stmt* m_stmt = nullptr;
};

// The files of a write, by column, opened before anything is written.
using OpenedFiles = std::vector<std::pair<QString, std::unique_ptr<QFile>>>;

// Copies the file into the blob made for it in the given row, a piece at a time.
void writeFileIntoBlob(SqliteConnection& conn, const QString& table, const QString& column,
                       QFile& file, qint64 rowid) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(conn.handle(), "main", table.toUtf8().constData(),
                          column.toUtf8().constData(), rowid, 1, &blob) != SQLITE_OK)
        conn.fail();
    QByteArray chunk(kChunk, Qt::Uninitialized);
    int offset = 0;
    for (qint64 n; (n = file.read(chunk.data(), kChunk)) > 0; offset += int(n))
        if (sqlite3_blob_write(blob, chunk.constData(), int(n), offset) != SQLITE_OK) {
            sqlite3_blob_close(blob);
            conn.fail();
        }
    sqlite3_blob_close(blob);
}

} // namespace

struct SqliteTable::Impl {
    Impl(SqliteConnection& c, const QString& t) : conn(c), table(t) {}
    SqliteConnection& conn;
    QString table;
    QString key = QStringLiteral("AZ");
    bool open = false;
    QStringList columns;
    int keyIndex = -1;
    std::vector<std::vector<QVariant>> rows; // the whole table in key order
    int pos = -1;
    bool atEnd = true;
    qint64 lostKey = -1;

    bool hasRow() const {
        return pos >= 0 && pos < int(rows.size());
    }
    qint64 currentKey() const {
        return hasRow() ? rows[size_t(pos)][size_t(keyIndex)].toLongLong() : -1;
    }
    int column(const QString& field) const {
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].compare(field, Qt::CaseInsensitive) == 0)
                return i;
        throw DbError(QStringLiteral("%1: Field '%2' not found").arg(table, field));
    }
    QVariant value(const QString& field) const {
        const int c = column(field);
        return hasRow() ? rows[size_t(pos)][size_t(c)] : QVariant();
    }

    void load() {
        Statement st(conn,
                     QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(quote(table), quote(key)));
        QStringList cols;
        for (int i = 0; i < st.columnCount(); ++i)
            cols << st.columnName(i);
        int k = -1;
        for (int i = 0; i < cols.size(); ++i)
            if (cols[i].compare(key, Qt::CaseInsensitive) == 0)
                k = i;
        if (k < 0)
            throw DbError(QStringLiteral("%1: key field '%2' not found").arg(table, key));
        std::vector<std::vector<QVariant>> all;
        while (st.step()) {
            std::vector<QVariant> row;
            for (int i = 0; i < cols.size(); ++i)
                row.push_back(st.value(i));
            all.push_back(std::move(row));
        }
        columns = cols;
        keyIndex = k;
        rows = std::move(all);
    }
    // The first row whose key is k or above; none: the last row; empty table: no row.
    void positionAt(qint64 k) {
        pos = -1;
        for (int i = 0; i < int(rows.size()); ++i)
            if (rows[size_t(i)][size_t(keyIndex)].toLongLong() >= k) {
                pos = i;
                break;
            }
        if (pos < 0 && !rows.empty())
            pos = int(rows.size()) - 1;
        atEnd = rows.empty();
        lostKey = -1;
    }
    // The write is done: a failure to read the table again must not make it look failed,
    // or a retry would write it twice.
    void reloadAfterWrite(qint64 k) {
        try {
            load();
            positionAt(k);
        } catch (const DbError&) {
            rows.clear();
            pos = -1;
            atEnd = true;
            lostKey = k;
        }
    }

    // The columns written, in the order of values; the files among them are opened here, so
    // that a file that cannot be read stops the write before anything is written.
    OpenedFiles openWrittenFiles(const QList<QPair<QString, PendingValue>>& values,
                                 QStringList& cols) const {
        OpenedFiles files;
        for (const auto& [field, pv] : values) {
            cols << columns.value(column(field));
            if (pv.filePath.isEmpty())
                continue;
            auto f = std::make_unique<QFile>(pv.filePath);
            if (!f->open(QIODevice::ReadOnly))
                throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem nyitható meg. %2")
                                             .arg(pv.filePath, f->errorString())
                                             .toStdString());
            files.emplace_back(columns.value(column(field)), std::move(f));
        }
        return files;
    }
    // Binds the values of a write from parameter 1 on; returns the next parameter's number. A
    // file's column gets a blob of the file's size, filled in afterwards.
    int bindWrittenValues(Statement& st, const QList<QPair<QString, PendingValue>>& values,
                          const OpenedFiles& files) const {
        int index = 1;
        size_t fileNo = 0;
        for (const auto& [field, pv] : values) {
            if (!pv.filePath.isEmpty()) {
                st.bindZeroBlob(index++, files[fileNo++].second->size());
            } else if (!pv.lengthOf.isEmpty()) {
                // The blob is made as long as the file was at its opening.
                const QString fileColumn = columns.value(column(pv.lengthOf));
                const auto file = std::find_if(files.begin(), files.end(), [&](const auto& f) {
                    return f.first == fileColumn;
                });
                if (file == files.end())
                    throw DbError(
                        QStringLiteral("A(z) %1 mező nem fájlból kap értéket.").arg(pv.lengthOf));
                st.bind(index++, QVariant(file->second->size()));
            } else {
                st.bind(index++, pv.value);
            }
        }
        return index;
    }
    qint64 keyOfRowid(qint64 rowid) {
        Statement k(
            conn,
            QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(quote(key), quote(table)));
        k.bind(1, rowid);
        return k.step() ? k.value(0).toLongLong() : -1;
    }
    qint64 rowidOfKey(qint64 k) {
        Statement r(
            conn,
            QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ?").arg(quote(table), quote(key)));
        r.bind(1, k);
        return r.step() ? r.value(0).toLongLong() : 0;
    }
};

SqliteTable::SqliteTable(SqliteConnection& conn, const QString& tableName, QObject* parent)
    : TableBase(parent), d(std::make_unique<Impl>(conn, tableName)) {
    conn.registerDataSet(this); // closing the connection closes the table
}

SqliteTable::~SqliteTable() {
    d->conn.unregisterDataSet(this);
}

void SqliteTable::setKeyField(const QString& field) {
    d->key = field;
}

void SqliteTable::open() {
    if (d->open)
        return;
    d->conn.open();
    d->load(); // "no such table: ..." when the file lacks it
    d->pos = d->rows.empty() ? -1 : 0;
    d->atEnd = d->rows.empty();
    d->open = true;
    setState(TableState::Browse);
    emit reset();
}

void SqliteTable::close() {
    if (!d->open)
        return;
    cancel();
    d->open = false;
    d->rows.clear();
    d->pos = -1;
    d->atEnd = true;
    d->lostKey = -1;
    setState(TableState::Inactive);
    emit reset();
}

void SqliteTable::refresh() {
    if (!d->open)
        throw DbError(
            QStringLiteral("A művelet nem hajtható végre: az adathalmaz nincs megnyitva."));
    cancel();
    const qint64 k = d->hasRow() ? d->currentKey() : d->lostKey;
    d->load();
    d->positionAt(k);
    if (!d->hasRow() || d->currentKey() != k)
        d->pos = d->rows.empty() ? -1 : 0; // the row is gone: back to the first one
    emit reset();
}

bool SqliteTable::isOpen() const {
    return d->open;
}

int SqliteTable::recordCount() {
    return d->open ? int(d->rows.size()) : 0;
}

void SqliteTable::first() {
    if (!d->open)
        return;
    cancel();
    d->pos = d->rows.empty() ? -1 : 0;
    d->atEnd = d->rows.empty();
    emit currentChanged();
}

void SqliteTable::next() {
    if (!d->open || !d->hasRow() || d->atEnd)
        return;
    cancel();
    if (d->pos + 1 < int(d->rows.size())) {
        ++d->pos;
        emit currentChanged();
    } else {
        d->atEnd = true; // the last row stays current
    }
}

bool SqliteTable::eof() {
    return !d->open || d->atEnd;
}

bool SqliteTable::locate(const QString& field, const QString& value, bool prefix) {
    if (!d->open)
        return false;
    const int c = d->column(field);
    for (int i = 0; i < int(d->rows.size()); ++i) {
        const QVariant& v = d->rows[size_t(i)][size_t(c)];
        if (v.isNull())
            continue;
        const QString text = v.toString();
        // Case-sensitive, character by character; blanks count.
        if (prefix ? text.startsWith(value, Qt::CaseSensitive) : text == value) {
            cancel();
            d->pos = i;
            d->atEnd = false;
            emit currentChanged();
            return true;
        }
    }
    return false;
}

bool SqliteTable::isNull(const QString& field) {
    return d->value(field).isNull();
}

QString SqliteTable::asString(const QString& field) {
    const QVariant v = d->value(field);
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

QByteArray SqliteTable::asBytes(const QString& field) {
    const QVariant v = d->value(field);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return v.toString().toUtf8();
}

void SqliteTable::doEdit() {
    if (!d->hasRow())
        throw DbError(kNotFound);
    // Read the row again: editing starts from what is stored now, and a file that another
    // process holds locked refuses here like a server would.
    Statement st(
        d->conn,
        QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quote(d->table), quote(d->key)));
    st.bind(1, d->currentKey());
    if (!st.step())
        throw DbError(kNotFound);
    std::vector<QVariant> row;
    for (int i = 0; i < st.columnCount(); ++i)
        row.push_back(st.value(i));
    if (int(row.size()) == d->columns.size())
        d->rows[size_t(d->pos)] = std::move(row);
}

void SqliteTable::doPost(TableState state, const QList<QPair<QString, PendingValue>>& values) {
    const bool insert = state == TableState::Insert;
    if (!insert && !d->hasRow())
        throw DbError(kNotFound);
    const qint64 oldKey = d->currentKey();
    if (!insert && values.isEmpty())
        return;

    QStringList cols;
    OpenedFiles files = d->openWrittenFiles(values, cols);
    const WriteStatementBuilder build(WriteStatementBuilder::Dialect::Sqlite);
    Statement st(d->conn,
                 insert ? build.insert(d->table, cols) : build.update(d->table, cols, d->key));
    const int index = d->bindWrittenValues(st, values, files);
    if (!insert)
        st.bind(index, oldKey);
    st.step();
    sqlite3* db = d->conn.handle();
    if (!insert && sqlite3_changes(db) == 0)
        throw DbError(kNotFound);

    const qint64 rowid = insert ? qint64(sqlite3_last_insert_rowid(db)) : d->rowidOfKey(oldKey);
    const qint64 newKey = insert ? d->keyOfRowid(rowid) : oldKey;
    for (auto& [column, file] : files)
        writeFileIntoBlob(d->conn, d->table, column, *file, rowid);
    d->reloadAfterWrite(newKey);
    emit reset();
    emit currentChanged();
}

void SqliteTable::doDelete() {
    if (!d->hasRow())
        throw DbError(kNotFound);
    const qint64 key = d->currentKey();
    Statement st(d->conn,
                 QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(quote(d->table), quote(d->key)));
    st.bind(1, key);
    st.step();
    d->reloadAfterWrite(key + 1); // the next row, or the last one when it was the last
    emit reset();
    emit currentChanged();
}

} // namespace kx
