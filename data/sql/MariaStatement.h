#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QFile;
class QVariant;
typedef struct st_mysql_stmt MYSQL_STMT;
typedef struct st_mysql_res MYSQL_RES;
struct st_mysql_bind;

namespace kx {

class MariaConnection;

// One statement on the main connection: the data layer's only road to the server (besides
// the connection's own session statements). Two ways to run it:
//  - execute(): prepared, with parameters. Parameters are collected first (texts already in
//    Latin-2, files already opened), so nothing reaches the server before every value is
//    known to be sendable. It can run again with new parameters; it is prepared once per
//    session of the connection.
//  - executeText(): sent as text without parameters, in one exchange; the rows stream from
//    the server as they are read, so a large result is never held twice.
// Rows come back as bytes, NULL as an empty optional, or as cells that point into the client
// library's buffers. Every server failure is raised through the connection, so its hook sees
// it first.
class MariaStatement {
public:
    using Value = std::optional<QByteArray>;
    using Row = std::vector<Value>;
    struct Column {
        QString name;
        bool deferred = false; // BLOB/TEXT column: read on demand, never with the rows
        bool numeric = false;
        bool binary = false;    // bytes of the binary character set, not text
        unsigned collation = 0; // the server's collation number of the values
    };
    // One value of the row just fetched; valid until the next fetch.
    struct Cell {
        const char* data = nullptr;
        qsizetype size = 0;
        bool null = true;
    };

    MariaStatement(MariaConnection& conn, const QString& sql); // Latin-2: may throw
    ~MariaStatement();
    MariaStatement(const MariaStatement&) = delete;
    MariaStatement& operator=(const MariaStatement&) = delete;

    void bindText(const QString& text); // Latin-2; throws TextEncodingError
    void bindBytes(const QByteArray& bytes);
    void bindInt(qint64 value);
    void bindDouble(double value);
    void bindNull();
    void bindFile(const QString& path); // opened now, streamed at execute
    // The number of bytes the file of parameter fileParam (counted from 0) turns out to hold
    // when it is streamed: what the row gets is what was sent, whatever the file's size was
    // when it was chosen or opened.
    void bindFileLength(unsigned fileParam);
    void bindValue(const QVariant& value); // by its kind (see valueKind)

    // Prepares when needed, binds the parameters given since the last run, sends long data
    // and runs; returns the affected row count.
    quint64 execute();
    // Runs the statement as text (no parameters); returns the affected row count.
    quint64 executeText();
    // Prepares a statement the server may not know: false when the server refuses it. A lost
    // connection is no refusal: it fails through the hook like any other failure.
    bool prepareIfAccepted();
    // Runs like execute(), but a refusal by the server (a missing right, say) returns false
    // without passing the hook. A lost connection fails through the hook as always.
    bool executeIfAccepted();

    std::vector<Column> columns(); // of the result, after a run
    bool fetch(Row& row);          // the next row; false after the last
    bool fetchCells(std::vector<Cell>& cells);
    std::vector<Row> fetchAll();
    // The rows of an answer that is small by nature (one record by its key, a count, a page):
    // past maxRows the rest is not read, the connection is closed and a failure raised.
    std::vector<Row> fetchAtMost(qsizetype maxRows);
    void finish(); // drops the rows not read, so the connection is free for the next statement
    // Drops the rows not read without waiting for them: the connection is closed for it.
    void abandon();
    // Drops the rows not read without waiting for them and keeps the connection's data sets:
    // the session is ended and the next statement makes a new one. Inside a transaction the
    // rows are read off as finish() does, since the session cannot go.
    void abandonRows();
    qint64 insertId() const;

    static QString quoteIdentifier(const QString& name); // `name`, backquotes doubled

private:
    struct Param;
    struct Result;
    [[noreturn]] void fail();
    [[noreturn]] void failConnection();
    bool prepareStatement(bool quiet);
    quint64 run(const std::deque<Param>& params);
    quint64 runText();
    bool isRepeatableRead() const;
    template <typename Run> quint64 repeatOnLostSession(Run run);
    qint64 sendLongData(unsigned index, const Param& p); // the bytes sent
    void bindParams(const std::deque<Param>& params, std::vector<st_mysql_bind>& binds,
                    std::vector<unsigned long>& lengths, std::vector<qint64>& fileLengths);
    bool fetchTextCells(std::vector<Cell>& cells);
    void bindResult();
    void fetchLongCell(unsigned column, unsigned long length, Cell& cell);
    MariaConnection& m_conn;
    QByteArray m_sql;
    MYSQL_STMT* m_stmt = nullptr;
    quint64 m_session = 0; // the connection's session the statement was prepared in
    MYSQL_RES* m_textResult = nullptr;
    std::deque<Param> m_params;
    std::vector<std::unique_ptr<QFile>> m_files;
    std::unique_ptr<Result> m_result;
    std::vector<Cell> m_cells;
    bool m_quietRefusal = false;
    struct Refused {};
};

} // namespace kx
