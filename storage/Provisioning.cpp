#include "Provisioning.h"

#include "RecordStoreSchema.h"
#include "data/query/Query.h"
#include "data/sql/DbError.h"
#include "data/sql/ScriptRunner.h"
#include "data/sql/SmallAnswer.h"
#include "data/sql/SqlLiteral.h"
#include "platform/Prompter.h"
#include "platform/ScreenCursor.h"

namespace kx {

Provisioning::Provisioning(Query& probe, ScriptRunner& script, Prompter& prompter)
    : m_probe(probe), m_script(script), m_prompter(prompter) {}

QString Provisioning::databaseProbe(const QString& database) {
    // A like pattern with "%", "_" and the escape character escaped matches the name itself
    // under the catalogue's comparison, which ignores letter case (and accents): it finds the
    // database however the server stored its name. The server's own rule for names comes
    // with it, so that databaseMatches() can keep only what the server takes for this name.
    QString pattern;
    for (const QChar c : database) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            pattern += QLatin1Char('\\');
        pattern += c;
    }
    return QStringLiteral("select schema_name, @@lower_case_table_names as kx_lower from "
                          "information_schema.schemata where schema_name like ") +
           sqlLiteral(pattern);
}

bool Provisioning::databaseMatches(const QString& typed, const QString& stored,
                                   const QString& lowerCaseNames) {
    bool known = false;
    const int rule = lowerCaseNames.toInt(&known);
    if (!known)
        return true; // the rule cannot be read: whatever the pattern found counts
    if (rule == 0)
        return typed == stored; // names are compared as they are
    // 1: stored in small letters; 2: stored as given, compared in small letters.
    return typed.toLower() == stored.toLower();
}

QString Provisioning::tableProbe(const QString& database, const QString& table) {
    return QStringLiteral("SELECT * FROM information_schema.tables WHERE table_schema = ") +
           sqlLiteral(database) + QStringLiteral(" and table_name = ") + sqlLiteral(table);
}

bool Provisioning::probeFindsRow(const QString& sql) {
    m_probe.close();
    m_probe.setSql(sql);
    const DbWaitCursor wait;
    // A probe names one database or one table: a longer answer is a server not to listen to.
    struct Limit {
        Query& probe;
        ~Limit() {
            probe.setRowLimit(-1);
        }
    } limit{m_probe};
    m_probe.setRowLimit(SmallAnswer::kMaxRows);
    m_probe.open();
    return m_probe.recordCount() > 0;
}

bool Provisioning::probeFindsDatabase(const QString& database) {
    if (!probeFindsRow(databaseProbe(database)))
        return false;
    for (m_probe.first(); !m_probe.eof(); m_probe.next())
        if (databaseMatches(database, m_probe.asString(QStringLiteral("schema_name")),
                            m_probe.asString(QStringLiteral("kx_lower"))))
            return true;
    return false;
}

// Runs one creation statement. The name goes into it as typed; a name that is not a bare
// identifier could end the statement's name part and reach another database, so such a
// statement is never sent and counts as refused.
bool Provisioning::run(const QStringList& lines, const QString& database) {
    if (!isBareIdentifier(database))
        return false;
    m_script.clear();
    m_script.setScript(lines);
    if (!m_script.validate())
        return false;
    try {
        m_script.execute();
    } catch (const DbError&) {
        return false;
    }
    return true;
}

bool Provisioning::checkDatabase(const QString& database) {
    if (probeFindsDatabase(database))
        return true;
    if (!m_prompter.question(QStringLiteral("Adatbázis nem létezik, létrehozzuk most ?")))
        return false;
    bool created;
    {
        const DbWaitCursor wait;
        created = run(schema::createDatabase(database), database);
    }
    if (!created) {
        m_prompter.warning(QStringLiteral("Adatbázis nem hozható létre !"));
        return false;
    }
    m_prompter.warning(QStringLiteral("Adatbázis létre hozva !"));
    return true;
}

bool Provisioning::checkTables(const QString& database) {
    const QStringList tables = schema::tableNames();
    for (int i = 0; i < tables.size(); ++i) {
        if (probeFindsRow(tableProbe(database, tables[i])))
            continue;
        const QString question =
            QStringLiteral("%1. Adattábla nem létezik, létrehozzuk most ?").arg(i + 2);
        if (!m_prompter.question(question))
            return false;
        const DbWaitCursor wait;
        run(schema::createTable(database, tables[i]), database); // a refusal goes on unreported
    }
    m_probe.close();
    return true;
}

} // namespace kx
