#include "data/sql/DeviceWrite.h"

#include "data/sql/DbError.h"

#include <QCoreApplication>
#include <QIODevice>
#include <cerrno>
#include <cstring>

namespace kx {

QString writeFailureText(const QIODevice& out, int err) {
    const QString own = out.errorString();
    const bool saysNothing =
        own.isEmpty() || own == QCoreApplication::translate("QIODevice", "Unknown error");
    if (saysNothing && err != 0)
        return QString::fromLocal8Bit(std::strerror(err));
    return own;
}

void writeWhole(QIODevice& out, const char* data, qint64 size) {
    while (size > 0) {
        errno = 0;
        const qint64 n = out.write(data, size);
        if (n <= 0)
            throw DbError(
                QStringLiteral("A fájl írása nem sikerült: %1").arg(writeFailureText(out, errno)));
        data += n;
        size -= n;
    }
}

} // namespace kx
