#include "ProcessMemory.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <algorithm>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace kx::bench {

namespace {

qint64 statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

qint64 residentKb() {
    return statusKb("VmRSS");
}

qint64 peakResidentKb() {
    return statusKb("VmHWM");
}

PeakGrowth::PeakGrowth() {
    // Free heap memory goes back to the system first: memory freed earlier and still resident
    // would otherwise take the work's buffers unseen.
    malloc_trim(0);
    // "5" resets the peak resident size to the present one (plain write(2): a proc file
    // takes no truncation or buffering).
    const int fd = ::open("/proc/self/clear_refs", O_WRONLY);
    if (fd >= 0) {
        m_reset = ::write(fd, "5", 1) == 1;
        ::close(fd);
    }
    m_base = m_reset ? residentKb() : peakResidentKb();
}

qint64 PeakGrowth::addedKb() const {
    return std::max<qint64>(0, peakResidentKb() - m_base);
}

} // namespace kx::bench
