#pragma once

#include "data/records/RecordFields.h"
#include "data/records/RecordSearch.h"
#include "data/sql/TransferWatch.h"

#include <functional>

namespace kx {

class Query;
class ShownRecord;
class Table;

// The one door through which the windows reach the records: reading the record table and the
// record query again, asking whether the query shows a record, finding a record by its title
// or its key, storing a new record, changing or deleting a shown one, running a search, and
// the two counters. The windows add what they show around it (cursor, message boxes) and
// never name a column.
class RecordService {
public:
    // How a store handles the title of the record it changes.
    enum class TitleChange { Keep, Write };
    // How a title counts as taken: by a stored title equal to it, whole and exact (letter
    // case and blanks count), or by one that begins with it.
    enum class TitleMatch { Whole, Beginning };
    // Called once a store's values are ready, just before they go to the server; what it
    // returns follows the stored file piece by piece and may stop it (see TransferWatch).
    using TransferFollower = std::function<TransferWatch::Watcher()>;
    // What a store or a delete asks on its way; each answers true to go on, and false ends
    // the change unwritten (SilentAbort). One left empty leaves the record table's own
    // handler in force (an empty goOverChange answers false).
    struct Questions {
        std::function<bool()> retryLocked;  // another workstation locks the record
        std::function<bool()> retryRefused; // the server refused the write or the delete
        std::function<bool()> goOverChange; // the record was changed since it was shown
    };

    RecordService(Table& recordTable, Query& recordQuery);

    // The record table, then the record query, read again from the server; a record query
    // that a failed search left closed opens on every record again.
    void refresh();
    // True when the record query is open and shows at least one record.
    bool hasRecords();
    // Moves the record table (not the record query) onto the record whose title is the
    // record query's current title, whole and exact (letter case and blanks count); false
    // when the table has none, and the table's position then says nothing.
    bool locateByTitle();
    // Moves the record table onto the record of key; false when there is none.
    bool locateByKey(qint64 key);
    // Whether a record other than the one of ownKey has title, matched as match says. Moves
    // the record table onto the one found.
    bool titleTaken(const QString& title, TitleMatch match, qint64 ownKey = -1);
    // The key of the record the record table stands on (-1: none), and its values.
    qint64 currentKey();
    QString currentTitle();
    RecordFields currentRecord();

    // Stores a new record. Whatever stops it on the way, nothing of it stays pending.
    void insert(const RecordFields& fields, const Questions& questions,
                const TransferFollower& follow = {});
    // Writes fields onto the shown record of key; the title only with TitleChange::Write,
    // the file only when fields names one. False, with nothing written, when no record has
    // the key any more. The shown record's check runs in the write's own transaction.
    bool update(ShownRecord& shown, qint64 key, const RecordFields& fields, TitleChange title,
                const Questions& questions, const TransferFollower& follow = {});
    // Deletes the shown record of key; false, with nothing deleted, when no record has the
    // key any more. The shown record's check runs in the delete's own transaction.
    bool remove(ShownRecord& shown, qint64 key, const Questions& questions);

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
    friend class ShownRecord;
    void writeRow(const std::function<void()>& start, const TransferFollower& follow);
    void setFields(const RecordFields& fields);

    Table& m_table;
    Query& m_query;
};

} // namespace kx
