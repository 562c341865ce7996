#include "SystemInfoText.h"

#include "platform/SystemFacts.h"

#include <cmath>

namespace kx {

QString osVersionText(const OsVersion& v) {
    // One substitution for all parts: a name holding "%2" stays as it is.
    return QStringLiteral("%1  (%2.%3.%4)")
        .arg(v.name, QString::number(v.major), QString::number(v.minor), QString::number(v.build));
}

QString physicalMemoryText(quint64 totalBytes, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const auto kb = qulonglong(std::llround(double(totalBytes) / 1024.0));
    // The pattern "#,###" writes no digit at all for zero.
    return (kb == 0 ? QString() : grouped.toString(kb)) + QStringLiteral(" KB");
}

QString memoryInUseText(int loadPercent) {
    return QStringLiteral("%1 %").arg(loadPercent);
}

QString processorSpeedText(double mhz, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return plain.toString(mhz, 'f', 2) + QStringLiteral(" MHz");
}

QString processorTypeText(const ProcessorInfo& p) {
    return QStringLiteral("%1  Rev. %2").arg(p.type, QString::number(p.revision));
}

} // namespace kx
