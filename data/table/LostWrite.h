#pragma once

#include "data/table/PendingRow.h"

#include <QStringList>
#include <optional>

namespace kx {

struct TableSource;

// A write whose connection was lost after it was sent: the server may have done it. Kept for
// the retry of the same pending row, which looks on the server before it writes again, so that
// nothing is written twice.
class LostWrite {
public:
    // The fields by which a new row is recognised (e.g. the exact title); empty: every plain
    // value written.
    void setNewRowIdentity(const QStringList& fields) {
        m_identity = fields;
    }

    // keysBelow: every row present before an insert has a key up to this.
    void remember(bool insert, qint64 key, qint64 keysBelow, const PendingRow& values);
    void forget() {
        m_pending = false;
        m_values.clear();
    }
    bool isPending() const {
        return m_pending;
    }
    bool isInsert() const {
        return m_insert;
    }
    qint64 key() const { // of the changed row
        return m_key;
    }

    // The row a lost insert wrote: the first row added since it began whose identity holds the
    // values written, compared exactly; none when the insert was not done. Streamed files are
    // not sent again to be compared, and a real number may be rounded by its column.
    std::optional<qint64> findInsertedRow(const TableSource& source) const;

private:
    QStringList m_identity;
    bool m_pending = false;
    bool m_insert = false;
    qint64 m_key = -1;
    qint64 m_keysBelow = 0;
    PendingRow m_values;
};

} // namespace kx
