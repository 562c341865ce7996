#pragma once

#include "data/rows/RowSet.h"
#include "data/sql/DbError.h"
#include "data/sql/MariaConnection.h"

#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kx {

// Reads all rows of a statement on a connection of its own, in a thread of its own, while
// the program goes on with the rows it has (the first screen) and its own connection stays
// free for everything else. The rows are handed over in growing pieces as they arrive, so
// that the program can show them before the end. The connection is made with the program's
// login and session settings at the first read and kept for the next. A failure does not
// pass any hook here: it is handed over with the rows, for the program's connection to report.
class ReadingWorker {
public:
    explicit ReadingWorker(const ConnectionParams& params);
    ~ReadingWorker(); // stops a read under way and waits for its end
    ReadingWorker(const ReadingWorker&) = delete;
    ReadingWorker& operator=(const ReadingWorker&) = delete;

    // Starts reading statement into pieces shaped like rows (columns and store set up, no
    // rows; expectedColumns: what the result must have). ready runs on the reading thread
    // when a piece can be taken and none was waiting; done when the read has ended.
    void start(const QString& statement, RowSet shape, int expectedColumns, bool digested,
               std::function<void()> ready, std::function<void()> done);
    bool isReading() const;
    bool hasEnded() const; // the reading thread is done (or never started)
    // The pieces read and not taken yet, in order, without waiting.
    std::vector<RowSet> takeReady();
    // Waits for the end of the read and hands over the pieces not taken yet; throws its
    // DbError.
    std::vector<RowSet> take();
    // Stops reading at the next row; the rows are not wanted any more.
    void cancel();

    // Runs another job on the reader's connection and thread while it does not read (the
    // connection made when needed); waitAside() waits for its end and tells whether it
    // succeeded. A failure is not reported here: the caller does the work itself then.
    void runAside(std::function<void(MariaConnection&)> job);
    bool waitAside();

private:
    void read(const QString& statement, int expectedColumns, bool digested);
    void publish(RowSet piece);
    ConnectionParams m_params;
    MariaConnection m_conn;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{true};
    std::function<void()> m_ready;
    std::function<void()> m_done;
    RowSet m_shape; // columns of the pieces
    std::mutex m_mutex;
    std::vector<RowSet> m_pieces; // read, not taken yet (under m_mutex)
    std::optional<DbError> m_error;
};

} // namespace kx
