#pragma once

#include <QLocale>
#include <QString>

namespace kx {

struct OsVersion;
struct ProcessorInfo;

// The about box's five values as text, from the facts the platform layer reads.

// "<name>  (<major>.<minor>.<build>)"; an unknown name leaves the two blanks in front.
QString osVersionText(const OsVersion& v);
// Kilobytes (bytes / 1024, rounded), grouped by three with the locale's separator, " KB".
QString physicalMemoryText(quint64 totalBytes, const QLocale& locale = QLocale());
// "<percent> %"
QString memoryInUseText(int loadPercent);
// Two decimals with the locale's decimal separator, no grouping, " MHz".
QString processorSpeedText(double mhz, const QLocale& locale = QLocale());
// "<type>  Rev. <revision>"
QString processorTypeText(const ProcessorInfo& p);

} // namespace kx
