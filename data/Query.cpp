#include "Query.h"

#include "DbError.h"
#include "DeferredFieldReader.h"
#include "DeviceWrite.h"
#include "Latin2.h"
#include "LongWork.h"
#include "MariaConnection.h"
#include "MariaStatement.h"
#include "RecordStatement.h"
#include "RowDelta.h"
#include "RowStore.h"
#include "RowStreamReader.h"
#include "RowView.h"
#include "SmallAnswer.h"
#include "StatementOrder.h"
#include "TableChangeProbe.h"

#include <QBuffer>
#include <QIODevice>
#include <QMetaObject>
#include <optional>

namespace kx {

namespace {

// Tables of this many rows (by the server's estimate) are read whole along with the first
// screen of a statement instead of after it.
constexpr qint64 kReadAlongFrom = 5000;

QString q(const QString& name) {
    return MariaStatement::quoteIdentifier(name);
}

} // namespace

struct Query::Impl {
    explicit Impl(MariaConnection& c) : conn(c), deferred(c) {}

    MariaConnection& conn;
    QString sql;
    QString keyField;
    QStringList deferredFields;

    bool open = false;
    RowSet data;
    RowView view;
    DeferredFieldReader deferred;

    // Column lists of tables, and the orders of their columns, learnt once per session of
    // the connection.
    QHash<QString, std::vector<ResultColumn>> tableColumns;
    QHash<QString, std::optional<StatementOrder>> orders; // table, column, direction
    quint64 learntSession = 0;

    // How the rows in hand were read, for a refresh that costs what changed.
    struct Refresh {
        QString statement;      // as run: the narrowed statement, with the digest when it has one
        bool probeable = false; // the table's change time tells whether the rows changed
        std::optional<StatementOrder> order; // set when changed rows can be put in place
        TableChangeProbe::Stamp verified;    // taken before the rows in hand were read
    } refreshState;
    std::unique_ptr<TableChangeProbe> probe; // of the table last read
    TableChangeProbe::Stamp probeTable(const QString& table) {
        if (!probe || probe->table() != table)
            probe = std::make_unique<TableChangeProbe>(conn, table);
        return probe->read();
    }

    // The first screen at once, the rest read in the background.
    int firstScreen = 0;
    int rowLimit = -1;
    std::unique_ptr<RowStreamReader> reader;
    std::vector<std::unique_ptr<RowStreamReader>> stoppedReaders; // ending after a close
    bool reading = false;
    bool refreshWhenRead = false;
    // The read's first rows, gathered until they outnumber the first screen; then they take
    // its place and the next ones are added to the rows in hand as they come.
    std::optional<RowSet> arriving;
    bool arrivedShown = false;
    quint64 readNumber = 0; // tells the end of the read in force from a stopped one's
    void stopReading() {
        if (!reading)
            return;
        reading = false;
        refreshWhenRead = false;
        arriving.reset();
        ++readNumber;
        reader->cancel();
        stoppedReaders.push_back(std::move(reader));
        // Those that have ended go now (each waits for its thread, which is done).
        std::erase_if(stoppedReaders, [](const auto& r) { return r->hasEnded(); });
    }

    // Fails through the hook when the result has no such field.
    int requireColumn(const QString& field) {
        const int c = data.findColumn(field);
        if (c < 0)
            conn.fail(QStringLiteral("Ismeretlen mező: %1").arg(field));
        return c;
    }
    bool isDeferredName(const QString& name) const {
        return deferredFields.contains(name, Qt::CaseInsensitive);
    }
    int currentStoredRow() const {
        return view.storedRow(view.current());
    }
    void clearData() {
        deferred.reset();
        data = RowSet();
        view.clear();
        refreshState = Refresh();
    }
    // A filter on a field the rows lack closes the query and fails through the hook.
    void requireFilterField(Query& query) {
        if (view.canFilter(data))
            return;
        const QString field = view.filter().field;
        query.close();
        conn.fail(QStringLiteral("A szűrő mezője nem található: %1").arg(field));
    }

    const std::vector<ResultColumn>& learnTable(const QString& table);
    void forgetTable(const QString& table) { // it may have changed: learnt again next time
        tableColumns.remove(table);
        orders.clear();
    }
    // Reads the statement's rows; with firstScreen, at first only as many as that when there
    // are more (the rest then comes from the reader).
    void run(RowSet& out, bool allowFirstScreen = false);
    std::function<void()> readEndedCallback(quint64 read);
    std::function<void()> rowsReadyCallback(quint64 read);
    Query* owner = nullptr;
    void load(MariaStatement& st, RowSet& out, bool digested);
    bool refreshByChanges(int oldRow);
    std::optional<qint64> currentKey() const;
    // Waits for the read under way and puts its whole result in place of the first screen
    // in out; a failed read fails through the hook.
    void readWholeInto(RowSet& out);
};

const std::vector<ResultColumn>& Query::Impl::learnTable(const QString& table) {
    // A new connection may see another schema: the cache lives as long as the session.
    if (learntSession != conn.session()) {
        tableColumns.clear();
        orders.clear();
        learntSession = conn.session();
    }
    const QString& cacheKey = table; // table names are case-sensitive on most servers
    if (const auto it = tableColumns.constFind(cacheKey); it != tableColumns.constEnd())
        return *it;
    MariaStatement columnsProbe(conn, QStringLiteral("select * from ") + q(table) +
                                          QStringLiteral(" limit 0"));
    columnsProbe.executeText();
    std::vector<ResultColumn> cols;
    for (const MariaStatement::Column& c : columnsProbe.columns())
        cols.push_back(resultColumnOf(c));
    columnsProbe.finish();
    if (learntSession != conn.session()) { // the probe made the connection again
        tableColumns.clear();
        orders.clear();
        learntSession = conn.session();
    }
    return *tableColumns.insert(cacheKey, std::move(cols));
}

void Query::Impl::run(RowSet& out, bool allowFirstScreen) {
    Refresh state;
    QString text = sql;
    const QString table = RecordStatement::tableOf(sql);
    if (!table.isEmpty() && !keyField.isEmpty() && !deferredFields.isEmpty()) {
        const std::vector<ResultColumn> cols = learnTable(table);
        bool hasKey = false, hasDeferred = false;
        QStringList names;
        for (const ResultColumn& c : cols) {
            if (c.name.compare(keyField, Qt::CaseInsensitive) == 0 && !isDeferredName(c.name))
                hasKey = true;
            if (isDeferredName(c.name))
                hasDeferred = true;
            names << c.name;
        }
        if (hasKey && hasDeferred) {
            // Only the `*` is replaced: the rest of the statement stays as the caller wrote it.
            const RecordStatement shape = RecordStatement::parse(sql, names);
            QStringList visible;
            int slot = 0;
            for (ResultColumn c : cols) {
                c.deferred = isDeferredName(c.name);
                if (!c.deferred) {
                    visible << q(c.name);
                    c.slot = slot++;
                }
                if (c.name.compare(keyField, Qt::CaseInsensitive) == 0)
                    out.keyColumn = int(out.columns.size());
                out.columns.push_back(c);
            }
            out.table = table;
            out.store = RowStore(slot);
            state.probeable = shape.readsTableOnly;
            if (state.probeable && !shape.orderColumn.isEmpty()) {
                const QString orderKey = table + QLatin1Char('\n') + shape.orderColumn.toUpper() +
                                         (shape.descending ? QStringLiteral(" desc") : QString());
                auto it = orders.find(orderKey);
                if (it == orders.end())
                    it = orders.insert(orderKey, StatementOrder::learn(conn, out, shape.orderColumn,
                                                                       shape.descending));
                state.order = *it;
            }
            QString list = visible.join(QStringLiteral(", "));
            if (state.order) // each row with its digest, by which a refresh tells what changed
                list += QStringLiteral(", ") + RowDelta::digestExpression(visible) +
                        QStringLiteral(" AS ") + RowDelta::digestAlias();
            text = shape.withColumns(sql, list);
            if (state.probeable) // before the rows: a change after this is seen next time
                state.verified = probeTable(table);
        }
    }
    // A first screen when the statement qualifies; the whole result when it is no longer.
    const bool firstScreenOnly =
        allowFirstScreen && firstScreen > 0 && state.probeable && !view.filterActive() &&
        (view.sortField().isEmpty() || out.findColumn(view.sortField()) < 0);
    if (firstScreenOnly) {
        const bool digested = state.order.has_value();
        const auto readTheRest = [&] {
            RowSet whole = out.emptyLike();
            if (!reader)
                reader = std::make_unique<RowStreamReader>(conn.params());
            reading = true;
            arriving.reset();
            arrivedShown = false;
            ++readNumber;
            reader->start(text, std::move(whole), out.store.width() + (digested ? 1 : 0), digested,
                          rowsReadyCallback(readNumber), readEndedCallback(readNumber));
        };
        // A large table is read whole at the same time as its first screen, on the other
        // connection, so that the whole result does not wait for the first screen.
        if (state.verified.rows.value_or(0) >= kReadAlongFrom)
            readTheRest();
        QString limited = text.trimmed();
        while (limited.endsWith(QLatin1Char(';')))
            limited.chop(1);
        limited += QStringLiteral(" LIMIT %1").arg(firstScreen);
        try {
            MariaStatement st(conn, limited);
            st.executeText();
            load(st, out, digested);
        } catch (...) {
            stopReading();
            throw;
        }
        state.statement = text;
        if (out.store.rows() < firstScreen)
            stopReading(); // the first screen is all there is
        else if (!reading)
            readTheRest();
        refreshState = std::move(state);
        return;
    }
    MariaStatement st(conn, text);
    try {
        st.executeText();
    } catch (const DbError&) {
        if (!out.table.isEmpty()) // the table may have changed: learn it again next time
            forgetTable(out.table);
        throw;
    }
    load(st, out, state.order.has_value());
    state.statement = text;
    refreshState = std::move(state);
}

// Rows are streamed from the server straight into the compact store; a digest column, when
// the statement has one, comes last.
void Query::Impl::load(MariaStatement& st, RowSet& out, bool digested) {
    const std::vector<MariaStatement::Column> cols = st.columns();
    if (cols.empty()) { // a statement without a result
        out.columns.clear();
        out.store = RowStore();
        return;
    }
    const int n = int(cols.size());
    if (out.table.isEmpty()) {
        for (int i = 0; i < n; ++i) {
            ResultColumn c = resultColumnOf(cols[size_t(i)]);
            c.slot = i;
            if (keyField.compare(c.name, Qt::CaseInsensitive) == 0)
                out.keyColumn = i;
            out.columns.push_back(c);
        }
        out.store = RowStore(n);
    } else if (n != out.store.width() + (digested ? 1 : 0)) {
        forgetTable(out.table);
        st.finish();
        conn.fail(QStringLiteral("A(z) %1 tábla szerkezete megváltozott.").arg(out.table));
    }
    if (rowLimit < 0) {
        appendRows(st, out, digested);
        return;
    }
    // One row past the limit tells an answer that goes on from one that just fills it.
    appendRows(st, out, digested, nullptr, rowLimit + 1);
    if (out.store.rows() > rowLimit) {
        st.abandon();
        const DbError err = SmallAnswer::tooLarge();
        conn.fail(err.message(), err.code());
    }
}

// Asks the server whether the rows in hand changed, and brings in only those that did.
// False when the rows must be read again as a whole.
bool Query::Impl::refreshByChanges(int oldRow) {
    Refresh& state = refreshState;
    if (!state.probeable || data.table.isEmpty())
        return false;
    const std::optional<qint64> key = currentKey();
    const int oldStored = currentStoredRow();
    const TableChangeProbe::Stamp now = probeTable(data.table);
    if (TableChangeProbe::unchangedSince(state.verified, now)) {
        deferred.forget(); // nothing changed; what the row shows is read again on demand
        return true;
    }
    if (!state.order)
        return false;
    if (now.created != state.verified.created) { // made anew: its columns may differ too
        forgetTable(data.table);
        return false;
    }
    // More changed rows than this are read again as a whole.
    const int live = int(data.order.size());
    const int maxChanges = std::max(1000, live / 20);
    // The reader's connection is free while no rest is read (a refresh waits for that).
    if (!reader)
        reader = std::make_unique<RowStreamReader>(conn.params());
    const std::optional<std::vector<int>> added =
        RowDelta(conn, state.statement, data.columns[size_t(data.keyColumn)].name)
            .apply(data, *state.order, maxChanges, reader.get());
    if (!added)
        return false;
    state.verified = now;
    deferred.forget();
    int keep = oldStored >= 0 && !data.store.isDead(oldStored) ? oldStored : -1;
    for (size_t i = 0; keep < 0 && key && i < added->size(); ++i)
        if (data.keyOf((*added)[i]) == *key)
            keep = (*added)[i];
    if (data.store.deadRows() > 1000 && data.store.deadRows() > data.store.rows() / 4) {
        keep = data.compact(keep);
        view.rebuild(data, keep);
    } else {
        view.update(data, *added, keep);
    }
    if (keep < 0 || view.indexOfStored(keep) < 0)
        view.keepPlace(oldRow);
    return true;
}

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

void Query::Impl::readWholeInto(RowSet& out) {
    reading = false;
    stoppedReaders.clear();
    arriving.reset();
    std::vector<RowSet> pieces;
    try {
        pieces = reader->take();
    } catch (const DbError& e) {
        conn.fail(e.message(), e.code());
    }
    if (pieces.empty())
        return;
    out = std::move(pieces.front());
    appendRowSets(out, pieces, 1);
}

// Both run on the reading thread: what they tell is handled on the query's own thread.
std::function<void()> Query::Impl::rowsReadyCallback(quint64 read) {
    Query* query = owner;
    return [query, read] {
        QMetaObject::invokeMethod(
            query, [query, read] { query->rowsReady(read); }, Qt::QueuedConnection);
    };
}

std::function<void()> Query::Impl::readEndedCallback(quint64 read) {
    Query* query = owner;
    return [query, read] {
        QMetaObject::invokeMethod(
            query, [query, read] { query->readEnded(read); }, Qt::QueuedConnection);
    };
}

Query::Query(MariaConnection& conn, QObject* parent)
    : DataSetBase(parent), d(std::make_unique<Impl>(conn)) {
    d->owner = this;
    conn.registerDataSet(this);
}

Query::~Query() {
    d->stopReading();
    d->stoppedReaders.clear(); // each waits for its reading thread
    d->clearData();
    d->conn.unregisterDataSet(this);
}

void Query::setSql(const QString& sql) {
    if (sql == d->sql)
        return;
    close();
    d->sql = sql;
}

void Query::clearSql() {
    close();
    d->sql.clear();
}

QString Query::sql() const {
    return d->sql;
}

void Query::setKeyField(const QString& field) {
    d->keyField = field;
}

void Query::setDeferredFields(const QStringList& fields) {
    d->deferredFields = fields;
}

void Query::open() {
    if (d->open)
        return;
    if (d->sql.trimmed().isEmpty())
        d->conn.fail(QStringLiteral("A lekérdezés szövege üres."));
    latin2::encode(d->sql); // nothing is sent when this throws
    RowSet loaded;
    d->run(loaded, true);
    Impl::Refresh state = std::move(d->refreshState);
    d->clearData();
    d->data = std::move(loaded);
    d->refreshState = std::move(state);
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
    d->reader.reset(); // its session ends with the statement it served
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
    if (d->reading) {
        // The rows being read were asked for before this: what changed since then is
        // brought in when they are complete.
        d->refreshWhenRead = true;
        return;
    }
    const std::optional<qint64> key = d->currentKey();
    const int oldRow = d->view.current();
    RowSet loaded;
    try {
        if (d->refreshByChanges(oldRow)) {
            emit reset();
            emit currentChanged();
            return;
        }
        d->run(loaded, true);
        // The refresh ends on the current record, as a full read does: when it lies beyond
        // the first screen, the whole result is waited for.
        if (d->reading && key && loaded.storedRowOfKey(*key) < 0)
            d->readWholeInto(loaded);
    } catch (const DbError&) {
        close();
        throw;
    }
    d->deferred.reset();
    d->data = std::move(loaded);
    const int keep = key ? d->data.storedRowOfKey(*key) : -1;
    d->view.rebuild(d->data, keep);
    if (keep < 0)
        d->view.keepPlace(oldRow);
    emit reset();
    emit currentChanged();
}

bool Query::isOpen() const {
    return d->open;
}

void Query::setRowLimit(int rows) {
    d->rowLimit = rows;
}

void Query::setFirstScreen(int rows) {
    d->firstScreen = std::max(0, rows);
}

bool Query::isReading() const {
    return d->reading;
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
    if (d->reading)
        installReadRows();
}

// The rest of the result in hand, then the refresh asked for meanwhile. A failed read
// closes the query and fails through the hook.
void Query::installReadRows() {
    d->reading = false;
    d->stoppedReaders.clear();
    std::vector<RowSet> pieces;
    try {
        pieces = d->reader->take();
    } catch (const DbError& e) {
        d->arriving.reset();
        close();
        d->conn.fail(e.message(), e.code());
    }
    addReadRows(std::move(pieces), true);
    if (d->refreshWhenRead) {
        d->refreshWhenRead = false;
        if (LongWork::running()) // never a statement in the middle of long work
            LongWork::runWhenFree(this, [this] { refresh(); });
        else
            refresh();
    }
}

// Rows read by the reader, in the statement's order. The first ones take the first screen's
// place once they outnumber it (or the read has ended): when they begin with the very rows
// on screen, the screen only grows; else the rows are replaced, the current record kept by
// its key. Rows after that are added at the end.
void Query::addReadRows(std::vector<RowSet> pieces, bool ended) {
    bool added = false;
    size_t next = 0;
    if (!d->arrivedShown && !d->arriving && !pieces.empty())
        d->arriving = std::move(pieces[next++]);
    if (next < pieces.size()) {
        appendRowSets(d->arrivedShown ? d->data : *d->arriving, pieces, next);
        added = d->arrivedShown;
    }
    if (!d->arrivedShown && d->arriving &&
        (ended || d->arriving->store.rows() > int(d->data.order.size()))) {
        RowSet first = std::move(*d->arriving);
        d->arriving.reset();
        d->arrivedShown = true;
        const int onScreen = int(d->data.order.size());
        if (d->data.store.deadRows() == 0 && sameFirstRows(d->data, first, onScreen)) {
            const int current = d->currentStoredRow(); // the same stored row in both
            d->data = std::move(first);
            d->view.rebuild(d->data, current);
            emit rowsAppended();
            return;
        }
        const std::optional<qint64> key = d->currentKey();
        const int oldStored = d->currentStoredRow();
        const int oldRow = d->view.current();
        d->data = std::move(first);
        d->deferred.forget();
        const int keep = key ? d->data.storedRowOfKey(*key) : -1;
        d->view.rebuild(d->data, keep);
        if (keep < 0)
            d->view.keepPlace(oldRow);
        emit reset();
        if (d->currentStoredRow() != oldStored || keep < 0)
            emit currentChanged();
        return;
    }
    if (added) {
        d->view.rebuild(d->data, d->currentStoredRow());
        emit rowsAppended();
    }
}

// On the query's thread, from the event loop, while the rest is read.
void Query::rowsReady(quint64 read) {
    if (!d->reading || read != d->readNumber)
        return;                // a read stopped meanwhile, or one already waited for
    if (LongWork::running()) { // no rows change under long work
        LongWork::runWhenFree(this, [this, read] { rowsReady(read); });
        return;
    }
    addReadRows(d->reader->takeReady(), false);
}

// On the query's thread, from the event loop: nothing may escape from here. A failure has
// been shown through the hook by then.
void Query::readEnded(quint64 read) {
    if (!d->reading || read != d->readNumber)
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
    d->requireFilterField(*this);
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
