#include "data/query/refresh/StatementOrder.h"

#include "data/rows/RowSet.h"
#include "data/sql/MariaStatement.h"

#include <algorithm>

namespace kx {

namespace {
constexpr unsigned kBinaryCollation = 63;
} // namespace

std::optional<StatementOrder> StatementOrder::learn(MariaConnection& conn, const RowSet& rows,
                                                    const QString& column, bool descending) {
    StatementOrder order;
    order.m_column = rows.findColumn(column);
    if (order.m_column < 0 || rows.columns[size_t(order.m_column)].deferred)
        return std::nullopt;
    const ResultColumn& c = rows.columns[size_t(order.m_column)];
    order.m_descending = descending;
    order.m_numeric = c.numeric;
    if (c.numeric)
        return order;
    // The column's own collation (a result's may be the connection's instead).
    MariaStatement names(conn, QStringLiteral("SELECT c.COLLATION_NAME, c.CHARACTER_SET_NAME, "
                                              "s.MAXLEN FROM information_schema.COLUMNS c LEFT "
                                              "JOIN information_schema.CHARACTER_SETS s ON "
                                              "s.CHARACTER_SET_NAME = c.CHARACTER_SET_NAME "
                                              "WHERE c.TABLE_SCHEMA = DATABASE() AND "
                                              "c.TABLE_NAME = ? AND c.COLUMN_NAME = ?"));
    names.bindText(rows.table);
    names.bindText(c.name);
    names.execute();
    MariaStatement::Row found;
    const bool known = names.fetch(found);
    names.finish();
    if (!known)
        return std::nullopt;
    if (!found[0] && (c.binary || c.collation == kBinaryCollation)) {
        for (int i = 0; i < 256; ++i) // bytes as they are, blanks included
            order.m_weights[size_t(i)] = static_cast<unsigned char>(i);
        order.m_padSpace = false;
        return order;
    }
    if (!found[0] || !found[1] || !found[2] || found[2]->toInt() != 1)
        return std::nullopt;
    const QString collation = QString::fromLatin1(*found[0]);
    const QString charset = QString::fromLatin1(*found[1]);
    order.m_padSpace = !collation.contains(QLatin1String("nopad"), Qt::CaseInsensitive);
    if (!order.learnWeights(conn, charset, collation))
        return std::nullopt;
    return order;
}

// The weight of each of the 256 characters in the collation, when each is one byte.
bool StatementOrder::learnWeights(MariaConnection& conn, const QString& charset,
                                  const QString& collation) {
    MariaStatement weights(
        conn, QStringLiteral("WITH RECURSIVE kx_b(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM "
                             "kx_b WHERE i < 255) SELECT i, WEIGHT_STRING(CHAR(i USING %1) "
                             "COLLATE %2) FROM kx_b")
                  .arg(MariaStatement::quoteIdentifier(charset),
                       MariaStatement::quoteIdentifier(collation)));
    if (!weights.prepareIfAccepted())
        return false;
    weights.execute();
    int seen = 0;
    MariaStatement::Row row;
    bool simple = true;
    while (weights.fetch(row)) {
        if (!row[0] || !row[1] || row[1]->size() != 1) {
            simple = false;
            continue;
        }
        const int i = row[0]->toInt();
        if (i < 0 || i > 255)
            continue;
        m_weights[size_t(i)] = static_cast<unsigned char>(row[1]->at(0));
        ++seen;
    }
    return simple && seen == 256;
}

// As the server compares two values of a one-byte character set: character by character by
// weight; with PAD SPACE the shorter value counts as filled up with blanks.
int StatementOrder::compareValues(const RowSet& rows, int a, int b) const {
    const ResultColumn& c = rows.columns[size_t(m_column)];
    const bool nullA = rows.store.isNull(a, c.slot);
    const bool nullB = rows.store.isNull(b, c.slot);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    if (m_numeric) {
        const double x = rows.store.bytesAt(a, c.slot).toDouble();
        const double y = rows.store.bytesAt(b, c.slot).toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const auto* p = reinterpret_cast<const unsigned char*>(rows.store.data(a, c.slot));
    const auto* q = reinterpret_cast<const unsigned char*>(rows.store.data(b, c.slot));
    const qint64 lengthA = rows.store.sizeAt(a, c.slot);
    const qint64 lengthB = rows.store.sizeAt(b, c.slot);
    const qint64 common = std::min(lengthA, lengthB);
    for (qint64 i = 0; i < common; ++i)
        if (m_weights[p[i]] != m_weights[q[i]])
            return m_weights[p[i]] < m_weights[q[i]] ? -1 : 1;
    if (lengthA == lengthB)
        return 0;
    if (!m_padSpace)
        return lengthA < lengthB ? -1 : 1;
    // The rest of the longer value against blanks.
    const bool aLonger = lengthA > lengthB;
    const unsigned char* rest = aLonger ? p : q;
    const unsigned char space = m_weights[static_cast<unsigned char>(' ')];
    for (qint64 i = common; i < std::max(lengthA, lengthB); ++i)
        if (m_weights[rest[i]] != space) {
            const bool restSmaller = m_weights[rest[i]] < space;
            return (restSmaller == aLonger) ? -1 : 1;
        }
    return 0;
}

bool StatementOrder::before(const RowSet& rows, int a, int b) const {
    const int cmp = compareValues(rows, a, b);
    if (cmp != 0)
        return m_descending ? cmp > 0 : cmp < 0;
    return rows.keyOf(a) < rows.keyOf(b);
}

} // namespace kx
