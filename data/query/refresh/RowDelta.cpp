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
    HeldRows held(rows); // what the client holds, by key

    // Every row of the statement as key and digest, compared with what is held.
    std::vector<qint64> wanted; // new, or changed
    std::vector<int> replaced;  // stored rows whose key came back with another digest
    const auto compare = [&](qint64 key, quint64 digest) {
        const int r = held.take(key);
        if (r < 0) {
            wanted.push_back(key);
        } else if (rows.digests[size_t(r)] != digest) {
            wanted.push_back(key);
            replaced.push_back(r);
        }
        return int(wanted.size()) <= maxChanges;
    };
    const QString key = MariaStatement::quoteIdentifier(m_key);
    const QString scan = QStringLiteral("SELECT kx_q.%1, kx_q.%2 FROM (%3) kx_q")
                             .arg(key, digestAlias(), m_statement);
    if (!aside || rows.order.size() < kSplitFrom) {
        if (!readKeyDigests(m_conn, scan, compare))
            return std::nullopt;
    } else {
        // The keys from the middle on are scanned aside meanwhile; the server reads each half
        // by the primary key's range.
        const QString middle = QString::number(held.middleKey());
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
            return std::nullopt;
        if (!upperRead) { // the half is read here
            if (!readKeyDigests(m_conn, upper, compare))
                return std::nullopt;
        } else {
            for (const auto& [k, digest] : upperRows)
                if (!compare(k, digest))
                    return std::nullopt;
        }
    }
    const std::vector<int> gone = held.unseen();
    if (int(wanted.size() + gone.size()) > maxChanges)
        return std::nullopt;

    // The new versions, read by key through the statement, so they still match it.
    std::vector<int> added;
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
            if (int(cells.size()) != width + 1) { // the table changed its shape meanwhile
                read.finish();
                return std::nullopt;
            }
            for (int i = 0; i < width; ++i)
                rows.store.append(cells[size_t(i)].data, cells[size_t(i)].size,
                                  cells[size_t(i)].null);
            rows.digests.push_back(unsignedNumber(cells[size_t(width)]));
            added.push_back(rows.store.rows() - 1);
        }
    }
    for (const int r : replaced)
        rows.store.markDead(r);
    for (const int r : gone)
        rows.store.markDead(r);

    // The statement's order: the rows that stayed keep theirs, each new one goes where the
    // server would put it.
    std::sort(added.begin(), added.end(), [&](int a, int b) { return order.before(rows, a, b); });
    std::vector<int> kept;
    kept.reserve(rows.order.size() + added.size());
    for (const int r : rows.order)
        if (!rows.store.isDead(r))
            kept.push_back(r);
    insertOrdered(kept, added, [&](int a, int b) { return order.before(rows, a, b); });
    rows.order.swap(kept);
    return added;
}

} // namespace kx
