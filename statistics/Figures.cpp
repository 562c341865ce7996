#include "Figures.h"

#include "data/query/Query.h"
#include "data/records/Columns.h"
#include "data/sql/SqlLiteral.h"
#include "data/table/Table.h"

namespace kx {

namespace {

// Leaves the spare query as it was found even when a step fails: closed, filter off.
struct SpareQueryReset {
    Query& query;
    ~SpareQueryReset() {
        query.close();
        try {
            query.setFiltered(false);
            query.setFilter(QString());
        } catch (...) {
            // switching a filter off on a closed query reads nothing and cannot fail
        }
    }
};

} // namespace

QString nonEmptyFilter(const QString& column) {
    return column + QStringLiteral(" > ") + sqlLiteral(QString());
}

QString frequencyText(const QString& value, qint64 count) {
    const QString tail = QStringLiteral("  -  ") + QString::number(count);
    return value.left(qMax(0, kValueWidth - int(tail.size()))) + tail;
}

GroupedCount groupedCount(Query& query, const QString& column, const QString& alias,
                          const QString& filter) {
    SpareQueryReset reset{query};
    query.setFilter(filter);
    query.setFiltered(true);
    query.close();
    query.setSql(
        QStringLiteral("select %1, count(%1) as %2 from tbl_Data\ngroup by %1\norder by %2")
            .arg(column, alias));
    query.open();

    // Groups come from the rarest to the most frequent.
    GroupedCount out;
    out.groups = query.recordCount();
    if (out.groups <= 0) {
        out.mostFrequent = out.rarest = frequencyText(QString(), 0);
        return out;
    }
    query.first();
    out.rarest = frequencyText(query.asString(column), query.asInteger(alias));
    query.last();
    out.mostFrequent = frequencyText(query.asString(column), query.asInteger(alias));
    return out;
}

RecordPass recordPass(Table& records, const RecordPassStep& step) {
    const QString photo = column::photo;
    const QString size = column::fileSize;
    RecordPass out;
    for (records.first(); !records.eof(); records.next()) {
        // Every form stores "no photo" as zero bytes; NULL is no photo too.
        if (records.isNullOrEmpty(photo))
            ++out.withoutPhoto;
        else
            ++out.withPhoto;
        const qint64 bytes = records.asInteger(size);
        if (bytes > 100000)
            ++out.over100KB;
        if (bytes > 1000000)
            ++out.over1MB;
        if (step)
            step(out.withPhoto + out.withoutPhoto);
    }
    return out;
}

} // namespace kx
