#include "data/query/ResultStream.h"

#include "data/query/QueryPlanner.h"
#include "data/rows/ReadingWorker.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"
#include "data/sql/MariaStatement.h"
#include "data/sql/SmallAnswer.h"

#include <QMetaObject>
#include <QObject>

namespace kx {

namespace {

// The result's own columns, the key among them by name.
void takeColumns(const std::vector<MariaStatement::Column>& cols, RowSet& out,
                 const QString& keyField) {
    const int n = int(cols.size());
    for (int i = 0; i < n; ++i) {
        ResultColumn c = resultColumnOf(cols[size_t(i)]);
        c.slot = i;
        if (keyField.compare(c.name, Qt::CaseInsensitive) == 0)
            out.keyColumn = i;
        out.columns.push_back(c);
    }
    out.store = RowStore(n);
}

} // namespace

ResultStream::ResultStream(MariaConnection& conn,
                           std::function<void(const QString& table)> tableChanged)
    : m_conn(conn), m_tableChanged(std::move(tableChanged)) {}

ResultStream::~ResultStream() {
    stop();
    m_stopped.clear(); // each waits for its reading thread
}

void ResultStream::setNotices(QObject* receiver, Notice ready, Notice ended) {
    m_receiver = receiver;
    m_ready = std::move(ready);
    m_ended = std::move(ended);
}

RowSet ResultStream::read(const QueryPlan& plan) {
    RowSet out = plan.shape.emptyLike();
    if (plan.firstScreen > 0)
        readFirstScreen(plan, out);
    else
        readWhole(plan, out);
    return out;
}

void ResultStream::readWhole(const QueryPlan& plan, RowSet& out) {
    MariaStatement st(m_conn, plan.statement);
    try {
        st.executeText();
    } catch (const DbError&) {
        if (!out.table.isEmpty()) // the table may have changed: learnt again next time
            m_tableChanged(out.table);
        throw;
    }
    load(st, out, plan);
}

void ResultStream::readFirstScreen(const QueryPlan& plan, RowSet& out) {
    // A large table is read whole at the same time as its first screen, on the other
    // connection, so that the whole result does not wait for the first screen.
    if (plan.readAlong)
        startReading(plan);
    try {
        MariaStatement st(m_conn, plan.firstScreenStatement());
        st.executeText();
        load(st, out, plan);
    } catch (...) {
        stop();
        throw;
    }
    if (out.store.rows() < plan.firstScreen)
        stop(); // the first screen is all there is
    else if (!m_reading)
        startReading(plan);
}

// Rows are streamed from the server straight into the compact store; a digest column, when
// the statement has one, comes last.
void ResultStream::load(MariaStatement& st, RowSet& out, const QueryPlan& plan) {
    const std::vector<MariaStatement::Column> cols = st.columns();
    if (cols.empty()) { // a statement without a result
        out.columns.clear();
        out.store = RowStore();
        return;
    }
    if (out.table.isEmpty()) {
        takeColumns(cols, out, plan.keyField);
    } else if (int(cols.size()) != plan.resultColumns()) {
        m_tableChanged(out.table);
        st.finish();
        m_conn.fail(QStringLiteral("A(z) %1 tábla szerkezete megváltozott.").arg(out.table));
    }
    if (m_rowLimit < 0) {
        appendRows(st, out, plan.digested());
        return;
    }
    // One row past the limit tells an answer that goes on from one that just fills it.
    appendRows(st, out, plan.digested(), nullptr, m_rowLimit + 1);
    if (out.store.rows() > m_rowLimit) {
        st.abandon();
        const DbError err = SmallAnswer::tooLarge();
        m_conn.fail(err.message(), err.code());
    }
}

void ResultStream::startReading(const QueryPlan& plan) {
    ReadingWorker& reader = worker();
    m_reading = true;
    m_arriving.reset();
    m_arrivedShown = false;
    ++m_readNumber;
    reader.start(plan.statement, plan.shape.emptyLike(), plan.resultColumns(), plan.digested(),
                 notice(m_ready), notice(m_ended));
}

// Runs on the reading thread: what it tells is handled on the receiver's own thread.
std::function<void()> ResultStream::notice(const Notice& handler) const {
    if (!m_receiver || !handler)
        return {};
    QObject* receiver = m_receiver;
    const quint64 read = m_readNumber;
    return [receiver, handler, read] {
        QMetaObject::invokeMethod(
            receiver, [handler, read] { handler(read); }, Qt::QueuedConnection);
    };
}

void ResultStream::stop() {
    if (!m_reading)
        return;
    m_reading = false;
    m_arriving.reset();
    ++m_readNumber;
    m_reader->cancel();
    m_stopped.push_back(std::move(m_reader));
    // Those that have ended go now (each waits for its thread, which is done).
    std::erase_if(m_stopped, [](const auto& r) { return r->hasEnded(); });
}

void ResultStream::close() {
    stop();
    m_reader.reset(); // its session ends with the statement it served
}

void ResultStream::waitForStopped() {
    m_stopped.clear();
}

ReadingWorker& ResultStream::worker() {
    if (!m_reader)
        m_reader = std::make_unique<ReadingWorker>(m_conn.params());
    return *m_reader;
}

ResultStream::Joined ResultStream::takeReady(RowSet& inHand) {
    return join(m_reader->takeReady(), false, inHand);
}

ResultStream::Joined ResultStream::takeRest(RowSet& inHand) {
    return join(endRead(), true, inHand);
}

void ResultStream::takeWhole(RowSet& out) {
    m_arriving.reset(); // the first screen they would have replaced is out's
    std::vector<RowSet> pieces;
    try {
        pieces = endRead();
    } catch (const DbError& e) {
        m_conn.fail(e.message(), e.code());
    }
    if (pieces.empty())
        return;
    out = std::move(pieces.front());
    appendRowSets(out, pieces, 1);
}

std::vector<RowSet> ResultStream::endRead() {
    m_reading = false;
    m_stopped.clear();
    try {
        return m_reader->take();
    } catch (const DbError&) {
        m_arriving.reset();
        throw;
    }
}

// When the read's first rows begin with the very rows in hand (as read by the first
// screen), the rows in hand only grow; else they are replaced.
ResultStream::Joined ResultStream::join(std::vector<RowSet> pieces, bool ended, RowSet& inHand) {
    size_t next = 0;
    if (!m_arrivedShown && !m_arriving && !pieces.empty())
        m_arriving = std::move(pieces[next++]);
    const bool appended = m_arrivedShown && next < pieces.size();
    if (next < pieces.size())
        appendRowSets(m_arrivedShown ? inHand : *m_arriving, pieces, next);
    if (m_arrivedShown || !m_arriving ||
        (!ended && m_arriving->store.rows() <= int(inHand.order.size())))
        return appended ? Joined::Appended : Joined::Nothing;
    RowSet first = std::move(*m_arriving);
    m_arriving.reset();
    m_arrivedShown = true;
    const bool grown =
        inHand.store.deadRows() == 0 && sameFirstRows(inHand, first, int(inHand.order.size()));
    inHand = std::move(first);
    return grown ? Joined::Grown : Joined::Replaced;
}

} // namespace kx
