#pragma once

#include "platform/ReportDataSource.h"

namespace kx {

class Query;

// The record query as the records of a printout. While the report walks it, the query's
// change signals are held back, so the grid and the browser do not follow every page; when the
// walk is over they hear of its final position once.
class QueryReportSource : public ReportDataSource {
public:
    explicit QueryReportSource(Query& query);
    ~QueryReportSource() override;
    QueryReportSource(const QueryReportSource&) = delete;
    QueryReportSource& operator=(const QueryReportSource&) = delete;

    int recordCount() override;
    void moveTo(int record) override;
    QString text(const QString& field) override;
    QByteArray bytes(const QString& field) override;

private:
    Query& m_query;
    bool m_wasBlocked;
    bool m_wasOpen;
    int m_rowsAtStart;
    int m_rowAtStart;
};

} // namespace kx
