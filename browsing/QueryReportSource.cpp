#include "QueryReportSource.h"

#include "data/query/Query.h"

namespace kx {

QueryReportSource::QueryReportSource(Query& query)
    : m_query(query), m_wasBlocked(query.blockSignals(true)), m_wasOpen(query.isOpen()),
      m_rowsAtStart(query.recordCount()), m_rowAtStart(query.currentRow()) {}

QueryReportSource::~QueryReportSource() {
    m_query.blockSignals(m_wasBlocked);
    if (m_wasBlocked)
        return;
    // A query that failed on the way was closed without anyone hearing of it.
    if (m_query.isOpen() != m_wasOpen || m_query.recordCount() != m_rowsAtStart)
        emit m_query.reset();
    if (m_query.currentRow() != m_rowAtStart || !m_query.isOpen())
        emit m_query.currentChanged();
}

int QueryReportSource::recordCount() {
    return m_query.isOpen() ? m_query.recordCount() : 0;
}

void QueryReportSource::moveTo(int record) {
    m_query.setCurrentRow(record);
}

QString QueryReportSource::text(const QString& field) {
    return m_query.asString(field);
}

QByteArray QueryReportSource::bytes(const QString& field) {
    return m_query.asBytes(field);
}

} // namespace kx
