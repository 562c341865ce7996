#pragma once

#include <QStringList>

namespace kx {

class MariaConnection;

// Runs one statement on the main connection: the script's lines joined by line breaks.
// Text that holds several statements is refused by the server, never split.
class ScriptRunner {
public:
    explicit ScriptRunner(MariaConnection& conn);
    void clear();
    void setScript(const QStringList& lines);
    QStringList script() const;
    bool validate() const; // the script is not empty
    void execute();        // throws DbError (after the connection's hook)

private:
    MariaConnection& m_conn;
    QStringList m_lines;
};

} // namespace kx
