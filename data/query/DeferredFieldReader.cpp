#include "data/query/DeferredFieldReader.h"

#include "data/rows/RowSet.h"
#include "data/sql/MariaStatement.h"

#include <QStringList>

namespace kx {

DeferredFieldReader::DeferredFieldReader(MariaConnection& conn) : m_conn(conn), m_blobs(conn) {}

DeferredFieldReader::~DeferredFieldReader() = default;

void DeferredFieldReader::forget() {
    m_textsRead = false;
    m_texts.clear();
    m_blobLength.clear();
}

void DeferredFieldReader::reset() {
    forget();
    m_textStatement.reset();
    m_blobs.clear();
}

// Every deferred text of the row in one round trip, kept while the row is current.
void DeferredFieldReader::readTexts(const RowSet& rows, qint64 key) {
    std::vector<int> textColumns;
    if (!m_textStatement) {
        QStringList names;
        for (size_t i = 0; i < rows.columns.size(); ++i)
            if (rows.columns[i].deferred && !rows.columns[i].binary)
                names << MariaStatement::quoteIdentifier(rows.columns[i].name);
        m_textStatement = std::make_unique<MariaStatement>(
            m_conn,
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                .arg(names.join(QStringLiteral(", ")), MariaStatement::quoteIdentifier(rows.table),
                     MariaStatement::quoteIdentifier(rows.columns[size_t(rows.keyColumn)].name)));
    }
    for (size_t i = 0; i < rows.columns.size(); ++i)
        if (rows.columns[i].deferred && !rows.columns[i].binary)
            textColumns.push_back(int(i));
    MariaStatement& st = *m_textStatement;
    st.bindInt(key);
    st.execute();
    m_texts.clear();
    MariaStatement::Row row;
    const bool found = st.fetch(row); // else the row is gone: its texts read as NULL
    st.finish();
    if (found)
        for (size_t i = 0; i < textColumns.size() && i < row.size(); ++i)
            m_texts.insert(textColumns[i], row[i]);
    m_textsRead = true;
    m_textKey = key;
}

std::optional<QByteArray> DeferredFieldReader::text(const RowSet& rows, int column, qint64 key) {
    if (!m_textsRead || m_textKey != key)
        readTexts(rows, key);
    return m_texts.value(column);
}

std::optional<qint64> DeferredFieldReader::blobSize(const RowSet& rows, int column, qint64 key,
                                                    bool now) {
    if (const auto it = m_blobLength.constFind(column); !now && it != m_blobLength.constEnd())
        return *it;
    const std::optional<qint64> size =
        m_blobs.size(rows.table, rows.columns[size_t(rows.keyColumn)].name,
                     rows.columns[size_t(column)].name, key);
    m_blobLength.insert(column, size);
    return size;
}

std::optional<qint64> DeferredFieldReader::saveBlob(const RowSet& rows, int column, qint64 key,
                                                    QIODevice& out) {
    const BlobReader::Outcome got =
        m_blobs.read(rows.table, rows.columns[size_t(rows.keyColumn)].name,
                     rows.columns[size_t(column)].name, key, out);
    const std::optional<qint64> size = got.null ? std::nullopt : std::optional<qint64>(got.size);
    m_blobLength.insert(column, size);
    return size;
}

} // namespace kx
