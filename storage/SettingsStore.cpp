#include "SettingsStore.h"

#include "ConfigTable.h"
#include "data/records/Columns.h"
#include "data/sql/SqliteConnection.h"
#include "data/table/SqliteTable.h"

namespace kx {

const char* const SettingsStore::keys[4] = {"SZERVER", "PORT", "ADATBAZIS", "FELHASZN"};

namespace {

QString* fieldFor(RememberedSettings& s, int i) {
    QString* fields[4] = {&s.server, &s.port, &s.database, &s.user};
    return fields[i];
}

// The file open for one operation: the connection, the table added to a new file, the table
// open. Leaving closes both, also when the operation failed half-way.
class OpenFile {
public:
    OpenFile(SqliteConnection& connection, SqliteTable& table)
        : m_connection(connection), m_table(table) {
        try {
            m_connection.open();
            ConfigTable::addToNewFile(m_connection);
            m_table.open();
        } catch (...) {
            close();
            throw;
        }
    }
    ~OpenFile() {
        close();
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

private:
    void close() {
        m_table.close();
        m_connection.close();
    }
    SqliteConnection& m_connection;
    SqliteTable& m_table;
};

} // namespace

SettingsStore::SettingsStore(SqliteConnection& connection, SqliteTable& table)
    : m_connection(connection), m_table(table) {}

RememberedSettings SettingsStore::read() {
    RememberedSettings out;
    const OpenFile file(m_connection, m_table);
    for (int i = 0; i < 4; ++i) {
        // A key is found by prefix: "SZERVER2" is taken for "SZERVER" as well.
        if (m_table.locate(column::settingName, QString::fromLatin1(keys[i]), true))
            *fieldFor(out, i) = m_table.asString(column::settingValue);
    }
    return out;
}

void SettingsStore::remember(const RememberedSettings& settings) {
    RememberedSettings values = settings;
    const OpenFile file(m_connection, m_table);
    for (int i = 0; i < 4; ++i) {
        const QString key = QString::fromLatin1(keys[i]);
        if (m_table.locate(column::settingName, key, true))
            m_table.edit();
        else
            m_table.append();
        m_table.setField(column::settingName, key);
        m_table.setField(column::settingValue, *fieldFor(values, i));
        m_table.post();
    }
}

QString SettingsStore::path() const {
    return m_connection.database();
}

} // namespace kx
