#include "data/table/DeferredNulls.h"

#include "data/table/RowPage.h"
#include "data/table/TableSource.h"

#include <algorithm>

namespace kx {

bool DeferredNulls::isNull(const QString& column, bool emptyToo,
                           const std::vector<MariaStatement::Row>& page, int pos) {
    Run& run = m_runs[column.toUpper() + (emptyToo ? QStringLiteral("|0") : QString())];
    const int size = int(run.flags.size());
    if (pos >= run.from && pos < run.from + size)
        return run.flags[size_t(pos - run.from)] != 0;
    // Going on forward past a run (skipping no more rows than it held) doubles the next one; a
    // jump anywhere else starts again with one row.
    const int gap = pos - (run.from + size);
    if (size > 0)
        run.length = gap >= 0 && gap <= size ? std::min(run.length * 2, RowPage::kSize) : 1;
    const int count = std::min(run.length, int(page.size()) - pos);
    const QString quoted = MariaStatement::quoteIdentifier(column);
    read(run,
         emptyToo ? QStringLiteral("COALESCE(OCTET_LENGTH(%1), 0) = 0").arg(quoted)
                  : QStringLiteral("%1 IS NULL").arg(quoted),
         page, pos, count);
    return run.flags[0] != 0;
}

void DeferredNulls::continueOnNextPage() {
    for (Run& run : m_runs) {
        run.from = 0;
        run.flags.clear();
    }
}

// The test for the rows page[pos, pos + count), in one statement by their keys.
void DeferredNulls::read(Run& run, const QString& test,
                         const std::vector<MariaStatement::Row>& page, int pos, int count) {
    const TableColumns& columns = m_source.columns;
    const QString key = m_source.quotedKey();
    MariaStatement st(m_source.conn, QStringLiteral("SELECT %1, %2 FROM %3%4")
                                         .arg(key, test, m_source.quotedTable(),
                                              m_source.filter.where(
                                                  QStringLiteral("%1 BETWEEN ? AND ?").arg(key))));
    m_source.filter.bind(st);
    st.bindInt(columns.keyOf(page[size_t(pos)]));
    st.bindInt(columns.keyOf(page[size_t(pos + count - 1)]));
    st.execute();
    run.from = pos;
    run.flags.assign(size_t(count), 1); // a row deleted meanwhile reads as NULL
    MariaStatement::Row row;
    int i = 0;
    while (st.fetch(row)) {
        if (!row[0] || !row[1])
            continue;
        const qint64 k = row[0]->toLongLong();
        while (i < count && columns.keyOf(page[size_t(pos + i)]) < k)
            ++i;
        if (i < count && columns.keyOf(page[size_t(pos + i)]) == k)
            run.flags[size_t(i)] = row[1]->toInt() != 0;
    }
}

} // namespace kx
