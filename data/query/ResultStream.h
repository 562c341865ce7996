#pragma once

#include "data/rows/RowSet.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QObject;

namespace kx {

class MariaConnection;
class MariaStatement;
class ReadingWorker;
struct QueryPlan;

// The rows of a query's statement as they come: read whole on the program's connection, or
// a first screen at once while the reading worker reads the whole result on a connection of
// its own, whose pieces then join the rows in hand in the statement's order. Owns the
// worker's lifetime and tells a read in force from one that was stopped.
class ResultStream {
public:
    // What joining pieces did to the rows in hand.
    enum class Joined {
        Nothing,  // the pieces wait until they outnumber the first screen
        Grown,    // the read began with the very rows in hand: the same stored rows, and more
        Replaced, // the read's first rows differ from those in hand, which they replace
        Appended, // rows were added after those in hand
    };
    // Runs on the receiver's thread, from its event loop, with the number of the read.
    using Notice = std::function<void(quint64 read)>;

    // tableChanged: the server's answer shows that a table's columns may differ from what
    // the plan was made of; told before the failure goes through the connection's hook.
    ResultStream(MariaConnection& conn, std::function<void(const QString& table)> tableChanged);
    ~ResultStream(); // stops the read and waits for every reading thread
    ResultStream(const ResultStream&) = delete;
    ResultStream& operator=(const ResultStream&) = delete;

    // ready: pieces can be taken (takeReady); ended: the read has ended (takeRest).
    void setNotices(QObject* receiver, Notice ready, Notice ended);
    // For statements whose answer is small by nature: an answer of more rows is not read
    // on, the connection is closed and the read fails. -1: no limit.
    void setRowLimit(int rows) {
        m_rowLimit = rows;
    }

    // The rows of plan: its first screen, the worker then reading the rest when there may
    // be more; else the whole result. Fails through the connection's hook.
    RowSet read(const QueryPlan& plan);
    bool isReading() const {
        return m_reading;
    }
    bool isCurrent(quint64 read) const { // the read in force, and not waited for yet
        return m_reading && read == m_readNumber;
    }
    void stop();             // the rows being read are not wanted any more
    void close();            // stop(), and the worker's session ends too
    void waitForStopped();   // the threads of stopped reads have ended
    ReadingWorker& worker(); // its connection is free while nothing is read

    // Joins the pieces read so far to the rows in hand, without waiting.
    Joined takeReady(RowSet& inHand);
    // Waits for the end of the read and joins the rest; throws the read's DbError.
    Joined takeRest(RowSet& inHand);
    // Waits for the end of the read and puts the whole result in place of the first screen
    // in out (which was never shown); a failed read fails through the connection's hook.
    void takeWhole(RowSet& out);
    // The read's pieces, in order, joined to inHand: the first ones gathered until they
    // outnumber the rows in hand (or the read has ended), then take their place; the next
    // ones are added at the end.
    Joined join(std::vector<RowSet> pieces, bool ended, RowSet& inHand);

private:
    void readWhole(const QueryPlan& plan, RowSet& out);
    void readFirstScreen(const QueryPlan& plan, RowSet& out);
    void load(MariaStatement& st, RowSet& out, const QueryPlan& plan);
    void startReading(const QueryPlan& plan);
    std::function<void()> notice(const Notice& handler) const;
    std::vector<RowSet> endRead();

    MariaConnection& m_conn;
    std::function<void(const QString&)> m_tableChanged;
    QObject* m_receiver = nullptr;
    Notice m_ready;
    Notice m_ended;
    int m_rowLimit = -1;
    std::unique_ptr<ReadingWorker> m_reader;
    std::vector<std::unique_ptr<ReadingWorker>> m_stopped; // ending after a stop
    bool m_reading = false;
    quint64 m_readNumber = 0; // tells the end of the read in force from a stopped one's
    // The read's first rows, gathered until they outnumber the first screen; then they take
    // its place and the next ones are added to the rows in hand as they come.
    std::optional<RowSet> m_arriving;
    bool m_arrivedShown = false;
};

} // namespace kx
