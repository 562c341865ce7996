#include "ProgressWriter.h"

#include "Progress.h"
#include "data/sql/DeviceWrite.h"

#include <cerrno>

namespace kx {

ProgressWriter::ProgressWriter(QIODevice& target, Progress* progress)
    : m_target(target), m_progress(progress) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 ProgressWriter::readData(char*, qint64) {
    return -1;
}

qint64 ProgressWriter::writeData(const char* data, qint64 size) {
    if (m_cancelled)
        return -1;
    // A piece that goes out only in part is followed by its rest: when that fails, the
    // failure carries the system's cause (a full disk), which a short count alone does not.
    qint64 n = 0;
    while (n < size) {
        errno = 0;
        const qint64 part = m_target.write(data + n, size - n);
        if (part <= 0) {
            setErrorString(writeFailureText(m_target, errno));
            return -1;
        }
        n += part;
    }
    m_written += n;
    if (m_progress && !m_progress->step(m_written)) {
        m_cancelled = true;
        setErrorString(QStringLiteral("A mentés megszakítva."));
    }
    return n;
}

} // namespace kx
