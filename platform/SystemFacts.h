#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// Facts about the computer for the about box, read from the operating system each time they
// are asked for. On Linux: the distribution's name from os-release, the kernel's version
// from uname, memory from /proc/meminfo and the processor from /proc/cpuinfo. A fact that
// cannot be read comes back empty or zero; nothing here fails.

struct OsVersion {
    QString name; // the system's name; empty when it cannot be told
    int major = 0;
    int minor = 0;
    int build = 0;
};

struct MemoryStatus {
    quint64 totalBytes = 0; // physical memory
    int loadPercent = 0;    // share of physical memory in use, 0 to 100
};

struct ProcessorInfo {
    QString type;     // the processor's model name
    int revision = 0; // its stepping or revision number
};

OsVersion osVersion();
MemoryStatus memoryStatus();
ProcessorInfo processorInfo();

// The readers above on given texts (os-release, uname's system name and release, meminfo,
// cpuinfo and uname's machine), so that odd systems can be tried without having them.
OsVersion parseOsVersion(const QByteArray& osRelease, const QString& systemName,
                         const QString& release);
MemoryStatus parseMemInfo(const QByteArray& memInfo);
ProcessorInfo parseCpuInfo(const QByteArray& cpuInfo, const QString& machine);

} // namespace kx
