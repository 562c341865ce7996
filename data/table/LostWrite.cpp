#include "data/table/LostWrite.h"

#include "data/sql/MariaStatement.h"
#include "data/sql/WriteStatementBuilder.h"
#include "data/table/TableSource.h"

namespace kx {

void LostWrite::remember(bool insert, qint64 key, qint64 keysBelow, const PendingRow& values) {
    m_pending = true;
    m_insert = insert;
    m_key = key;
    m_keysBelow = keysBelow;
    m_values = values;
}

std::optional<qint64> LostWrite::findInsertedRow(const TableSource& source) const {
    const QString key = source.quotedKey();
    QStringList conds{key + QStringLiteral(" > ?")};
    QVariantList binds;
    for (const auto& [field, pv] : std::as_const(m_values)) {
        const bool wanted = m_identity.isEmpty() || m_identity.contains(field, Qt::CaseInsensitive);
        if (!wanted || !pv.filePath.isEmpty() || !pv.lengthOf.isEmpty())
            continue;
        const QString col = MariaStatement::quoteIdentifier(field);
        switch (valueKind(pv.value)) {
        case ValueKind::Null:
            conds << col + QStringLiteral(" IS NULL");
            continue;
        case ValueKind::Real:
            continue;
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
    MariaStatement st(source.conn,
                      QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY %1 LIMIT 1")
                          .arg(key, source.quotedTable(), conds.join(QStringLiteral(" AND "))));
    st.bindInt(m_keysBelow);
    for (const QVariant& v : std::as_const(binds))
        st.bindValue(v);
    st.execute();
    const auto rows = st.fetchAtMost(1);
    if (rows.empty() || !rows[0][0])
        return std::nullopt;
    return rows[0][0]->toLongLong();
}

} // namespace kx
