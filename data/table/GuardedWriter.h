#pragma once

#include "data/table/LostWrite.h"
#include "data/table/PendingRow.h"

#include <memory>

namespace kx {

class MariaStatement;
class RowGuard;
class RowPage;
class Transaction;
struct TableSource;

// Writes a table's pending row and deletes its current row, then puts the row page on the row
// written (after a delete: the next row, or the one before when it was the last). While a
// guard is set, a change of an existing row runs in a transaction of its own: the row is read
// with a lock by its key and checked by the guard, changed, then committed; the transaction
// ends on every way out. A write whose connection was lost is looked up on the server before it
// is written again, so it is done once.
class GuardedWriter {
public:
    GuardedWriter(TableSource& source, RowPage& rows);

    // nullptr: no guard, and no transaction of the writer's own.
    void setGuard(RowGuard* guard) {
        m_guard = guard;
    }
    void setNewRowIdentity(const QStringList& fields) {
        m_lost.setNewRowIdentity(fields);
    }
    // The pending row went: a lost write of it has no retry to look for it any more.
    void pendingDropped() {
        m_lost.forget();
    }

    // Writes a new row (insert) or the changed fields of the current row; false when nothing
    // was written because no field of the current row was set.
    bool post(bool insert, const PendingRow& values);
    // Deletes the current row; a row already gone counts as deleted.
    void remove();

private:
    enum class Outcome { Written, NotWritten, Unknown };
    bool lostWriteFoundDone();
    Outcome lookUpLostWrite(qint64* foundKey);
    bool writeDoneBeforeLoss(qint64 oldKey, qint64 keysBelow, bool insert,
                             const PendingRow& values);
    bool keyExists(qint64 key);
    qint64 highestKey();
    QString writeStatement(bool insert, const PendingRow& values) const;
    void bindValues(MariaStatement& st, const PendingRow& values);
    unsigned streamedParam(const PendingRow& values, const QString& fileField);
    std::unique_ptr<Transaction> beginGuarded(qint64 key);
    void commitGuarded(Transaction& tx, qint64 key, const PendingRow& values);
    void showAfterWrite(qint64 key, bool sameRow);

    TableSource& m_source;
    RowPage& m_rows;
    RowGuard* m_guard = nullptr;
    LostWrite m_lost;
};

} // namespace kx
