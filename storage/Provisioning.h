#pragma once

#include <QString>

namespace kx {

class Prompter;
class Query;
class ScriptRunner;

// Makes sure the record store exists during the login: offers to create a missing database
// and each missing table, one question each, with the record store's own statements.
class Provisioning {
public:
    Provisioning(Query& probe, ScriptRunner& script, Prompter& prompter);

    // With the connection on the server only. False stops the login.
    bool checkDatabase(const QString& database);
    // With the connection on the database. False stops the login.
    bool checkTables(const QString& database);

    static QString databaseProbe(const QString& database);
    // Whether a database name found by the probe is the typed one under the server's rule
    // for names (its lower_case_table_names, as text; empty when unknown).
    static bool databaseMatches(const QString& typed, const QString& stored,
                                const QString& lowerCaseNames);
    static QString tableProbe(const QString& database, const QString& table);

private:
    bool probeFindsRow(const QString& sql);
    bool probeFindsDatabase(const QString& database);
    bool run(const QStringList& lines, const QString& database);

    Query& m_probe;
    ScriptRunner& m_script;
    Prompter& m_prompter;
};

} // namespace kx
