#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

class QIODevice;

namespace kx {

class MariaConnection;
class MariaStatement;

// Reads one long value (a blob or a long text) of one row, found by its key, from the record
// store in pieces: neither the server nor the client ever holds the whole value for it, so
// memory does not grow with the size of a stored file. Serves every reader of stored files.
class BlobReader {
public:
    // The largest piece asked for at once; less where the server's packet limit is smaller.
    static constexpr qint64 kChunk = 4 * 1024 * 1024;

    explicit BlobReader(MariaConnection& conn);
    ~BlobReader();
    BlobReader(const BlobReader&) = delete;
    BlobReader& operator=(const BlobReader&) = delete;

    struct Outcome {
        qint64 size = 0;
        bool null = true; // NULL, or no row has the key
    };
    // Streams the value into out. A failed write to out throws DbError with the device's
    // error text; the hook does not see it, since the server did nothing wrong (and a save
    // the user stopped shows nothing more).
    Outcome read(const QString& table, const QString& keyColumn, const QString& column, qint64 key,
                 QIODevice& out);
    // The size alone: the server measures the value and nothing of it travels. No value:
    // NULL, or no row has the key.
    std::optional<qint64> size(const QString& table, const QString& keyColumn,
                               const QString& column, qint64 key);
    // The size of a piece on this connection.
    qint64 pieceSize();
    // Drops the prepared statements (the table's shape may have changed).
    void clear();

private:
    struct Statements;
    Statements& statementsFor(const QString& table, const QString& keyColumn,
                              const QString& column);
    bool stream(Statements& s, qint64 key, qint64 chunk, QIODevice& out, Outcome& got);
    void readPieces(Statements& s, qint64 key, qint64 chunk, QIODevice& out, Outcome& got);
    MariaConnection& m_conn;
    QHash<QString, std::shared_ptr<Statements>> m_statements; // table, key and column
};

} // namespace kx
