#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QFile;
typedef struct st_mysql_stmt MYSQL_STMT;

namespace kx {

class MariaConnection;

// One prepared statement on the main connection. Parameters are collected first (texts
// already in Latin-2, files already opened), so nothing reaches the server before every
// value is known to be sendable. Rows come back as bytes, NULL as an empty optional.
// Every server failure is raised through the connection, so its hook sees it first.
class MariaStatement {
public:
    using Value = std::optional<QByteArray>;
    using Row = std::vector<Value>;
    struct Column {
        QString name;
        bool deferred; // BLOB/TEXT column: read on demand, never with the rows
    };

    MariaStatement(MariaConnection& conn, const QString& sql);
    ~MariaStatement();
    MariaStatement(const MariaStatement&) = delete;
    MariaStatement& operator=(const MariaStatement&) = delete;

    void bindText(const QString& text); // Latin-2; throws TextEncodingError
    void bindBytes(const QByteArray& bytes);
    void bindInt(qint64 value);
    void bindDouble(double value);
    void bindNull();
    void bindFile(const QString& path); // opened now, streamed at execute

    // Prepares, binds, sends long data and runs; returns the affected row count.
    quint64 execute();
    std::vector<Column> columns(); // of the result, after execute
    bool fetch(Row& row);          // the next row; false after the last
    std::vector<Row> fetchAll();
    qint64 insertId() const;

    static QString quoteIdentifier(const QString& name); // `name`, backquotes doubled

private:
    struct Param;
    [[noreturn]] void fail();
    void sendLongData(unsigned index, const Param& p);
    MariaConnection& m_conn;
    QByteArray m_sql;
    MYSQL_STMT* m_stmt = nullptr;
    std::deque<Param> m_params;
    std::vector<std::unique_ptr<QFile>> m_files;
    struct Result;
    std::unique_ptr<Result> m_result;
};

} // namespace kx
