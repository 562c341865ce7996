#include "ProgressWriter.h"

#include "Progress.h"

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
    const qint64 n = m_target.write(data, size);
    if (n < 0) {
        setErrorString(m_target.errorString());
        return -1;
    }
    m_written += n;
    if (m_progress && !m_progress->step(m_written)) {
        m_cancelled = true;
        setErrorString(QStringLiteral("A mentés megszakítva."));
    }
    return n;
}

} // namespace kx
