#include "MariaStatement.h"

#include "Latin2.h"
#include "MariaConnection.h"
#include "TransferWatch.h"

#include <QFile>
#include <cstring>
#include <mysql.h>
#include <stdexcept>

namespace kx {

namespace {
// Values above this size travel as long data in chunks, never as one packet.
constexpr qsizetype kLongDataThreshold = 256 * 1024;
constexpr qint64 kChunk = 1024 * 1024;
// Row values up to this size are read in one go; longer ones by mysql_stmt_fetch_column.
constexpr unsigned long kCellBuffer = 256;
} // namespace

struct MariaStatement::Param {
    enum Kind { Text, Bytes, Int, Double, Null, File };
    Param(Kind k, QByteArray b = QByteArray()) : kind(k), bytes(std::move(b)) {}
    Kind kind;
    QByteArray bytes;
    qint64 i = 0;
    double d = 0;
    QFile* file = nullptr;
    bool longData() const {
        return kind == File ||
               ((kind == Text || kind == Bytes) && bytes.size() > kLongDataThreshold);
    }
};

struct MariaStatement::Result {
    std::vector<MYSQL_BIND> binds;
    std::vector<char> buffers;
    std::vector<unsigned long> lengths;
    std::vector<my_bool> nulls;
    std::vector<my_bool> errors;
};

MariaStatement::MariaStatement(MariaConnection& conn, const QString& sql)
    : m_conn(conn), m_sql(latin2::encode(sql)) {}

MariaStatement::~MariaStatement() {
    if (m_stmt)
        mysql_stmt_close(m_stmt);
}

void MariaStatement::bindText(const QString& text) {
    m_params.emplace_back(Param::Text, latin2::encode(text));
}

void MariaStatement::bindBytes(const QByteArray& bytes) {
    // A null QByteArray is still a value here: an empty blob, not NULL.
    m_params.emplace_back(Param::Bytes, bytes.isNull() ? QByteArray("") : bytes);
}

void MariaStatement::bindInt(qint64 value) {
    Param p(Param::Int);
    p.i = value;
    m_params.push_back(p);
}

void MariaStatement::bindDouble(double value) {
    Param p(Param::Double);
    p.d = value;
    m_params.push_back(p);
}

void MariaStatement::bindNull() {
    m_params.emplace_back(Param::Null);
}

void MariaStatement::bindFile(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem nyitható meg. %2")
                                     .arg(path, file->errorString())
                                     .toStdString());
    Param p(Param::File);
    p.file = file.get();
    m_files.push_back(std::move(file));
    m_params.push_back(p);
}

void MariaStatement::fail() {
    m_conn.failStatement(m_stmt);
}

quint64 MariaStatement::execute() {
    m_stmt = mysql_stmt_init(m_conn.handle());
    if (!m_stmt)
        m_conn.fail();
    if (mysql_stmt_prepare(m_stmt, m_sql.constData(), m_sql.size()))
        fail();
    if (mysql_stmt_param_count(m_stmt) != m_params.size())
        m_conn.fail(QStringLiteral("Statement expects %1 parameters, %2 given")
                        .arg(mysql_stmt_param_count(m_stmt))
                        .arg(m_params.size()));

    std::vector<MYSQL_BIND> binds(m_params.size());
    std::vector<unsigned long> lengths(m_params.size());
    static my_bool isNull = 1;
    for (size_t n = 0; n < m_params.size(); ++n) {
        Param& p = m_params[n];
        MYSQL_BIND& b = binds[n];
        std::memset(&b, 0, sizeof b);
        switch (p.kind) {
        case Param::Text:
        case Param::Bytes:
            b.buffer_type = p.kind == Param::Text ? MYSQL_TYPE_STRING : MYSQL_TYPE_BLOB;
            if (p.longData()) {
                b.buffer_type = MYSQL_TYPE_LONG_BLOB;
                break;
            }
            b.buffer = p.bytes.data();
            lengths[n] = static_cast<unsigned long>(p.bytes.size());
            b.buffer_length = lengths[n];
            b.length = &lengths[n];
            break;
        case Param::Int:
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.buffer = &p.i;
            break;
        case Param::Double:
            b.buffer_type = MYSQL_TYPE_DOUBLE;
            b.buffer = &p.d;
            break;
        case Param::Null:
            b.buffer_type = MYSQL_TYPE_NULL;
            b.is_null = &isNull;
            break;
        case Param::File:
            b.buffer_type = MYSQL_TYPE_LONG_BLOB;
            break;
        }
    }
    if (!binds.empty() && mysql_stmt_bind_param(m_stmt, binds.data()))
        fail();
    for (size_t n = 0; n < m_params.size(); ++n)
        if (m_params[n].longData())
            sendLongData(static_cast<unsigned>(n), m_params[n]);
    if (mysql_stmt_execute(m_stmt))
        fail();
    const my_ulonglong affected = mysql_stmt_affected_rows(m_stmt);
    return affected == static_cast<my_ulonglong>(-1) ? 0 : affected;
}

void MariaStatement::sendLongData(unsigned index, const Param& p) {
    // The first call goes out even for zero bytes, so an empty value is empty, not NULL.
    if (p.kind != Param::File) {
        qint64 off = 0;
        do {
            const qint64 n = qMin(kChunk, p.bytes.size() - off);
            if (mysql_stmt_send_long_data(m_stmt, index, p.bytes.constData() + off,
                                          static_cast<unsigned long>(n)))
                fail();
            off += n;
        } while (off < p.bytes.size());
        return;
    }
    QByteArray chunk(kChunk, Qt::Uninitialized);
    bool sentAny = false;
    qint64 sent = 0;
    for (;;) {
        const qint64 n = p.file->read(chunk.data(), kChunk);
        if (n < 0)
            throw std::runtime_error(QStringLiteral("A(z) „%1” fájl nem olvasható. %2")
                                         .arg(p.file->fileName(), p.file->errorString())
                                         .toStdString());
        if (n == 0 && sentAny)
            break;
        if (mysql_stmt_send_long_data(m_stmt, index, chunk.constData(),
                                      static_cast<unsigned long>(n)))
            fail();
        sentAny = true;
        if (n == 0)
            break;
        sent += n;
        TransferWatch::piece(sent); // may stop here: the statement is then never executed
    }
}

std::vector<MariaStatement::Column> MariaStatement::columns() {
    std::vector<Column> out;
    MYSQL_RES* meta = mysql_stmt_result_metadata(m_stmt);
    if (!meta)
        return out;
    const unsigned n = mysql_num_fields(meta);
    const MYSQL_FIELD* fields = mysql_fetch_fields(meta);
    for (unsigned i = 0; i < n; ++i) {
        const auto t = fields[i].type;
        const bool deferred = t == MYSQL_TYPE_TINY_BLOB || t == MYSQL_TYPE_BLOB ||
                              t == MYSQL_TYPE_MEDIUM_BLOB || t == MYSQL_TYPE_LONG_BLOB;
        out.push_back({latin2::decode(fields[i].name, fields[i].name_length), deferred});
    }
    mysql_free_result(meta);
    return out;
}

bool MariaStatement::fetch(Row& row) {
    if (!m_result) {
        m_result = std::make_unique<Result>();
        const unsigned n = mysql_stmt_field_count(m_stmt);
        Result& r = *m_result;
        r.binds.resize(n);
        r.buffers.resize(size_t(n) * kCellBuffer);
        r.lengths.resize(n);
        r.nulls.resize(n);
        r.errors.resize(n);
        for (unsigned i = 0; i < n; ++i) {
            MYSQL_BIND& b = r.binds[i];
            std::memset(&b, 0, sizeof b);
            // Numbers and dates come back as their text, like the text protocol gives them.
            b.buffer_type = MYSQL_TYPE_STRING;
            b.buffer = r.buffers.data() + size_t(i) * kCellBuffer;
            b.buffer_length = kCellBuffer;
            b.length = &r.lengths[i];
            b.is_null = &r.nulls[i];
            b.error = &r.errors[i];
        }
        if (n && mysql_stmt_bind_result(m_stmt, r.binds.data()))
            fail();
    }
    Result& r = *m_result;
    const int rc = mysql_stmt_fetch(m_stmt);
    if (rc == MYSQL_NO_DATA)
        return false;
    if (rc == 1)
        fail();
    row.assign(r.binds.size(), std::nullopt);
    for (unsigned i = 0; i < r.binds.size(); ++i) {
        if (r.nulls[i])
            continue;
        const unsigned long len = r.lengths[i];
        if (len <= kCellBuffer) {
            row[i] = QByteArray(static_cast<const char*>(r.binds[i].buffer), len);
            continue;
        }
        QByteArray big(len, Qt::Uninitialized);
        MYSQL_BIND b;
        std::memset(&b, 0, sizeof b);
        unsigned long got = 0;
        b.buffer_type = MYSQL_TYPE_STRING;
        b.buffer = big.data();
        b.buffer_length = len;
        b.length = &got;
        if (mysql_stmt_fetch_column(m_stmt, &b, i, 0))
            fail();
        row[i] = std::move(big);
    }
    return true;
}

std::vector<MariaStatement::Row> MariaStatement::fetchAll() {
    std::vector<Row> rows;
    Row row;
    while (fetch(row))
        rows.push_back(std::move(row));
    return rows;
}

qint64 MariaStatement::insertId() const {
    return static_cast<qint64>(mysql_stmt_insert_id(m_stmt));
}

QString MariaStatement::quoteIdentifier(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('`'), QStringLiteral("``"));
    return QLatin1Char('`') + n + QLatin1Char('`');
}

} // namespace kx
