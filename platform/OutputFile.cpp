#include "OutputFile.h"

#include "data/sql/DeviceWrite.h"

#include <cerrno>

namespace kx {

namespace {
constexpr qsizetype kPieceBytes = 256 * 1024;

// Why the call on file just failed (errno is cleared before each call).
QString causeOf(const QFileDevice& file) {
    return writeFailureText(file, errno);
}
} // namespace

OutputFile::OutputFile(const QString& path) : m_file(path) {}

OutputFile::~OutputFile() = default;

bool OutputFile::open() {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setErrorString(m_file.errorString());
        return false;
    }
    m_pending.reserve(kPieceBytes);
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 OutputFile::readData(char*, qint64) {
    return -1;
}

qint64 OutputFile::writeData(const char* data, qint64 size) {
    if (m_failed)
        return -1;
    if (m_pending.size() + size > kPieceBytes && !flushPending())
        return -1;
    if (size >= kPieceBytes)
        return writeOut(data, size) ? size : -1;
    m_pending.append(data, size);
    return size;
}

bool OutputFile::flushPending() {
    const bool written = writeOut(m_pending.constData(), m_pending.size());
    m_pending.clear();
    return written;
}

bool OutputFile::writeOut(const char* data, qint64 size) {
    while (size > 0) {
        errno = 0;
        const qint64 n = m_file.write(data, size);
        if (n <= 0) {
            fail(causeOf(m_file));
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

void OutputFile::fail(const QString& cause) {
    m_failed = true;
    setErrorString(cause);
}

bool OutputFile::commit() {
    if (m_failed || !flushPending())
        return false;
    errno = 0;
    if (!m_file.commit()) {
        fail(causeOf(m_file));
        return false;
    }
    QIODevice::close();
    return true;
}

} // namespace kx
