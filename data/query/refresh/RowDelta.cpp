#include "data/query/refresh/RowDelta.h"

#include "data/query/refresh/StatementOrder.h"
#include "data/rows/InsertOrdered.h"
#include "data/rows/ReadingWorker.h"
#include "data/rows/RowSet.h"
#include "data/sql/MariaStatement.h"

#include <QStringList>
#include <algorithm>
#include <functional>
#include <limits>

namespace kx {

namespace {

// Keys asked for in one statement when the changed rows are read.
constexpr int kKeysPerRead = 500;
// Statements of this many rows in hand are scanned in two halves at once.
constexpr size_t kSplitFrom = 20000;

qint64 number(const MariaStatement::Cell& cell, bool* ok = nullptr) {
    return QByteArray::fromRawData(cell.data, cell.size).toLongLong(ok);
}

quint64 unsignedNumber(const MariaStatement::Cell& cell) {
    return QByteArray::fromRawData(cell.data, cell.size).toULongLong();
}

// The stored rows the client holds, found by key: a table by key where the keys lie close
// together (as the server gives them), else a list sorted by key. Marks the rows seen.
class HeldRows {
public:
    explicit HeldRows(const RowSet& rows) {
        std::vector<std::pair<qint64, int>> held;
        held.reserve(rows.order.size());
        qint64 low = std::numeric_limits<qint64>::max(), high = -1;
        for (const int r : rows.order) {
            const qint64 key = rows.keyOf(r);
            if (key < 0) {
                m_unkeyed.push_back(r); // never found by key: read again as gone
                continue;
            }
            held.emplace_back(key, r);
            low = std::min(low, key);
            high = std::max(high, key);
        }
        if (held.empty())
            return;
        m_base = low;
        if (high - low < 4 * qint64(held.size()) + 1024) {
            m_byKey.assign(size_t(high - low + 1), -1);
            for (const auto& [key, r] : held)
                m_byKey[size_t(key - low)] = r;
        } else {
            std::sort(held.begin(), held.end());
            m_sorted = std::move(held);
        }
    }
    // The stored row of key, marked as seen; -1 when none.
    int take(qint64 key) {
        if (!m_byKey.empty()) {
            if (key < m_base || key - m_base >= qint64(m_byKey.size()))
                return -1;
            int& r = m_byKey[size_t(key - m_base)];
            const int found = r;
            if (found >= 0)
                r = -2 - found; // seen
            return found;
        }
        const auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(), std::pair(key, -1));
        if (it == m_sorted.end() || it->first != key || it->second < 0)
            return -1;
        const int found = it->second;
        it->second = -2 - found;
        return found;
    }
    // A key with about as many held keys below it as from it on.
    qint64 middleKey() const {
        if (!m_sorted.empty())
            return m_sorted[m_sorted.size() / 2].first;
        size_t held = 0;
        for (const int r : m_byKey)
            held += r >= 0;
        size_t below = 0;
        for (size_t i = 0; i < m_byKey.size(); ++i)
            if (m_byKey[i] >= 0 && ++below > held / 2)
                return m_base + qint64(i);
        return m_base;
    }
    // The rows not seen.
    std::vector<int> unseen() const {
        std::vector<int> out = m_unkeyed;
        for (const int r : m_byKey)
            if (r >= 0)
                out.push_back(r);
        for (const auto& [key, r] : m_sorted)
            if (r >= 0)
                out.push_back(r);
        return out;
    }

private:
    qint64 m_base = 0;
    std::vector<int> m_byKey; // stored row per key from m_base; -1 none; -2 - row when seen
    std::vector<std::pair<qint64, int>> m_sorted;
    std::vector<int> m_unkeyed;
};

// Reads the key and digest of every row of statement and hands them to each, until it
// returns false; returns whether every row was handed over.
bool readKeyDigests(MariaConnection& conn, const QString& statement,
                    const std::function<bool(qint64, quint64)>& each) {
    MariaStatement scan(conn, statement);
    scan.executeText();
    std::vector<MariaStatement::Cell> cells;
    while (scan.fetchCells(cells)) {
        bool ok = false;
        const qint64 key = number(cells[0], &ok);
        if (!ok)
            continue; // a row without a key is never shown by key
        if (!each(key, unsignedNumber(cells[1]))) {
            scan.finish();
            return false;
        }
    }
    return true;
}

// Waits for the job aside when the scan here ends early through an exception, because the
// job writes into the caller's frame.
struct AsideGuard {
    ReadingWorker* aside = nullptr;
    ~AsideGuard() {
        if (aside)
            aside->waitAside();
    }
};

} // namespace

// The rows of the statement, as key and digest, against those the client holds: the keys
// to read again (new, or changed) and the stored rows they replace.
class RowDelta::DigestComparison {
public:
    DigestComparison(const RowSet& rows, int maxChanges)
        : m_rows(rows), m_held(rows), m_maxChanges(maxChanges) {}
    // Takes one row of the statement; false once more rows differ than maxChanges.
    bool take(qint64 key, quint64 digest) {
        const int r = m_held.take(key);
        if (r < 0) {
            m_wanted.push_back(key);
        } else if (m_rows.digests[size_t(r)] != digest) {
            m_wanted.push_back(key);
            m_replaced.push_back(r);
        }
        return int(m_wanted.size()) <= m_maxChanges;
    }
    qint64 middleKey() const {
        return m_held.middleKey();
    }
    const std::vector<qint64>& wanted() const {
        return m_wanted;
    }
    const std::vector<int>& replaced() const {
        return m_replaced;
    }
    std::vector<int> unseen() const { // held rows the statement no longer has
        return m_held.unseen();
    }

private:
    const RowSet& m_rows;
    HeldRows m_held;
    int m_maxChanges;
    std::vector<qint64> m_wanted;
    std::vector<int> m_replaced;
};

RowDelta::RowDelta(MariaConnection& conn, const QString& statement, const QString& keyColumn)
    : m_conn(conn), m_statement(statement), m_key(keyColumn) {}

QString RowDelta::digestAlias() {
    return QStringLiteral("kx_digest");
}

// The values joined with a separator and a mark after each column: a NULL (which the join
// skips) leaves two marks side by side, so NULL and an empty text differ, and so do values
// that moved to another column. Letter case and trailing blanks count, as bytes are compared.
QString RowDelta::digestExpression(const QStringList& quotedColumns) {
    return QStringLiteral("CRC32(CONCAT_WS(0x01, %1))")
        .arg(quotedColumns.join(QStringLiteral(", 0x02, ")));
}

std::optional<std::vector<int>> RowDelta::apply(RowSet& rows, const StatementOrder& order,
                                                int maxChanges, ReadingWorker* aside) {
    DigestComparison comparison(rows, maxChanges); // what the client holds, by key
    if (!scanDigests(comparison, rows.order.size() < kSplitFrom ? nullptr : aside))
        return std::nullopt;
    const std::vector<int> gone = comparison.unseen();
    if (int(comparison.wanted().size() + gone.size()) > maxChanges)
        return std::nullopt;
    std::vector<int> added;
    if (!readVersions(rows, comparison.wanted(), added))
        return std::nullopt;
    for (const int r : comparison.replaced())
        rows.store.markDead(r);
    for (const int r : gone)
        rows.store.markDead(r);
    putInOrder(rows, order, added);
    return added;
}

// Every row of the statement as key and digest, compared with what is held. With aside,
// the keys from the middle on are scanned there meanwhile; the server reads each half by the
// primary key's range.
bool RowDelta::scanDigests(DigestComparison& comparison, ReadingWorker* aside) {
    const auto compare = [&comparison](qint64 k, quint64 digest) {
        return comparison.take(k, digest);
    };
    const QString key = MariaStatement::quoteIdentifier(m_key);
    const QString scan = QStringLiteral("SELECT kx_q.%1, kx_q.%2 FROM (%3) kx_q")
                             .arg(key, digestAlias(), m_statement);
    if (!aside)
        return readKeyDigests(m_conn, scan, compare);
    const QString middle = QString::number(comparison.middleKey());
    const QString lower = scan + QStringLiteral(" WHERE kx_q.%1 < %2").arg(key, middle);
    const QString upper = scan + QStringLiteral(" WHERE kx_q.%1 >= %2").arg(key, middle);
    std::vector<std::pair<qint64, quint64>> upperRows;
    aside->runAside([&upperRows, upper](MariaConnection& conn) {
        readKeyDigests(conn, upper, [&upperRows](qint64 k, quint64 digest) {
            upperRows.emplace_back(k, digest);
            return true;
        });
    });
    AsideGuard guard{aside};
    const bool lowerWithin = readKeyDigests(m_conn, lower, compare);
    guard.aside = nullptr;
    const bool upperRead = aside->waitAside(); // else the other connection failed
    if (!lowerWithin)
        return false;
    if (!upperRead) // the half is read here
        return readKeyDigests(m_conn, upper, compare);
    for (const auto& [k, digest] : upperRows)
        if (!compare(k, digest))
            return false;
    return true;
}

// The new versions, read by key through the statement, so they still match it; false when
// the table changed its shape meanwhile.
bool RowDelta::readVersions(RowSet& rows, const std::vector<qint64>& wanted,
                            std::vector<int>& added) {
    const int width = rows.store.width();
    for (size_t from = 0; from < wanted.size(); from += kKeysPerRead) {
        QStringList keys;
        for (size_t i = from; i < std::min(wanted.size(), from + kKeysPerRead); ++i)
            keys << QString::number(wanted[i]);
        MariaStatement read(m_conn, QStringLiteral("SELECT * FROM (%1) kx_q WHERE kx_q.%2 IN (%3)")
                                        .arg(m_statement, MariaStatement::quoteIdentifier(m_key),
                                             keys.join(QLatin1Char(','))));
        read.executeText();
        std::vector<MariaStatement::Cell> cells;
        while (read.fetchCells(cells)) {
            if (int(cells.size()) != width + 1) {
                read.finish();
                return false;
            }
            added.push_back(rows.appendRow(cells, true));
        }
    }
    return true;
}

// The statement's order: the rows that stayed keep theirs, each new one goes where the
// server would put it.
void RowDelta::putInOrder(RowSet& rows, const StatementOrder& order, std::vector<int>& added) {
    std::sort(added.begin(), added.end(), [&](int a, int b) { return order.before(rows, a, b); });
    std::vector<int> kept;
    kept.reserve(rows.order.size() + added.size());
    for (const int r : rows.order)
        if (!rows.store.isDead(r))
            kept.push_back(r);
    insertOrdered(kept, added, [&](int a, int b) { return order.before(rows, a, b); });
    rows.order.swap(kept);
}

} // namespace kx
