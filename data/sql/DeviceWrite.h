#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;

namespace kx {

// Why a write to out has just failed, in words the user can act on ("No space left on
// device"): the device's own text, or, where it has none ("Unknown error": a file whose
// write went out only in part), the system's for err, the errno the failed call left.
QString writeFailureText(const QIODevice& out, int err);

// Writes all of data to out: a write that goes out only in part is followed by the rest, so
// that a disk that fills up fails with its own cause. Throws DbError "A fájl írása nem
// sikerült: <cause>" when a write fails.
void writeWhole(QIODevice& out, const char* data, qint64 size);

} // namespace kx
