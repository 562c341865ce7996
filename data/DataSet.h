#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;

namespace kx {

// A simple local row filter: "<field> <op> <literal>", op one of = <> < > <= >=, the literal
// a number or an SQL string literal ('' for the empty string). Empty text: no filter.
struct RowFilter {
    QString field;
    QString op;
    QString value;
    bool numeric = false;
    bool isEmpty() const {
        return field.isEmpty();
    }
    static RowFilter parse(const QString& text); // throws DbError on text it cannot read
};

// What queries and tables have in common: open state, the current row and its fields.
class DataSetBase : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DataSetBase() override;

    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual int recordCount() = 0; // total rows, not rows fetched so far
    virtual bool isEmpty() {
        return recordCount() <= 0;
    }

    // Fields of the current row. NULL reads as empty text and 0.
    virtual bool isNull(const QString& field) = 0;
    virtual QString asString(const QString& field) = 0;
    virtual qint64 asInteger(const QString& field);
    virtual QByteArray asBytes(const QString& field) = 0;

signals:
    void reset(); // rows replaced (open, close, refresh, sort, filter)
    void currentChanged();
};

} // namespace kx
