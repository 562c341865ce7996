#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace kx {

// One field of a row waiting to be written: a value, a file streamed into the field when the
// row is written (never held in memory), or the number of bytes streamed into another field.
struct PendingValue {
    QVariant value;
    QString filePath; // non-empty: stream from this file
    QString lengthOf; // non-empty: the bytes streamed into this field
};

// The fields set on a pending row, by name, in the order they were first set; the values are
// bound to the write in that order.
using PendingRow = QList<QPair<QString, PendingValue>>;

} // namespace kx
