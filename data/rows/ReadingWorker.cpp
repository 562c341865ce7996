#include "data/rows/ReadingWorker.h"

#include "data/sql/MariaStatement.h"
#include "data/text/TextEncodingError.h"

#include <algorithm>
#include <utility>

namespace kx {

namespace {

// Rows of the first piece; each next piece holds twice as many, up to the last size. The
// first rows reach the screen soon, and a long result costs few hand-overs.
constexpr int kFirstPiece = 1000;
constexpr int kLargestPiece = 32768;

} // namespace

ReadingWorker::ReadingWorker(const ConnectionParams& params) : m_params(params) {
    m_conn.setParams(params);
}

ReadingWorker::~ReadingWorker() {
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void ReadingWorker::start(const QString& statement, RowSet shape, int expectedColumns,
                          bool digested, std::function<void()> ready, std::function<void()> done) {
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
    m_ended = false;
    m_shape = std::move(shape);
    m_pieces.clear();
    m_error.reset();
    m_ready = std::move(ready);
    m_done = std::move(done);
    m_thread = std::thread([this, statement, expectedColumns, digested] {
        read(statement, expectedColumns, digested);
    });
}

bool ReadingWorker::isReading() const {
    return m_thread.joinable();
}

void ReadingWorker::read(const QString& statement, int expectedColumns, bool digested) {
    try {
        m_conn.open(); // no-op when connected; makes a lost connection again
        MariaStatement st(m_conn, statement);
        st.executeText();
        if (int(st.columns().size()) != expectedColumns) {
            st.finish();
            throw DbError(
                QStringLiteral("A(z) %1 tábla szerkezete megváltozott.").arg(m_shape.table));
        }
        int size = kFirstPiece;
        bool published = false;
        for (;;) {
            RowSet piece = m_shape.emptyLike();
            const bool more = appendRows(st, piece, digested, &m_stop, size);
            if (m_stop)
                break;
            if (piece.store.rows() > 0 || !published) // the end is handed over even when empty
                publish(std::move(piece));
            published = true;
            if (!more)
                break;
            size = std::min(2 * size, kLargestPiece);
        }
        if (m_stop)
            st.abandon(); // the rows not read are not waited for
    } catch (const DbError& e) {
        m_error = e;
    } catch (const TextEncodingError& e) {
        m_error = DbError(e.userMessage());
    } catch (const std::exception& e) { // nothing may end the reading thread otherwise
        m_error = DbError(QString::fromUtf8(e.what()));
    }
    if (m_done)
        m_done();
    m_ended = true;
}

bool ReadingWorker::hasEnded() const {
    return m_ended;
}

void ReadingWorker::publish(RowSet piece) {
    bool first = false;
    {
        const std::lock_guard lock(m_mutex);
        first = m_pieces.empty();
        m_pieces.push_back(std::move(piece));
    }
    if (first && m_ready) // one notice for all pieces that wait
        m_ready();
}

std::vector<RowSet> ReadingWorker::takeReady() {
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_pieces, {});
}

std::vector<RowSet> ReadingWorker::take() {
    if (m_thread.joinable())
        m_thread.join();
    if (m_error) {
        const DbError err = *m_error;
        m_error.reset();
        m_pieces.clear();
        throw err;
    }
    return std::exchange(m_pieces, {});
}

void ReadingWorker::cancel() {
    m_stop = true;
}

void ReadingWorker::runAside(std::function<void(MariaConnection&)> job) {
    if (m_thread.joinable())
        m_thread.join();
    m_ended = false;
    m_error.reset();
    m_thread = std::thread([this, job = std::move(job)] {
        try {
            m_conn.open(); // no-op when connected; makes a lost connection again
            job(m_conn);
        } catch (const DbError& e) {
            m_error = e;
        } catch (const TextEncodingError& e) {
            m_error = DbError(e.userMessage());
        } catch (const std::exception& e) { // nothing may end the thread otherwise
            m_error = DbError(QString::fromUtf8(e.what()));
        }
        m_ended = true;
    });
}

bool ReadingWorker::waitAside() {
    if (m_thread.joinable())
        m_thread.join();
    const bool succeeded = !m_error;
    m_error.reset();
    return succeeded;
}

} // namespace kx
