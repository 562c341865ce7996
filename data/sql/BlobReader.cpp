#include "data/sql/BlobReader.h"

#include "data/sql/DeviceWrite.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"

#include <QIODevice>
#include <algorithm>

namespace kx {

namespace {

constexpr int kMaxPieces = 1000; // within every server's recursion limit
// Room for the packet header and the other columns of a piece's row.
constexpr quint64 kPacketReserve = 64 * 1024;
constexpr qint64 kMinChunk = 4096;

QString q(const QString& name) {
    return MariaStatement::quoteIdentifier(name);
}

void writeTo(QIODevice& out, const char* data, qint64 size) {
    writeWhole(out, data, size);
}

// Drops the rows not read however the reading ends, so the connection is ready for the next
// statement even after a failed write to the output.
struct PendingRows {
    MariaStatement& statement;
    ~PendingRows() {
        statement.finish();
    }
};

} // namespace

struct BlobReader::Statements {
    QString table;
    QString key;
    QString column;
    std::unique_ptr<MariaStatement> stream; // every piece in one statement
    std::unique_ptr<MariaStatement> piece;  // one piece per statement (the fallback)
    std::unique_ptr<MariaStatement> size;
    bool streamRefused = false;
};

BlobReader::BlobReader(MariaConnection& conn) : m_conn(conn) {}

BlobReader::~BlobReader() = default;

void BlobReader::clear() {
    m_statements.clear();
}

BlobReader::Statements& BlobReader::statementsFor(const QString& table, const QString& keyColumn,
                                                  const QString& column) {
    const QString id = table + QLatin1Char('\n') + keyColumn + QLatin1Char('\n') + column;
    std::shared_ptr<Statements>& s = m_statements[id];
    if (!s) {
        s = std::make_shared<Statements>();
        s->table = table;
        s->key = keyColumn;
        s->column = column;
    }
    return *s;
}

qint64 BlobReader::pieceSize() {
    // Pieces stay well inside the server's packet limit; memory on both ends is one piece.
    const quint64 packet = m_conn.maxAllowedPacket();
    const qint64 room = qint64(packet > 2 * kPacketReserve ? packet - kPacketReserve : packet / 2);
    return std::max(kMinChunk, std::min(kChunk, room));
}

BlobReader::Outcome BlobReader::read(const QString& table, const QString& keyColumn,
                                     const QString& column, qint64 key, QIODevice& out) {
    Statements& s = statementsFor(table, keyColumn, column);
    const qint64 chunk = pieceSize();
    Outcome got;
    got.null = false;
    if (!stream(s, key, chunk, out, got))
        readPieces(s, key, chunk, out, got);
    return got;
}

std::optional<qint64> BlobReader::size(const QString& table, const QString& keyColumn,
                                       const QString& column, qint64 key) {
    Statements& s = statementsFor(table, keyColumn, column);
    if (!s.size)
        s.size = std::make_unique<MariaStatement>(
            m_conn, QStringLiteral("SELECT OCTET_LENGTH(%1) FROM %2 WHERE %3 = ?")
                        .arg(q(column), q(table), q(keyColumn)));
    MariaStatement& st = *s.size;
    st.bindInt(key);
    st.execute();
    PendingRows pending{st};
    MariaStatement::Row row;
    if (!st.fetch(row) || !row[0])
        return std::nullopt;
    return row[0]->toLongLong();
}

// One statement returns the value as numbered pieces, row by row, each with the value's
// length: the row is a constant of the join, so the server reads the value once (asking for
// each piece separately would read it again for every piece), and the client holds one piece
// at a time. The first row always comes when the record exists, so NULL (a NULL piece) and
// zero bytes (an empty piece) stay apart. False when the pieces are not all read: the server
// refused the statement, or it ended the recursion early (a server's recursion limit, or a
// value longer than all pieces together); the rest is then read piece by piece.
bool BlobReader::stream(Statements& s, qint64 key, qint64 chunk, QIODevice& out, Outcome& got) {
    if (s.streamRefused)
        return false;
    if (!s.stream) {
        const QString field = QStringLiteral("t.") + q(s.column);
        s.stream = std::make_unique<MariaStatement>(
            m_conn, QStringLiteral("WITH RECURSIVE kx_n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                                   "FROM kx_n WHERE i < %1) SELECT kx_n.i, SUBSTRING(%2, kx_n.i * "
                                   "? + 1, ?), OCTET_LENGTH(%2) FROM %3 t JOIN kx_n WHERE t.%4 = "
                                   "? AND (kx_n.i = 0 OR kx_n.i * ? < OCTET_LENGTH(%2)) ORDER BY "
                                   "kx_n.i")
                        .arg(QString::number(kMaxPieces - 1), field, q(s.table), q(s.key)));
    }
    if (!s.stream->prepareIfAccepted()) {
        // A server without recursive WITH: the pieces are asked for one by one.
        s.streamRefused = true;
        s.stream.reset();
        return false;
    }
    MariaStatement& st = *s.stream;
    st.bindInt(chunk);
    st.bindInt(chunk);
    st.bindInt(key);
    st.bindInt(chunk);
    st.execute();
    PendingRows pending{st};
    qint64 expected = 0;
    qint64 length = 0;
    std::vector<MariaStatement::Cell> cells;
    while (st.fetchCells(cells)) {
        if (cells[0].null || QByteArray(cells[0].data, cells[0].size).toLongLong() != expected) {
            st.finish();
            m_conn.fail(
                QStringLiteral("A(z) %1 mező darabjai rossz sorrendben érkeztek.").arg(s.column));
        }
        ++expected;
        if (cells[1].null) {
            got.null = true;
            break;
        }
        length = QByteArray(cells[2].data, cells[2].size).toLongLong();
        const qint64 size = std::min<qint64>(cells[1].size, chunk);
        try {
            writeTo(out, cells[1].data, size);
        } catch (...) {
            // The output failed or the user stopped the save: the rest of the value is not
            // waited for (reading it off could take minutes on a slow link).
            st.abandonRows();
            throw;
        }
        got.size += size;
    }
    if (expected == 0)
        got.null = true; // the record is gone
    return got.null || got.size >= length;
}

// The fallback: each piece is its own statement. The server reads the value once per piece,
// so this is slower for large values but needs nothing beyond SUBSTRING. Goes on from what
// got holds already.
void BlobReader::readPieces(Statements& s, qint64 key, qint64 chunk, QIODevice& out, Outcome& got) {
    if (!s.piece)
        s.piece = std::make_unique<MariaStatement>(
            m_conn, QStringLiteral("SELECT SUBSTRING(%1, ?, ?) FROM %2 WHERE %3 = ?")
                        .arg(q(s.column), q(s.table), q(s.key)));
    MariaStatement& st = *s.piece;
    qint64 position = got.size + 1;
    std::vector<MariaStatement::Cell> cells;
    for (;;) {
        st.bindInt(position);
        st.bindInt(chunk);
        st.bindInt(key);
        st.execute();
        PendingRows pending{st};
        if (!st.fetchCells(cells) || cells[0].null) {
            got.null = got.size == 0;
            break;
        }
        const qint64 size = std::min<qint64>(cells[0].size, chunk);
        writeTo(out, cells[0].data, size);
        got.size += size;
        if (size < chunk)
            break;
        position += size;
    }
}

} // namespace kx
