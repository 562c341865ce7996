#include "data/sql/MariaStatement.h"

#include "data/sql/MariaConnection.h"
#include "data/sql/SmallAnswer.h"
#include "data/sql/TransferWatch.h"
#include "data/sql/WriteStatementBuilder.h"
#include "data/text/Latin2.h"

#include <QElapsedTimer>
#include <QFile>
#include <QVariant>
#include <algorithm>
#include <cstring>
#include <mysql.h>
#include <stdexcept>

namespace kx {

namespace {
// Values above this size travel as long data in chunks, never as one packet.
constexpr qsizetype kLongDataThreshold = 256 * 1024;
constexpr qint64 kLongDataChunk = 1024 * 1024;
// Row values up to this size are read in one go; longer ones by mysql_stmt_fetch_column.
constexpr unsigned long kCellBuffer = 256;
constexpr unsigned kBinaryCharset = 63;

bool isBlobType(enum_field_types t) {
    return t == MYSQL_TYPE_TINY_BLOB || t == MYSQL_TYPE_BLOB || t == MYSQL_TYPE_MEDIUM_BLOB ||
           t == MYSQL_TYPE_LONG_BLOB;
}

MariaStatement::Column columnOf(const MYSQL_FIELD& f) {
    MariaStatement::Column c;
    c.name = latin2::decode(f.name, qsizetype(f.name_length));
    c.deferred = isBlobType(f.type);
    c.numeric = f.type != MYSQL_TYPE_NULL && IS_NUM(f.type);
    c.collation = f.charsetnr;
    c.binary =
        f.charsetnr == kBinaryCharset &&
        (isBlobType(f.type) || f.type == MYSQL_TYPE_STRING || f.type == MYSQL_TYPE_VAR_STRING);
    return c;
}

std::vector<MariaStatement::Column> columnsOf(MYSQL_RES* meta) {
    std::vector<MariaStatement::Column> out;
    const unsigned n = mysql_num_fields(meta);
    const MYSQL_FIELD* fields = mysql_fetch_fields(meta);
    for (unsigned i = 0; i < n; ++i)
        out.push_back(columnOf(fields[i]));
    return out;
}
} // namespace

struct MariaStatement::Param {
    enum Kind { Text, Bytes, Int, Double, Null, File, FileLength };
    Param(Kind k, QByteArray b = QByteArray()) : kind(k), bytes(std::move(b)) {}
    Kind kind;
    QByteArray bytes;
    qint64 i = 0; // the value of an Int, the file's parameter of a FileLength
    double d = 0;
    QFile* file = nullptr;
    bool longData() const {
        return kind == File ||
               ((kind == Text || kind == Bytes) && bytes.size() > kLongDataThreshold);
    }
};

// The result buffers of a prepared statement, bound once per run.
struct MariaStatement::Result {
    std::vector<MYSQL_BIND> binds;
    std::vector<char> buffers;
    std::vector<unsigned long> lengths;
    std::vector<my_bool> nulls;
    std::vector<my_bool> errors;
    std::vector<QByteArray> longValues; // values longer than a cell buffer, reused row by row
};

MariaStatement::MariaStatement(MariaConnection& conn, const QString& sql)
    : m_conn(conn), m_sql(latin2::encode(sql)) {}

MariaStatement::~MariaStatement() {
    if (m_textResult)
        mysql_free_result(m_textResult); // reads the rest of the rows off the connection
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

void MariaStatement::bindFileLength(unsigned fileParam) {
    Param p(Param::FileLength);
    p.i = fileParam;
    m_params.push_back(p);
}

void MariaStatement::bindValue(const QVariant& value) {
    switch (valueKind(value)) {
    case ValueKind::Null:
        bindNull();
        break;
    case ValueKind::Bytes:
        bindBytes(value.toByteArray());
        break;
    case ValueKind::Real:
        bindDouble(value.toDouble());
        break;
    case ValueKind::Integer:
        bindInt(value.toLongLong());
        break;
    case ValueKind::Text:
        bindText(value.toString());
        break;
    }
}

void MariaStatement::fail() {
    if (!m_stmt)
        m_conn.fail();
    const DbError err(latin2::decode(QByteArray(mysql_stmt_error(m_stmt))),
                      mysql_stmt_errno(m_stmt));
    // The statement stays usable for the next run; a lost session's statement is prepared
    // again in the next one anyway, and asks nothing of a server that does not answer.
    mysql_stmt_free_result(m_stmt);
    if (!MariaConnection::isLostConnection(err.code()))
        mysql_stmt_reset(m_stmt);
    m_result.reset();
    if (m_quietRefusal && !MariaConnection::isLostConnection(err.code()))
        throw Refused{};
    m_conn.fail(err.message(), err.code());
}

void MariaStatement::finish() {
    if (m_textResult) {
        mysql_free_result(m_textResult);
        m_textResult = nullptr;
    }
    if (m_stmt)
        mysql_stmt_free_result(m_stmt);
    m_result.reset();
}

void MariaStatement::abandon() {
    if (m_textResult) {
        m_textResult->handle = nullptr; // freed without reading the rest off the connection
        mysql_free_result(m_textResult);
        m_textResult = nullptr;
    }
    if (m_stmt) {
        // The connection goes first: the statement then knows it is gone, and closing it
        // reads nothing more off it.
        m_conn.dropAbandonedHandle();
        mysql_stmt_close(m_stmt);
        m_stmt = nullptr;
        m_result.reset();
    }
    finish();
    m_conn.close();
}

void MariaStatement::abandonRows() {
    if (!m_conn.dropSession()) {
        finish();
        return;
    }
    if (m_textResult) {
        m_textResult->handle = nullptr; // its connection is gone: nothing to read off it
        mysql_free_result(m_textResult);
        m_textResult = nullptr;
    }
    finish(); // the statement was invalidated with its handle: nothing travels
}

// Statements belong to one session: after the connection was made again the statement is
// dropped and prepared anew. quiet: a refusal by the server returns false instead of failing.
bool MariaStatement::prepareStatement(bool quiet) {
    MYSQL* mysql = m_conn.handle(); // makes a lost connection again
    if (m_stmt && m_session == m_conn.session())
        return true;
    if (m_stmt) {
        mysql_stmt_close(m_stmt);
        m_stmt = nullptr;
        m_result.reset();
    }
    m_stmt = mysql_stmt_init(mysql);
    if (!m_stmt)
        m_conn.fail();
    m_session = m_conn.session();
    if (mysql_stmt_prepare(m_stmt, m_sql.constData(), static_cast<unsigned long>(m_sql.size())) ==
        0)
        return true;
    // Not kept: the next run prepares again.
    const DbError err(latin2::decode(QByteArray(mysql_stmt_error(m_stmt))),
                      mysql_stmt_errno(m_stmt));
    mysql_stmt_close(m_stmt);
    m_stmt = nullptr;
    const bool lost = MariaConnection::isLostConnection(err.code());
    if (m_quietRefusal && !lost)
        throw Refused{};
    if (!quiet || lost)
        m_conn.fail(err.message(), err.code());
    return false;
}

bool MariaStatement::prepareIfAccepted() {
    return prepareStatement(true);
}

bool MariaStatement::executeIfAccepted() {
    m_quietRefusal = true;
    try {
        execute();
    } catch (const Refused&) {
        m_quietRefusal = false;
        return false;
    } catch (...) {
        m_quietRefusal = false;
        throw;
    }
    m_quietRefusal = false;
    return true;
}

// A failure of the connection itself (text protocol): its error is taken before the rows
// still pending are dropped.
void MariaStatement::failConnection() {
    MYSQL* mysql = m_conn.handle();
    const DbError err(latin2::decode(QByteArray(mysql_error(mysql))), mysql_errno(mysql));
    if (m_textResult) {
        mysql_free_result(m_textResult);
        m_textResult = nullptr;
    }
    m_conn.fail(err.message(), err.code());
}

// A read outside a transaction may be asked again on a new session: it changes nothing, and
// nothing of a transaction is lost with the old one. A session the server dropped while it
// sat idle (its wait_timeout, a restart, a network blip) fails at once on the first statement
// of the next command; that statement is then run again, once, on a new connection, and the
// user sees nothing of it. A failure that took long (a frozen server) is reported as it is.
bool MariaStatement::isRepeatableRead() const {
    if (m_conn.inTransaction())
        return false;
    const QByteArray head = m_sql.trimmed().left(16).toUpper();
    return head.startsWith("SELECT") || head.startsWith("SHOW") || head.startsWith("SET STATEMENT");
}

template <typename Run> quint64 MariaStatement::repeatOnLostSession(Run run) {
    constexpr qint64 kAtOnceMs = 1000;
    QElapsedTimer took;
    took.start();
    try {
        const MariaConnection::QuietLoss quiet(m_conn);
        return run();
    } catch (const DbError& e) {
        if (!MariaConnection::isLostConnection(e.code()))
            throw; // reported through the hook already
        if (took.elapsed() > kAtOnceMs || !m_conn.reconnectQuietly())
            m_conn.fail(e.message(), e.code());
    }
    return run();
}

quint64 MariaStatement::execute() {
    // The parameters of this run; the next run binds its own.
    const std::deque<Param> params = std::move(m_params);
    const std::vector<std::unique_ptr<QFile>> files = std::move(m_files);
    m_params.clear();
    m_files.clear();
    const bool smallParams =
        std::none_of(params.begin(), params.end(), [](const Param& p) { return p.longData(); });
    if (smallParams && isRepeatableRead())
        return repeatOnLostSession([&] { return run(params); });
    return run(params);
}

// Points each bind at its parameter's value; long values and files are sent apart, before
// the execute.
void MariaStatement::bindParams(const std::deque<Param>& params, std::vector<MYSQL_BIND>& binds,
                                std::vector<unsigned long>& lengths,
                                std::vector<qint64>& fileLengths) {
    static my_bool isNull = 1;
    for (size_t n = 0; n < params.size(); ++n) {
        const Param& p = params[n];
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
            b.buffer = const_cast<char*>(p.bytes.constData());
            lengths[n] = static_cast<unsigned long>(p.bytes.size());
            b.buffer_length = lengths[n];
            b.length = &lengths[n];
            break;
        case Param::Int:
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.buffer = const_cast<qint64*>(&p.i);
            break;
        case Param::Double:
            b.buffer_type = MYSQL_TYPE_DOUBLE;
            b.buffer = const_cast<double*>(&p.d);
            break;
        case Param::Null:
            b.buffer_type = MYSQL_TYPE_NULL;
            b.is_null = &isNull;
            break;
        case Param::File:
            b.buffer_type = MYSQL_TYPE_LONG_BLOB;
            break;
        case Param::FileLength:
            if (p.i < 0 || size_t(p.i) >= params.size() || params[size_t(p.i)].kind != Param::File)
                m_conn.fail(QStringLiteral("Parameter %1 is not a file").arg(p.i));
            b.buffer_type = MYSQL_TYPE_LONGLONG;
            b.buffer = &fileLengths[n];
            break;
        }
    }
}

quint64 MariaStatement::run(const std::deque<Param>& params) {
    finish();
    prepareStatement(false);
    if (mysql_stmt_param_count(m_stmt) != params.size())
        m_conn.fail(QStringLiteral("Statement expects %1 parameters, %2 given")
                        .arg(mysql_stmt_param_count(m_stmt))
                        .arg(params.size()));

    std::vector<MYSQL_BIND> binds(params.size());
    std::vector<unsigned long> lengths(params.size());
    // A file's length is known only once it has gone out; the server reads the bound value
    // at the execute, after the long data.
    std::vector<qint64> sent(params.size(), 0);
    std::vector<qint64> fileLengths(params.size(), 0);
    bindParams(params, binds, lengths, fileLengths);
    if (!binds.empty() && mysql_stmt_bind_param(m_stmt, binds.data()))
        fail();
    for (size_t n = 0; n < params.size(); ++n)
        if (params[n].longData())
            sent[n] = sendLongData(static_cast<unsigned>(n), params[n]);
    for (size_t n = 0; n < params.size(); ++n)
        if (params[n].kind == Param::FileLength)
            fileLengths[n] = sent[size_t(params[n].i)];
    if (mysql_stmt_execute(m_stmt))
        fail();
    const my_ulonglong affected = mysql_stmt_affected_rows(m_stmt);
    return affected == static_cast<my_ulonglong>(-1) ? 0 : affected;
}

quint64 MariaStatement::executeText() {
    if (!m_params.empty())
        m_conn.fail(QStringLiteral("A statement sent as text takes no parameters"));
    if (isRepeatableRead())
        return repeatOnLostSession([&] { return runText(); });
    return runText();
}

quint64 MariaStatement::runText() {
    finish();
    MYSQL* mysql = m_conn.handle();
    if (mysql_real_query(mysql, m_sql.constData(), static_cast<unsigned long>(m_sql.size())))
        failConnection();
    if (mysql_field_count(mysql) == 0) {
        const my_ulonglong affected = mysql_affected_rows(mysql);
        return affected == static_cast<my_ulonglong>(-1) ? 0 : affected;
    }
    m_textResult = mysql_use_result(mysql);
    if (!m_textResult)
        failConnection();
    return 0;
}

qint64 MariaStatement::sendLongData(unsigned index, const Param& p) {
    // The first call goes out even for zero bytes, so an empty value is empty, not NULL.
    if (p.kind != Param::File) {
        qint64 off = 0;
        do {
            const qint64 n = qMin(kLongDataChunk, p.bytes.size() - off);
            if (mysql_stmt_send_long_data(m_stmt, index, p.bytes.constData() + off,
                                          static_cast<unsigned long>(n)))
                fail();
            off += n;
        } while (off < p.bytes.size());
        return off;
    }
    QByteArray chunk(kLongDataChunk, Qt::Uninitialized);
    bool sentAny = false;
    qint64 sent = 0;
    for (;;) {
        const qint64 n = p.file->read(chunk.data(), kLongDataChunk);
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
    return sent;
}

std::vector<MariaStatement::Column> MariaStatement::columns() {
    if (m_textResult)
        return columnsOf(m_textResult);
    if (!m_stmt)
        return {};
    MYSQL_RES* meta = mysql_stmt_result_metadata(m_stmt);
    if (!meta)
        return {};
    auto out = columnsOf(meta);
    mysql_free_result(meta);
    return out;
}

bool MariaStatement::fetchTextCells(std::vector<Cell>& cells) {
    const MYSQL_ROW row = mysql_fetch_row(m_textResult);
    if (!row) {
        // The end of the rows, or a failure while they streamed in.
        if (mysql_errno(m_conn.handle()))
            failConnection();
        return false;
    }
    const unsigned n = mysql_num_fields(m_textResult);
    const unsigned long* lengths = mysql_fetch_lengths(m_textResult);
    cells.resize(n);
    for (unsigned i = 0; i < n; ++i)
        cells[i] = {row[i], row[i] ? qsizetype(lengths[i]) : 0, row[i] == nullptr};
    return true;
}

// Gives every column of the prepared statement's result a buffer of its own.
void MariaStatement::bindResult() {
    m_result = std::make_unique<Result>();
    const unsigned n = mysql_stmt_field_count(m_stmt);
    Result& r = *m_result;
    r.binds.resize(n);
    r.buffers.resize(size_t(n) * kCellBuffer);
    r.lengths.resize(n);
    r.nulls.resize(n);
    r.errors.resize(n);
    r.longValues.resize(n);
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

// A value longer than its cell buffer: read whole into the column's own reused buffer.
void MariaStatement::fetchLongCell(unsigned column, unsigned long length, Cell& cell) {
    QByteArray& big = m_result->longValues[column];
    if (big.size() < qsizetype(length))
        big.resize(qsizetype(length));
    MYSQL_BIND b;
    std::memset(&b, 0, sizeof b);
    unsigned long got = 0;
    b.buffer_type = MYSQL_TYPE_STRING;
    b.buffer = big.data();
    b.buffer_length = length;
    b.length = &got;
    if (mysql_stmt_fetch_column(m_stmt, &b, column, 0))
        fail();
    cell = {big.constData(), qsizetype(length), false};
}

bool MariaStatement::fetchCells(std::vector<Cell>& cells) {
    if (m_textResult)
        return fetchTextCells(cells);
    if (!m_stmt)
        return false;
    if (!m_result)
        bindResult();
    Result& r = *m_result;
    const int rc = mysql_stmt_fetch(m_stmt);
    if (rc == MYSQL_NO_DATA)
        return false;
    if (rc == 1)
        fail();
    cells.resize(r.binds.size());
    for (unsigned i = 0; i < r.binds.size(); ++i) {
        if (r.nulls[i])
            cells[i] = Cell();
        else if (r.lengths[i] <= kCellBuffer)
            cells[i] = {static_cast<const char*>(r.binds[i].buffer), qsizetype(r.lengths[i]),
                        false};
        else
            fetchLongCell(i, r.lengths[i], cells[i]);
    }
    return true;
}

bool MariaStatement::fetch(Row& row) {
    if (!fetchCells(m_cells))
        return false;
    row.assign(m_cells.size(), std::nullopt);
    for (size_t i = 0; i < m_cells.size(); ++i)
        if (!m_cells[i].null)
            row[i] = QByteArray(m_cells[i].data, m_cells[i].size);
    return true;
}

std::vector<MariaStatement::Row> MariaStatement::fetchAll() {
    std::vector<Row> rows;
    Row row;
    while (fetch(row))
        rows.push_back(std::move(row));
    return rows;
}

std::vector<MariaStatement::Row> MariaStatement::fetchAtMost(qsizetype maxRows) {
    std::vector<Row> rows;
    Row row;
    while (fetch(row)) {
        if (qsizetype(rows.size()) >= maxRows) {
            abandon();
            const DbError err = SmallAnswer::tooLarge();
            m_conn.fail(err.message(), err.code());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

qint64 MariaStatement::insertId() const {
    return m_stmt ? static_cast<qint64>(mysql_stmt_insert_id(m_stmt)) : 0;
}

QString MariaStatement::quoteIdentifier(const QString& name) {
    return WriteStatementBuilder(WriteStatementBuilder::Dialect::MariaDb).quote(name);
}

} // namespace kx
