#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// The records a report prints, one detail band each. The engine asks for the count, makes one
// record current at a time and reads the fields its bound elements name; it never holds more
// than the record it is painting.
class ReportDataSource {
public:
    virtual ~ReportDataSource();

    virtual int recordCount() = 0;
    virtual void moveTo(int record) = 0; // 0 .. recordCount() - 1
    // The current record's field as it is displayed (empty for NULL).
    virtual QString text(const QString& field) = 0;
    // The current record's field as bytes, e.g. a picture's file image (empty for NULL).
    virtual QByteArray bytes(const QString& field) = 0;
};

} // namespace kx
