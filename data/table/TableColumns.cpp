#include "data/table/TableColumns.h"

#include "data/sql/MariaConnection.h"

namespace kx {

TableColumns TableColumns::read(MariaConnection& conn, const QString& table, const QString& key) {
    MariaStatement st(
        conn,
        QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(MariaStatement::quoteIdentifier(table)));
    st.execute();
    const auto cols = st.columns();
    st.fetchAtMost(0); // no rows; frees the connection for the next statement
    TableColumns out(table);
    QStringList quoted;
    for (const auto& c : cols) {
        const bool isKey = c.name.compare(key, Qt::CaseInsensitive) == 0;
        if (c.deferred && !isKey) {
            out.m_onDemand.insert(c.name.toUpper(), c.name);
            continue;
        }
        if (isKey)
            out.m_keyIndex = int(out.m_rowFields.size());
        out.m_rowIndex.insert(c.name.toUpper(), int(out.m_rowFields.size()));
        out.m_rowFields << c.name;
        quoted << MariaStatement::quoteIdentifier(c.name);
    }
    if (out.m_keyIndex < 0)
        conn.fail(QStringLiteral("%1: key field '%2' not found").arg(table, key));
    out.m_selectList = quoted.join(QLatin1Char(','));
    return out;
}

QStringList TableColumns::onDemandFields() const {
    QStringList fields = m_onDemand.values();
    fields.sort(); // a fixed order; the hash has none
    return fields;
}

QString TableColumns::find(const QString& field, bool* onDemand) const {
    const QString upper = field.toUpper();
    if (auto it = m_rowIndex.constFind(upper); it != m_rowIndex.constEnd()) {
        *onDemand = false;
        return m_rowFields[*it];
    }
    if (auto it = m_onDemand.constFind(upper); it != m_onDemand.constEnd()) {
        *onDemand = true;
        return *it;
    }
    throw DbError(QStringLiteral("%1: Field '%2' not found").arg(m_table, field));
}

int TableColumns::indexOf(const QString& column) const {
    return m_rowIndex.value(column.toUpper());
}

qint64 TableColumns::keyOf(const MariaStatement::Row& row) const {
    const auto& key = row[size_t(m_keyIndex)];
    return key ? key->toLongLong() : -1;
}

} // namespace kx
