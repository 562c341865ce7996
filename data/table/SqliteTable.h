#pragma once

#include "data/table/TableBase.h"

#include <QVariant>
#include <memory>

namespace kx {

class SqliteConnection;

// Whole-table data set over a small SQLite table, rows in key order, held in memory.
class SqliteTable : public TableBase {
    Q_OBJECT
public:
    SqliteTable(SqliteConnection& conn, const QString& tableName, QObject* parent = nullptr);
    ~SqliteTable() override;

    void setKeyField(const QString& field); // default "AZ"
    void open() override;                   // throws DbError when the table is missing
    void close() override;
    void refresh() override;
    bool isOpen() const override;
    int recordCount() override;
    void first() override;
    void next() override;
    bool eof() override;
    bool locate(const QString& field, const QString& value, bool prefix) override;

    bool isNull(const QString& field) override;
    QString asString(const QString& field) override;
    QByteArray asBytes(const QString& field) override;

protected:
    void doEdit() override;
    void doPost(TableState state, const QList<QPair<QString, PendingValue>>& values) override;
    void doDelete() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kx
