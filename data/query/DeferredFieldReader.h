#pragma once

#include "data/sql/BlobReader.h"

#include <QByteArray>
#include <QHash>
#include <memory>
#include <optional>

class QIODevice;

namespace kx {

class MariaConnection;
class MariaStatement;
struct RowSet;

// Reads the deferred columns of a query's rows (long texts, pictures, files) for one row at
// a time, by its key, when they are asked for; what it read stays while the row does. Every
// deferred text of a row comes in one exchange with the server; a blob's size is measured on
// the server; a blob itself is streamed in pieces by the BlobReader.
class DeferredFieldReader {
public:
    explicit DeferredFieldReader(MariaConnection& conn);
    ~DeferredFieldReader();
    DeferredFieldReader(const DeferredFieldReader&) = delete;
    DeferredFieldReader& operator=(const DeferredFieldReader&) = delete;

    void forget(); // another row became current: the values read go
    void reset();  // the rows were read again: the statements go too

    // The deferred text column of the row with key (nullopt: NULL, or the row is gone).
    std::optional<QByteArray> text(const RowSet& rows, int column, qint64 key);
    // The size of a deferred blob column (nullopt: NULL, or the row is gone). Measured once
    // while the row is current, unless now asks the server again: another workstation may
    // have removed the record or its file since.
    std::optional<qint64> blobSize(const RowSet& rows, int column, qint64 key, bool now = false);
    // Streams the value into out; nullopt when it is NULL or the row is gone.
    std::optional<qint64> saveBlob(const RowSet& rows, int column, qint64 key, QIODevice& out);

private:
    void readTexts(const RowSet& rows, qint64 key);
    MariaConnection& m_conn;
    BlobReader m_blobs;
    std::unique_ptr<MariaStatement> m_textStatement;
    bool m_textsRead = false;
    qint64 m_textKey = 0;
    QHash<int, std::optional<QByteArray>> m_texts;  // column -> value (nullopt: NULL)
    QHash<int, std::optional<qint64>> m_blobLength; // column -> size (nullopt: NULL)
};

} // namespace kx
