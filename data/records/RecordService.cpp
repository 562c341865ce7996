#include "data/records/RecordService.h"

#include "data/query/Query.h"
#include "data/records/Columns.h"
#include "data/table/Table.h"
#include "data/text/Latin2.h"

namespace kx {

RecordService::RecordService(Table& recordTable, Query& recordQuery)
    : m_table(recordTable), m_query(recordQuery) {}

void RecordService::refresh() {
    m_table.refresh();
    // A query closed by a failure runs its own statement again: the search in force stays.
    if (m_query.isOpen() || !m_query.sql().trimmed().isEmpty()) {
        m_query.refresh();
    } else {
        m_query.setSql(allRecordsStatement());
        m_query.open();
    }
}

bool RecordService::hasRecords() {
    return m_query.isOpen() && !m_query.isEmpty(); // the first row is enough
}

bool RecordService::locateByTitle() {
    const QString title = m_query.asString(column::title);
    return m_table.locate(column::title, title, false);
}

int RecordService::search(const QString& answer, SearchColumns columns) {
    const QString sql = answer.isEmpty() ? allRecordsStatement() : searchStatement(answer, columns);
    // Checked before the record query is touched: a refused answer leaves the grid as it was.
    latin2::encode(answer);
    m_query.close();
    m_query.clearSql();
    m_query.setSql(sql);
    try {
        m_query.open();
    } catch (...) {
        // A search that never opened is not the one in force: the next refresh brings every
        // record back.
        m_query.clearSql();
        throw;
    }
    return m_query.recordCount();
}

int RecordService::storedCount() {
    return m_table.recordCount();
}

int RecordService::shownCount() {
    return m_query.isOpen() ? m_query.recordCount() : 0;
}

QString RecordService::hitsText(int hits) {
    return QStringLiteral("Találat: %1.").arg(hits);
}

} // namespace kx
