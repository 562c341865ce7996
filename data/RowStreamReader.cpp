#include "RowStreamReader.h"

#include "MariaStatement.h"

namespace kx {

RowStreamReader::RowStreamReader(const ConnectionParams& params) : m_params(params) {
    m_conn.setParams(params);
}

RowStreamReader::~RowStreamReader() {
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void RowStreamReader::start(const QString& statement, RowSet rows, int expectedColumns,
                            bool digested, std::function<void()> done) {
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
    m_ended = false;
    m_rows = std::move(rows);
    m_error.reset();
    m_done = std::move(done);
    m_thread = std::thread([this, statement, expectedColumns, digested] {
        read(statement, expectedColumns, digested);
    });
}

bool RowStreamReader::isReading() const {
    return m_thread.joinable();
}

void RowStreamReader::read(const QString& statement, int expectedColumns, bool digested) {
    try {
        m_conn.open(); // no-op when connected; makes a lost connection again
        MariaStatement st(m_conn, statement);
        st.executeText();
        if (int(st.columns().size()) != expectedColumns) {
            st.finish();
            throw DbError(
                QStringLiteral("A(z) %1 tábla szerkezete megváltozott.").arg(m_rows.table));
        }
        appendRows(st, m_rows, digested, &m_stop);
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

bool RowStreamReader::hasEnded() const {
    return m_ended;
}

RowSet RowStreamReader::take() {
    if (m_thread.joinable())
        m_thread.join();
    if (m_error) {
        const DbError err = *m_error;
        m_error.reset();
        throw err;
    }
    return std::move(m_rows);
}

void RowStreamReader::cancel() {
    m_stop = true;
}

} // namespace kx
