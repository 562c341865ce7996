#include "SystemFacts.h"

#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <cmath>
#include <optional>
#include <sys/utsname.h>

namespace kx {

namespace {

// Small files of /proc and /etc, read whole; empty when missing. /proc files report no
// size, so they are read to their end rather than by their size.
QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// "key<sep>value" lines; the first line whose key matches (ignoring blanks around it).
QString lineValue(const QByteArray& text, const QByteArray& key, char separator) {
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype at = line.indexOf(separator);
        if (at > 0 && line.left(at).trimmed() == key)
            return QString::fromUtf8(line.mid(at + 1).trimmed());
    }
    return {};
}

QString unquoted(QString value) {
    if (value.size() >= 2 &&
        (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))) &&
        value.endsWith(value.front()))
        value = value.mid(1, value.size() - 2);
    return value;
}

struct Uname {
    QString system, release, machine;
};

Uname readUname() {
    utsname u{};
    if (uname(&u) != 0)
        return {};
    return {QString::fromLocal8Bit(u.sysname), QString::fromLocal8Bit(u.release),
            QString::fromLocal8Bit(u.machine)};
}

} // namespace

OsVersion parseOsVersion(const QByteArray& osRelease, const QString& systemName,
                         const QString& release) {
    OsVersion v;
    v.name = unquoted(lineValue(osRelease, "NAME", '='));
    if (v.name.isEmpty())
        v.name = systemName;
    // "6.1.0-18-amd64": the first three numbers are major, minor and build.
    static const QRegularExpression numbers(QStringLiteral(R"(^(\d+)(?:\.(\d+))?(?:\.(\d+))?)"));
    const auto m = numbers.match(release);
    if (m.hasMatch()) {
        v.major = m.captured(1).toInt();
        v.minor = m.captured(2).toInt();
        v.build = m.captured(3).toInt();
    }
    return v;
}

MemoryStatus parseMemInfo(const QByteArray& memInfo) {
    // Values are in kibibytes: "MemTotal:       24683716 kB".
    const auto kib = [&memInfo](const char* key) -> std::optional<quint64> {
        const QString value = lineValue(memInfo, key, ':');
        bool ok = false;
        const quint64 n = value.section(QLatin1Char(' '), 0, 0).toULongLong(&ok);
        return ok ? std::optional<quint64>(n) : std::nullopt;
    };
    MemoryStatus s;
    const auto total = kib("MemTotal");
    if (!total || *total == 0)
        return s;
    s.totalBytes = *total * 1024;
    // What the kernel counts as available; older kernels lack it and give its parts.
    std::optional<quint64> available = kib("MemAvailable");
    if (!available)
        available =
            kib("MemFree").value_or(0) + kib("Buffers").value_or(0) + kib("Cached").value_or(0);
    const quint64 used = *total > *available ? *total - *available : 0;
    s.loadPercent = int(std::lround(100.0 * double(used) / double(*total)));
    return s;
}

ProcessorInfo parseCpuInfo(const QByteArray& cpuInfo, const QString& machine) {
    // The first processor's block; the keys differ between processor families.
    const qsizetype end = cpuInfo.indexOf("\n\n");
    const QByteArray first = end < 0 ? cpuInfo : cpuInfo.left(end);
    ProcessorInfo p;
    for (const char* key : {"model name", "Processor", "cpu model", "cpu"}) {
        p.type = lineValue(first, key, ':').simplified();
        if (!p.type.isEmpty())
            break;
    }
    if (p.type.isEmpty())
        p.type = machine;
    for (const char* key : {"stepping", "CPU revision", "revision"}) {
        bool ok = false;
        const int r = lineValue(first, key, ':').toInt(&ok);
        if (ok) {
            p.revision = r;
            break;
        }
    }
    return p;
}

OsVersion osVersion() {
    QByteArray osRelease = readSmallFile(QStringLiteral("/etc/os-release"));
    if (osRelease.isEmpty())
        osRelease = readSmallFile(QStringLiteral("/usr/lib/os-release"));
    const Uname u = readUname();
    return parseOsVersion(osRelease, u.system, u.release);
}

MemoryStatus memoryStatus() {
    return parseMemInfo(readSmallFile(QStringLiteral("/proc/meminfo")));
}

ProcessorInfo processorInfo() {
    return parseCpuInfo(readSmallFile(QStringLiteral("/proc/cpuinfo")), readUname().machine);
}

} // namespace kx
