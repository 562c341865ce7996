#pragma once

#include <QString>
#include <functional>

namespace kx {

class Query;
class Table;

// The figures of the statistics window that are computed rather than just counted.

// One grouping of tbl_Data by a column, counted on the server and filtered locally.
struct GroupedCount {
    int groups = 0;       // groups that passed the filter
    QString mostFrequent; // "value  -  count" of the last group, "  -  0" without groups
    QString rarest;       // the same of the first group
};

// Runs "select <column>, count(<column>) as <alias> from tbl_Data", "group by <column>",
// "order by <alias>" on query with the local filter given, and reads the figure from it. The
// query is left closed with no filter, as the spare statement object it is.
GroupedCount groupedCount(Query& query, const QString& column, const QString& alias,
                          const QString& filter);

// The local filter that hides the groups whose value is NULL or empty: "<column> > ''".
QString nonEmptyFilter(const QString& column);

// "value  -  count", cut so that it fits the 100 characters of NUM: the value loses its end,
// the separator and the count are always whole.
QString frequencyText(const QString& value, qint64 count);
constexpr int kValueWidth = 100;

// The four figures of one pass over every record of the record table.
struct RecordPass {
    qint64 withPhoto = 0;
    qint64 withoutPhoto = 0;
    qint64 over100KB = 0; // FMER > 100000
    qint64 over1MB = 0;   // FMER > 1000000
};

// Called after each record of the pass with the number of records counted so far; it may
// throw to end the pass where it is (the caller's "Mégse").
using RecordPassStep = std::function<void(qint64 counted)>;

// Walks the table from its first record to its last. Only the visible columns travel; the
// photo is asked whether it holds any bytes (NULL or zero bytes is no photo), never read.
RecordPass recordPass(Table& records, const RecordPassStep& step = {});

} // namespace kx
