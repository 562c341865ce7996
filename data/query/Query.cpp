#include "data/query/Query.h"

#include "data/query/DeferredFieldReader.h"
#include "data/query/LongWork.h"
#include "data/query/QueryPlanner.h"
#include "data/query/ResultStream.h"
#include "data/query/RowView.h"
#include "data/query/refresh/RowDelta.h"
#include "data/rows/RowSet.h"
#include "data/sql/DbError.h"
#include "data/sql/DeviceWrite.h"
#include "data/sql/MariaConnection.h"
#include "data/text/Latin2.h"

#include <QBuffer>
#include <QIODevice>
#include <optional>

namespace kx {

// The rows in hand, how they were read, and the parts that plan, read and show them.
struct Query::Impl {
    Impl(MariaConnection& c, Query& query)
        : conn(c), owner(query), planner(c),
          stream(c, [this](const QString& table) { planner.forgetTable(table); }), deferred(c) {
        stream.setNotices(
            &query, [&query](quint64 read) { query.rowsReady(read); },
            [&query](quint64 read) { query.readEnded(read); });
    }

    MariaConnection& conn;
    Query& owner;
    QueryPlanner planner;
    ResultStream stream;
    bool open = false;
    RowSet data;
    QueryPlan plan; // how the rows in hand were read, for a refresh that costs what changed
    RowView view;
    DeferredFieldReader deferred;
    bool refreshWhenRead = false; // asked for while the rest was read: runs when it is in hand

    // Where the current record is, to find it again once the rows changed.
    struct Place {
        std::optional<qint64> key;
        int storedRow = -1;
        int row = -1;
    };
    Place place() const {
        return {currentKey(), currentStoredRow(), view.current()};
    }
    int currentStoredRow() const {
        return view.storedRow(view.current());
    }
    std::optional<qint64> currentKey() const;
    // Fails through the hook when the result has no such field.
    int requireColumn(const QString& field) {
        const int c = data.findColumn(field);
        if (c < 0)
            conn.fail(QStringLiteral("Ismeretlen mező: %1").arg(field));
        return c;
    }
    void clearData() {
        deferred.reset();
        data = RowSet();
        view.clear();
        plan = QueryPlan();
    }
    void stopReading() { // a refresh waiting for the read goes with it
        stream.stop();
        refreshWhenRead = false;
    }
    // A filter on a field the rows lack closes the query and fails through the hook.
    void requireFilterField() {
        if (view.canFilter(data))
            return;
        const QString field = view.filter().field;
        owner.close();
        conn.fail(QStringLiteral("A szűrő mezője nem található: %1").arg(field));
    }
    QueryPlan planNow() {
        return planner.plan(view.sortField(), view.filterActive());
    }
    int findAgain(const Place& was);
    void showJoined(ResultStream::Joined joined, const Place& was);
    bool refreshByChanges(const Place& was);
    void placeAfterChanges(const std::vector<int>& added, const Place& was);
};

std::optional<qint64> Query::Impl::currentKey() const {
    const int r = currentStoredRow();
    if (r < 0 || data.keyColumn < 0)
        return std::nullopt;
    const ResultColumn& c = data.columns[size_t(data.keyColumn)];
    if (c.deferred || data.store.isNull(r, c.slot))
        return std::nullopt;
    bool ok = false;
    const qint64 key = data.store.textAt(r, c.slot).toLongLong(&ok);
    return ok ? std::optional<qint64>(key) : std::nullopt;
}

// The current record kept by its key in rows read anew, else the row at the same place;
// returns its stored row (-1 when the key is gone).
int Query::Impl::findAgain(const Place& was) {
    const int keep = was.key ? data.storedRowOfKey(*was.key) : -1;
    view.rebuild(data, keep);
    if (keep < 0)
        view.keepPlace(was.row);
    return keep;
}

// Shows what the read's pieces did to the rows in hand: more rows below those on screen,
// the current one unchanged; or other rows, the current record kept by its key.
void Query::Impl::showJoined(ResultStream::Joined joined, const Place& was) {
    if (joined == ResultStream::Joined::Nothing)
        return;
    if (joined != ResultStream::Joined::Replaced) {
        view.rebuild(data, was.storedRow); // the same stored row in both
        emit owner.rowsAppended();
        return;
    }
    deferred.forget();
    const int keep = findAgain(was);
    emit owner.reset();
    if (currentStoredRow() != was.storedRow || keep < 0)
        emit owner.currentChanged();
}

// Asks the server whether the rows in hand changed, and brings in only those that did.
// False when the rows must be read again as a whole.
bool Query::Impl::refreshByChanges(const Place& was) {
    const RefreshStep step = planner.refreshStep(plan, data);
    if (step.kind == RefreshStep::Kind::Whole)
        return false;
    if (step.kind == RefreshStep::Kind::Unchanged) {
        deferred.forget(); // nothing changed; what the row shows is read again on demand
        return true;
    }
    // The worker's connection is free while no rest is read (a refresh waits for that).
    const std::optional<std::vector<int>> added =
        RowDelta(conn, plan.statement, data.columns[size_t(data.keyColumn)].name)
            .apply(data, *plan.order, step.maxChanges, &stream.worker());
    if (!added)
        return false;
    plan.verified = step.now;
    deferred.forget();
    placeAfterChanges(*added, was);
    return true;
}

// The current record stays on its row when that is still there, else on its new version.
void Query::Impl::placeAfterChanges(const std::vector<int>& added, const Place& was) {
    int keep = was.storedRow >= 0 && !data.store.isDead(was.storedRow) ? was.storedRow : -1;
    for (size_t i = 0; keep < 0 && was.key && i < added.size(); ++i)
        if (data.keyOf(added[i]) == *was.key)
            keep = added[i];
    if (data.store.deadRows() > 1000 && data.store.deadRows() > data.store.rows() / 4) {
        keep = data.compact(keep);
        view.rebuild(data, keep);
    } else {
        view.update(data, added, keep);
    }
    if (keep < 0 || view.indexOfStored(keep) < 0)
        view.keepPlace(was.row);
}

Query::Query(MariaConnection& conn, QObject* parent)
    : DataSetBase(parent), d(std::make_unique<Impl>(conn, *this)) {
    conn.registerDataSet(this);
}

Query::~Query() {
    d->stopReading();
    d->stream.waitForStopped(); // each waits for its reading thread
    d->clearData();
    d->conn.unregisterDataSet(this);
}

void Query::setSql(const QString& sql) {
    if (sql == d->planner.sql())
        return;
    close();
    d->planner.setSql(sql);
}

void Query::clearSql() {
    close();
    d->planner.setSql(QString());
}

QString Query::sql() const {
    return d->planner.sql();
}

void Query::setKeyField(const QString& field) {
    d->planner.setKeyField(field);
}

void Query::setDeferredFields(const QStringList& fields) {
    d->planner.setDeferredFields(fields);
}

void Query::open() {
    if (d->open)
        return;
    if (d->planner.sql().trimmed().isEmpty())
        d->conn.fail(QStringLiteral("A lekérdezés szövege üres."));
    latin2::encode(d->planner.sql()); // nothing is sent when this throws
    QueryPlan plan = d->planNow();
    RowSet loaded = d->stream.read(plan);
    d->clearData();
    d->data = std::move(loaded);
    d->plan = std::move(plan);
    if (!d->view.canFilter(d->data)) {
        const QString field = d->view.filter().field;
        d->stopReading();
        d->clearData();
        d->conn.fail(QStringLiteral("A szűrő mezője nem található: %1").arg(field));
    }
    d->view.rebuild(d->data, -1);
    d->open = true;
    emit reset();
    emit currentChanged();
}

void Query::close() {
    const bool wasOpen = d->open;
    d->stopReading();
    d->stream.close();
    d->open = false;
    d->clearData();
    if (wasOpen) {
        emit reset();
        emit currentChanged();
    }
}

void Query::refresh() {
    if (!d->open) {
        open(); // after a failed run the statement in force is tried again
        return;
    }
    if (d->stream.isReading()) {
        // The rows being read were asked for before this: what changed since then is
        // brought in when they are complete.
        d->refreshWhenRead = true;
        return;
    }
    const Impl::Place was = d->place();
    RowSet loaded;
    try {
        if (d->refreshByChanges(was)) {
            emit reset();
            emit currentChanged();
            return;
        }
        QueryPlan plan = d->planNow();
        loaded = d->stream.read(plan);
        d->plan = std::move(plan);
        // The refresh ends on the current record, as a full read does: when it lies beyond
        // the first screen, the whole result is waited for.
        if (d->stream.isReading() && was.key && loaded.storedRowOfKey(*was.key) < 0)
            d->stream.takeWhole(loaded);
    } catch (const DbError&) {
        close();
        throw;
    }
    d->deferred.reset();
    d->data = std::move(loaded);
    d->findAgain(was);
    emit reset();
    emit currentChanged();
}

bool Query::isOpen() const {
    return d->open;
}

void Query::setRowLimit(int rows) {
    d->stream.setRowLimit(rows);
}

void Query::setFirstScreen(int rows) {
    d->planner.setFirstScreen(std::max(0, rows));
}

bool Query::isReading() const {
    return d->stream.isReading();
}

int Query::rowsInHand() const {
    return d->view.size();
}

bool Query::isEmpty() {
    if (d->view.size() > 0)
        return false;
    waitForRows();
    return d->view.isEmpty();
}

void Query::waitForRows() {
    if (d->stream.isReading())
        installReadRows();
}

// The rest of the result in hand, then the refresh asked for meanwhile. A failed read
// closes the query and fails through the hook.
void Query::installReadRows() {
    const Impl::Place was = d->place();
    ResultStream::Joined joined = ResultStream::Joined::Nothing;
    try {
        joined = d->stream.takeRest(d->data);
    } catch (const DbError& e) {
        close();
        d->conn.fail(e.message(), e.code());
    }
    d->showJoined(joined, was);
    if (d->refreshWhenRead) {
        d->refreshWhenRead = false;
        if (LongWork::running()) // never a statement in the middle of long work
            LongWork::runWhenFree(this, [this] { refresh(); });
        else
            refresh();
    }
}

// On the query's thread, from the event loop, while the rest is read.
void Query::rowsReady(quint64 read) {
    if (!d->stream.isCurrent(read))
        return;                // a read stopped meanwhile, or one already waited for
    if (LongWork::running()) { // no rows change under long work
        LongWork::runWhenFree(this, [this, read] { rowsReady(read); });
        return;
    }
    const Impl::Place was = d->place();
    d->showJoined(d->stream.takeReady(d->data), was);
}

// On the query's thread, from the event loop: nothing may escape from here. A failure has
// been shown through the hook by then.
void Query::readEnded(quint64 read) {
    if (!d->stream.isCurrent(read))
        return; // a read stopped meanwhile, or one already waited for
    if (LongWork::running()) {
        LongWork::runWhenFree(this, [this, read] { readEnded(read); });
        return;
    }
    try {
        installReadRows();
    } catch (const DbError&) {
    } catch (const SilentAbort&) {
    }
}

void Query::setSortField(const QString& field) {
    waitForRows();
    d->view.setSortField(field);
    if (!d->open)
        return;
    d->deferred.forget();
    d->view.rebuild(d->data, d->currentStoredRow());
    emit reset();
    emit currentChanged();
}

QString Query::sortField() const {
    return d->view.sortField();
}

void Query::setFilter(const QString& filterText) {
    waitForRows();
    RowFilter parsed;
    try {
        parsed = RowFilter::parse(filterText);
    } catch (const DbError& e) {
        d->conn.fail(e.message(), e.code());
    }
    d->view.setFilter(parsed);
    if (d->open && d->view.filtered())
        setFiltered(true);
}

void Query::setFiltered(bool on) {
    waitForRows();
    d->view.setFiltered(on);
    if (!d->open)
        return;
    d->requireFilterField();
    d->deferred.forget();
    d->view.rebuild(d->data, d->currentStoredRow());
    emit reset();
    emit currentChanged();
}

QStringList Query::fieldNames() const {
    QStringList names;
    for (const ResultColumn& c : d->data.columns)
        names << c.name;
    return names;
}

int Query::recordCount() {
    waitForRows();
    return d->view.size();
}

int Query::currentRow() const {
    return d->view.current();
}

void Query::setCurrentRow(int row) {
    if (row >= d->view.size())
        waitForRows();
    if (!d->view.setCurrent(row))
        return;
    d->deferred.forget();
    emit currentChanged();
}

void Query::first() {
    if (!d->view.first())
        return;
    d->deferred.forget();
    emit currentChanged();
}

void Query::next() {
    if (d->view.current() + 1 >= d->view.size())
        waitForRows();
    if (!d->view.next())
        return;
    d->deferred.forget();
    emit currentChanged();
}

void Query::prior() {
    if (!d->view.prior())
        return;
    d->deferred.forget();
    emit currentChanged();
}

void Query::last() {
    waitForRows();
    if (!d->view.last())
        return;
    d->deferred.forget();
    emit currentChanged();
}

bool Query::eof() {
    if (d->view.eof())
        waitForRows();
    return d->view.eof();
}

bool Query::bof() const {
    return d->view.bof();
}

int Query::columnIndex(const QString& field) const {
    return d->data.findColumn(field);
}

bool Query::isNumericColumn(int column) const {
    return column >= 0 && column < int(d->data.columns.size()) &&
           d->data.columns[size_t(column)].numeric;
}

QString Query::textAt(int row, int column) const {
    const int r = d->view.storedRow(row);
    if (r < 0 || column < 0 || column >= int(d->data.columns.size()))
        return QString();
    const ResultColumn& c = d->data.columns[size_t(column)];
    if (c.deferred || d->data.store.isNull(r, c.slot))
        return QString();
    return d->data.store.textAt(r, c.slot);
}

bool Query::isNull(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return true;
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot);
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return true;
    if (!c.binary)
        return !d->deferred.text(d->data, col, *key).has_value();
    return !d->deferred.blobSize(d->data, col, *key).has_value();
}

QString Query::asString(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return QString();
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? QString() : d->data.store.textAt(r, c.slot);
    if (c.binary)
        return latin2::decode(asBytes(field));
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return QString();
    const std::optional<QByteArray> value = d->deferred.text(d->data, col, *key);
    return value ? latin2::decode(*value) : QString();
}

QByteArray Query::asBytes(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return QByteArray();
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? QByteArray() : d->data.store.bytesAt(r, c.slot);
    if (!c.binary)
        return latin2::encode(asString(field));
    QByteArray bytes;
    QBuffer sink(&bytes);
    sink.open(QIODevice::WriteOnly);
    saveBlobTo(field, sink);
    return bytes;
}

qint64 Query::blobSize(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return 0;
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred)
        return d->data.store.isNull(r, c.slot) ? 0 : d->data.store.sizeAt(r, c.slot);
    if (!c.binary)
        return asBytes(field).size();
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return 0;
    return d->deferred.blobSize(d->data, col, *key).value_or(0);
}

qint64 Query::saveBlobTo(const QString& field, QIODevice& out) {
    return saveStoredBlobTo(field, out).value_or(0);
}

std::optional<qint64> Query::storedBlobSize(const QString& field) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return std::nullopt;
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred || !c.binary)
        return isNull(field) ? std::nullopt : std::optional<qint64>(blobSize(field));
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return std::nullopt;
    return d->deferred.blobSize(d->data, col, *key, true);
}

std::optional<qint64> Query::saveStoredBlobTo(const QString& field, QIODevice& out) {
    const int col = d->requireColumn(field);
    const int r = d->currentStoredRow();
    if (r < 0)
        return std::nullopt;
    const ResultColumn& c = d->data.columns[size_t(col)];
    if (!c.deferred) {
        if (d->data.store.isNull(r, c.slot))
            return std::nullopt;
        const qint64 size = d->data.store.sizeAt(r, c.slot);
        writeWhole(out, d->data.store.data(r, c.slot), size);
        return size;
    }
    const std::optional<qint64> key = d->currentKey();
    if (!key)
        return std::nullopt;
    return d->deferred.saveBlob(d->data, col, *key, out);
}

} // namespace kx
