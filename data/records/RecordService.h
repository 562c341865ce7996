#pragma once

#include "data/records/RecordSearch.h"

namespace kx {

class Query;
class Table;

// The steps on the records that every window takes alike: reading the record table and the
// record query again, asking whether the query shows a record, finding the query's current
// record in the table by its title, running a search, and the two counters. The windows
// reach it through the shared data and add what they show around it (cursor, message boxes).
class RecordService {
public:
    RecordService(Table& recordTable, Query& recordQuery);

    // The record table, then the record query, read again from the server; a record query
    // that a failed search left closed opens on every record again.
    void refresh();
    // True when the record query is open and shows at least one record.
    bool hasRecords();
    // Moves the record table onto the record whose title is the record query's current
    // title, whole and exact (letter case and blanks count); false when there is none.
    bool locateByTitle();
    // Runs the search for answer (an empty answer brings every record back) and returns the
    // number of hits. An answer Latin-2 cannot hold raises TextEncodingError before the
    // record query is touched.
    int search(const QString& answer, SearchColumns columns);
    // The records stored in tbl_Data, and those the record query shows.
    int storedCount();
    int shownCount();

    // The result box's text after a search.
    static QString hitsText(int hits); // "Találat: n."

private:
    Table& m_table;
    Query& m_query;
};

} // namespace kx
