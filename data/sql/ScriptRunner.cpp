#include "data/sql/ScriptRunner.h"

#include "data/sql/MariaConnection.h"

namespace kx {

ScriptRunner::ScriptRunner(MariaConnection& conn) : m_conn(conn) {}

void ScriptRunner::clear() {
    m_lines.clear();
}

void ScriptRunner::setScript(const QStringList& lines) {
    m_lines = lines;
}

QStringList ScriptRunner::script() const {
    return m_lines;
}

bool ScriptRunner::validate() const {
    for (const QString& line : m_lines)
        if (!line.trimmed().isEmpty())
            return true;
    return false;
}

void ScriptRunner::execute() {
    // One call, one statement: the connection never enables multi-statements, so a second
    // statement in the text makes the server refuse the whole text.
    m_conn.execute(m_lines.join(QLatin1Char('\n')));
}

} // namespace kx
