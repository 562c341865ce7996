#pragma once

#include "data/sql/SessionUser.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kx {

// What queries and tables have in common: open state, the current row and its fields.
class DataSetBase : public QObject, public SessionUser {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DataSetBase() override;

    void close() override = 0;
    bool isOpen() const override = 0;
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
