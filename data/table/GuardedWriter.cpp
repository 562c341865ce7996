#include "data/table/GuardedWriter.h"

#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "data/sql/Transaction.h"
#include "data/sql/WriteStatementBuilder.h"
#include "data/table/RowGuard.h"
#include "data/table/RowPage.h"
#include "data/table/TableSource.h"

namespace kx {

GuardedWriter::GuardedWriter(TableSource& source, RowPage& rows) : m_source(source), m_rows(rows) {}

bool GuardedWriter::post(bool insert, const PendingRow& values) {
    // The retry of a write whose connection was lost: never written twice.
    if (m_lost.isPending() && lostWriteFoundDone())
        return true;
    if (!insert && !m_rows.hasRow())
        m_source.failRowNotFound();
    if (!insert && values.isEmpty())
        return false; // nothing changed
    const qint64 oldKey = m_rows.currentKey();
    const qint64 keysBelow = insert ? highestKey() : 0;
    // Every value is made ready first: text that Latin-2 cannot store, or a file that cannot
    // be opened, stops the write before anything reaches the server.
    MariaStatement st(m_source.conn, writeStatement(insert, values));
    bindValues(st, values);
    if (!insert)
        st.bindInt(oldKey);
    // The transaction, when there is one, ends on every way out of here: a cancelled or
    // unreadable file, a refusal, a lost connection.
    std::unique_ptr<Transaction> tx;
    if (!insert && m_guard && !(tx = beginGuarded(oldKey)))
        m_source.failRowNotFound();
    quint64 affected = 0;
    try {
        affected = st.execute();
    } catch (const DbError& e) {
        tx.reset();
        if (!MariaConnection::isLostConnection(e.code()) ||
            !writeDoneBeforeLoss(oldKey, keysBelow, insert, values))
            throw;
        return true;
    }
    const qint64 newKey = insert ? qint64(st.insertId()) : oldKey;
    // Zero changed rows is also what an update with unchanged values gives; only a row that
    // is gone is a failure.
    if (!insert && affected == 0 && !keyExists(oldKey))
        m_source.failRowNotFound();
    if (tx)
        commitGuarded(*tx, oldKey, values);
    showAfterWrite(newKey, !insert);
    return true;
}

void GuardedWriter::remove() {
    if (!m_rows.hasRow())
        m_source.failRowNotFound();
    const qint64 key = m_rows.currentKey();
    MariaStatement st(m_source.conn, QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                         .arg(m_source.quotedTable(), m_source.quotedKey()));
    st.bindInt(key);
    std::unique_ptr<Transaction> tx;
    if (m_guard)
        tx = beginGuarded(key);
    // A row another workstation removed already counts as removed.
    if (!m_guard || tx) {
        try {
            st.execute();
            if (tx)
                tx->commit();
        } catch (const DbError& e) {
            tx.reset();
            if (!MariaConnection::isLostConnection(e.code()) || !m_source.conn.reconnectQuietly())
                throw; // a retry deletes by key again, which cannot remove a second row
            // The server may have deleted the row before the connection went: look by its key.
            m_source.conn.settleLostSession();
            if (keyExists(key))
                throw;
        }
    }
    // The current row becomes the next one, or the previous one when it was the last.
    showAfterWrite(key + 1, false);
}

// The retry of the pending row after its write's connection was lost: true when the lost
// write was done (the row page stands on its row then), false when the row is to be written.
bool GuardedWriter::lostWriteFoundDone() {
    qint64 found = -1;
    const Outcome outcome = lookUpLostWrite(&found);
    m_lost.forget();
    if (outcome != Outcome::Written)
        return false;
    showAfterWrite(found, false);
    return true;
}

// Looks on the server whether the lost write took place, once the lost session has ended. A
// new row is found by its identity among the rows added since the write began; a change
// cannot be told from its values cheaply, but writing it again by its key gives the same row,
// so its outcome stays Unknown.
GuardedWriter::Outcome GuardedWriter::lookUpLostWrite(qint64* foundKey) {
    m_source.conn.settleLostSession(); // the lost statement is done or undone by now
    if (!m_lost.isInsert()) {
        if (!keyExists(m_lost.key()))
            m_source.failRowNotFound();
        return Outcome::Unknown;
    }
    const std::optional<qint64> found = m_lost.findInsertedRow(m_source);
    if (!found)
        return Outcome::NotWritten;
    *foundKey = *found;
    return Outcome::Written;
}

// The connection of a write went while the write was on the server, which may have done it.
// True when it was done (the row page stands on it then). False leaves the failure to be
// reported: a write not done is written again by the retry, and one whose outcome is not known
// yet is looked up by the retry first.
bool GuardedWriter::writeDoneBeforeLoss(qint64 oldKey, qint64 keysBelow, bool insert,
                                        const PendingRow& values) {
    m_lost.remember(insert, oldKey, keysBelow, values);
    if (!m_source.conn.reconnectQuietly())
        return false;
    qint64 found = -1;
    const Outcome outcome = lookUpLostWrite(&found);
    if (outcome == Outcome::Unknown)
        return false; // the retry writes the same values by key again
    m_lost.forget();
    if (outcome == Outcome::NotWritten)
        return false;
    showAfterWrite(found, false);
    return true;
}

// The one question after a write whose answer says nothing of its row (an update that changed
// no row, a write whose connection was lost): is a row with this key stored?
bool GuardedWriter::keyExists(qint64 key) {
    MariaStatement check(m_source.conn, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                                            .arg(m_source.quotedTable(), m_source.quotedKey()));
    check.bindInt(key);
    check.execute();
    return !check.fetchAtMost(1).empty();
}

// Where new rows begin, so that a row written by an insert can be told apart from every row
// that was there before it.
qint64 GuardedWriter::highestKey() {
    MariaStatement top(m_source.conn, QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2")
                                          .arg(m_source.quotedKey(), m_source.quotedTable()));
    top.execute();
    const auto rows = top.fetchAtMost(1);
    return rows.empty() || !rows[0][0] ? 0 : rows[0][0]->toLongLong();
}

QString GuardedWriter::writeStatement(bool insert, const PendingRow& values) const {
    QStringList columns;
    for (const auto& v : values)
        columns << v.first;
    const WriteStatementBuilder build(WriteStatementBuilder::Dialect::MariaDb);
    return insert ? build.insert(m_source.table, columns)
                  : build.update(m_source.table, columns, m_source.key);
}

void GuardedWriter::bindValues(MariaStatement& st, const PendingRow& values) {
    for (const auto& [field, pv] : values) {
        if (!pv.filePath.isEmpty())
            st.bindFile(pv.filePath);
        else if (!pv.lengthOf.isEmpty())
            st.bindFileLength(streamedParam(values, pv.lengthOf));
        else
            st.bindValue(pv.value);
    }
}

// The parameter that streams fileField's file: values are bound in their order.
unsigned GuardedWriter::streamedParam(const PendingRow& values, const QString& fileField) {
    for (qsizetype n = 0; n < values.size(); ++n)
        if (values[n].first.compare(fileField, Qt::CaseInsensitive) == 0 &&
            !values[n].second.filePath.isEmpty())
            return unsigned(n);
    m_source.conn.fail(QStringLiteral("Field %1 is not streamed from a file").arg(fileField));
}

// Opens the transaction of a guarded change of row key and hands it over with the row locked;
// none when the row is gone. A row changed meanwhile is put to the guard with the transaction
// rolled back, so no lock waits on the user's answer; on Yes the row is locked and checked
// again.
std::unique_ptr<Transaction> GuardedWriter::beginGuarded(qint64 key) {
    for (;;) {
        auto tx = std::make_unique<Transaction>(m_source.conn);
        const RowGuard::Verdict verdict = m_guard->check(key);
        if (verdict == RowGuard::Verdict::Write)
            return tx;
        tx.reset();
        if (verdict == RowGuard::Verdict::Gone)
            return nullptr;
        if (!m_guard->overwrite())
            throw SilentAbort{};
    }
}

// Commits a guarded change of row key. Without an answer to the COMMIT the change may or may
// not be stored: the retry of the same values looks first (and the guard knows the change as
// this program's own), so it is neither lost nor asked about.
void GuardedWriter::commitGuarded(Transaction& tx, qint64 key, const PendingRow& values) {
    m_guard->changeMade(key);
    try {
        tx.commit();
    } catch (const DbError& e) {
        if (MariaConnection::isLostConnection(e.code()))
            m_lost.remember(false, key, 0, values);
        throw;
    }
    m_guard->changeCommitted();
}

// After a write the change is done; a failure to read the rows again (already shown by the
// hook) must not make the write look failed, or a retry would write it twice. sameRow: an
// update that kept the current row's key, whose row alone is read again (one short statement
// instead of a page) unless the filter may have taken it out.
void GuardedWriter::showAfterWrite(qint64 key, bool sameRow) {
    try {
        if (sameRow && !m_source.filter.applies() && m_rows.currentKey() == key &&
            m_rows.readCurrentAgain(false))
            return;
        m_rows.loadNear(key);
    } catch (const DbError&) {
        m_rows.loseTrack(key);
    }
}

} // namespace kx
