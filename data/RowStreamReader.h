#pragma once

#include "DbError.h"
#include "MariaConnection.h"
#include "RowStore.h"

#include <QString>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace kx {

// Reads all rows of a statement on a connection of its own, in a thread of its own, while
// the program goes on with the rows it has (the first screen) and its own connection stays
// free for everything else. The connection is made with the program's login and session
// settings at the first read and kept for the next. A failure does not pass any hook here:
// it is handed over with the rows, for the program's connection to report.
class RowStreamReader {
public:
    explicit RowStreamReader(const ConnectionParams& params);
    ~RowStreamReader(); // stops a read under way and waits for its end
    RowStreamReader(const RowStreamReader&) = delete;
    RowStreamReader& operator=(const RowStreamReader&) = delete;

    // Starts reading statement into rows (columns and store already set up; expectedColumns:
    // what the result must have). done runs on the reading thread when the read has ended.
    void start(const QString& statement, RowSet rows, int expectedColumns, bool digested,
               std::function<void()> done);
    bool isReading() const;
    bool hasEnded() const; // the reading thread is done (or never started)
    // Waits for the end of the read and hands its rows over; throws its DbError.
    RowSet take();
    // Stops reading at the next row; the rows are not wanted any more.
    void cancel();

private:
    void read(const QString& statement, int expectedColumns, bool digested);
    ConnectionParams m_params;
    MariaConnection m_conn;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{true};
    std::function<void()> m_done;
    RowSet m_rows;
    std::optional<DbError> m_error;
};

} // namespace kx
