#pragma once

#include "data/sql/MariaStatement.h"

#include <QHash>
#include <vector>

namespace kx {

struct TableSource;

// Whether long columns (texts and blobs) are NULL in the rows of a page, read for a run of
// rows with one statement. Asking on forward through the rows doubles the run, so a pass over
// the table needs a few statements a page instead of one a row, while a single question reads
// only its own row (the server reads a whole blob to test it for NULL).
class DeferredNulls {
public:
    explicit DeferredNulls(const TableSource& source) : m_source(source) {}

    // Whether column is NULL in page[pos]; emptyToo: a value of zero bytes counts as well.
    bool isNull(const QString& column, bool emptyToo, const std::vector<MariaStatement::Row>& page,
                int pos);
    // The page's rows were replaced or read again: every run is read anew, from one row on.
    void clear() {
        m_runs.clear();
    }
    // The next page of a pass: the runs go on growing from where they were.
    void continueOnNextPage();

private:
    struct Run {
        int from = 0;
        std::vector<char> flags; // 1: NULL
        int length = 1;          // rows the next read covers
    };
    void read(Run& run, const QString& test, const std::vector<MariaStatement::Row>& page, int pos,
              int count);

    const TableSource& m_source;
    QHash<QString, Run> m_runs; // upper-case name (and "|0" for emptyToo) -> run
};

} // namespace kx
