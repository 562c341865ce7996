#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace kx {

// The time format of the locale with hours, minutes and seconds and no time-zone name: the
// locale's long time format with its zone tokens taken out. The long format of many locales
// ends in the zone ("H:mm:ss t"), which would not fit the 25 characters of a date field and
// names nothing the user typed.
QString timeFormatWithoutZone(const QLocale& locale = QLocale());

// A moment as the program writes it wherever it shows or proposes a date and time (the entry
// form's date, the status bar's clock, the printouts' footers): the regional short date, one
// blank and the regional time with seconds and without zone.
QString dateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

} // namespace kx
