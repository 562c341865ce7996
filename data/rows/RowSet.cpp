#include "data/rows/RowSet.h"

#include "data/sql/MariaStatement.h"

#include <cstring>

namespace kx {

qint64 RowSet::keyOf(int storedRow) const {
    if (keyColumn < 0)
        return -1;
    const ResultColumn& c = columns[size_t(keyColumn)];
    if (c.deferred || store.isNull(storedRow, c.slot))
        return -1;
    bool ok = false;
    const qint64 key =
        QByteArray::fromRawData(store.data(storedRow, c.slot), store.sizeAt(storedRow, c.slot))
            .toLongLong(&ok);
    return ok ? key : -1;
}

int RowSet::storedRowOfKey(qint64 key) const {
    for (const int r : order)
        if (keyOf(r) == key)
            return r;
    return -1;
}

RowSet RowSet::emptyLike() const {
    RowSet empty;
    empty.columns = columns;
    empty.table = table;
    empty.keyColumn = keyColumn;
    empty.store = RowStore(store.width());
    return empty;
}

int RowSet::appendRow(const std::vector<MariaStatement::Cell>& cells, bool digested) {
    const int width = store.width();
    for (int i = 0; i < width; ++i)
        store.append(cells[size_t(i)].data, cells[size_t(i)].size, cells[size_t(i)].null);
    if (digested)
        digests.push_back(
            QByteArray::fromRawData(cells[size_t(width)].data, cells[size_t(width)].size)
                .toULongLong());
    return store.rows() - 1;
}

int RowSet::compact(int storedRow) {
    RowStore fresh(store.width());
    std::vector<quint64> kept;
    kept.reserve(order.size());
    int moved = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        const int r = order[i];
        for (int slot = 0; slot < store.width(); ++slot)
            fresh.append(store.data(r, slot), store.sizeAt(r, slot), store.isNull(r, slot));
        if (!digests.empty())
            kept.push_back(digests[size_t(r)]);
        if (r == storedRow)
            moved = int(i);
        order[i] = int(i);
    }
    store = std::move(fresh);
    digests.swap(kept);
    return moved;
}

ResultColumn resultColumnOf(const MariaStatement::Column& c) {
    ResultColumn out;
    out.name = c.name;
    out.numeric = c.numeric;
    out.binary = c.binary;
    out.collation = c.collation;
    return out;
}

bool appendRows(MariaStatement& st, RowSet& out, bool digested, const std::atomic<bool>* stop,
                int maxRows) {
    const RowStore& store = out.store;
    const int first = store.rows();
    std::vector<MariaStatement::Cell> cells;
    bool more = false;
    while (!stop || !stop->load(std::memory_order_relaxed)) {
        if (maxRows >= 0 && store.rows() - first >= maxRows) {
            more = true;
            break;
        }
        if (!st.fetchCells(cells))
            break;
        out.appendRow(cells, digested);
    }
    out.order.reserve(size_t(store.rows()));
    for (int r = first; r < store.rows(); ++r)
        out.order.push_back(r);
    return more;
}

void appendRowSet(RowSet& to, const RowSet& from) {
    const int width = to.store.width();
    // Whole rows in their stored order (as a reader hands them over): one copy of the buffers.
    bool inStoredOrder = from.store.deadRows() == 0 &&
                         int(from.order.size()) == from.store.rows() && width == from.store.width();
    for (size_t i = 0; inStoredOrder && i < from.order.size(); ++i)
        inStoredOrder = from.order[i] == int(i);
    if (inStoredOrder) {
        const int first = to.store.rows();
        to.store.appendRows(from.store);
        if (!from.digests.empty())
            to.digests.insert(to.digests.end(), from.digests.begin(), from.digests.end());
        for (int r = first; r < to.store.rows(); ++r)
            to.order.push_back(r);
        return;
    }
    for (const int r : from.order) {
        for (int slot = 0; slot < width; ++slot)
            to.store.append(from.store.data(r, slot), qsizetype(from.store.sizeAt(r, slot)),
                            from.store.isNull(r, slot));
        if (!from.digests.empty())
            to.digests.push_back(from.digests[size_t(r)]);
        to.order.push_back(to.store.rows() - 1);
    }
}

namespace {

// Makes room in to for every row of pieces[first...].
void reserveForRowSets(RowSet& to, const std::vector<RowSet>& pieces, size_t first) {
    int rows = 0;
    qint64 bytes = 0;
    for (size_t i = first; i < pieces.size(); ++i) {
        rows += pieces[i].store.rows();
        bytes += pieces[i].store.byteCount();
    }
    to.store.reserveMore(rows, bytes);
    to.order.reserve(to.order.size() + size_t(rows));
    if (!to.digests.empty() || (first < pieces.size() && !pieces[first].digests.empty()))
        to.digests.reserve(to.digests.size() + size_t(rows));
}

} // namespace

void appendRowSets(RowSet& to, std::vector<RowSet>& pieces, size_t first) {
    if (first >= pieces.size())
        return;
    reserveForRowSets(to, pieces, first);
    for (size_t i = first; i < pieces.size(); ++i) {
        appendRowSet(to, pieces[i]);
        pieces[i] = RowSet(); // gone once copied: the result is never held twice
    }
}

bool sameFirstRows(const RowSet& a, const RowSet& b, int rows) {
    if (int(a.order.size()) < rows || int(b.order.size()) < rows ||
        a.store.width() != b.store.width())
        return false;
    for (int i = 0; i < rows; ++i) {
        const int ra = a.order[size_t(i)], rb = b.order[size_t(i)];
        for (int slot = 0; slot < a.store.width(); ++slot) {
            if (a.store.isNull(ra, slot) != b.store.isNull(rb, slot) ||
                a.store.sizeAt(ra, slot) != b.store.sizeAt(rb, slot) ||
                std::memcmp(a.store.data(ra, slot), b.store.data(rb, slot),
                            size_t(a.store.sizeAt(ra, slot))) != 0)
                return false;
        }
    }
    return true;
}

int RowSet::findColumn(const QString& field) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(field, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace kx
