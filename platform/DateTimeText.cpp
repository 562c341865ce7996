#include "DateTimeText.h"

namespace kx {

QString timeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    // Drop every run of 't' outside quoted text; letters in quotes are literal text.
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == QLatin1Char('t')) {
            // Blanks that stood before the zone go with it.
            while (out.endsWith(QLatin1Char(' ')))
                out.chop(1);
        } else {
            out += c;
        }
    }
    // A zone at the front leaves blanks there; blanks inside are the locale's own.
    return out.trimmed();
}

QString dateTimeText(const QDateTime& when, const QLocale& locale) {
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormatWithoutZone(locale));
}

} // namespace kx
