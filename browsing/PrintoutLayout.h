#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

namespace kx {

class Report;
class ReportBand;
class ReportElement;

// What the single-record and the record-list printouts share: A4 portrait with 10 mm margins,
// Arial 10 pt, the page header with the centred title, and the page footer with its rule, the
// time of printing, the program's name, the web address and the page number.
namespace printout {

// Arial where it is installed, else its metric twin; Arial Narrow likewise.
QFont arial(double points, bool bold = false, bool italic = false, bool underline = false);
QFont arialNarrow(double points, bool bold = false, bool italic = false);

// Page setup, the header with title and the footer; detailHeight is the detail band's height.
void setUpPage(Report& report, const QString& title, double detailHeight);

// A caption of the detail band at (left, top): as wide as its text, 4.5 mm high.
ReportElement* addCaption(ReportBand& band, const QString& name, const QString& text, double left,
                          double top, bool bold = false);

// A one-line value area at (left, top), width wide and 4.5 mm high.
QRectF valueRect(double left, double top, double width);

// The second line of the footer, under the program's name.
QString webAddress();

} // namespace printout

} // namespace kx
