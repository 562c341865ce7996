#pragma once

#include <QString>
#include <QStringList>

class QVariant;

namespace kx {

// How a value is bound to a statement, decided in one place for every store.
enum class ValueKind { Null, Bytes, Integer, Real, Text };
ValueKind valueKind(const QVariant& value);

// The INSERT and UPDATE statements that write a row of a table, one parameter per column
// (then the key for an UPDATE), for the record store and for the settings file alike.
class WriteStatementBuilder {
public:
    enum class Dialect { MariaDb, Sqlite };
    explicit WriteStatementBuilder(Dialect dialect);

    QString quote(const QString& name) const; // an identifier, its quote characters doubled
    // A row of the table's default values when columns is empty.
    QString insert(const QString& table, const QStringList& columns) const;
    QString update(const QString& table, const QStringList& columns, const QString& key) const;

private:
    QString quotedList(const QStringList& columns, const QString& suffix) const;
    Dialect m_dialect;
};

} // namespace kx
