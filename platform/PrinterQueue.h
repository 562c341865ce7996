#pragma once

#include <QString>

class QPrinter;

namespace kx {

// Hands a finished PDF document to the print system as one job for the printer chosen in
// printer, with the settings the print dialog left there (copies and their collation, duplex,
// grey printing, the paper, the options of the printer's own page) and the document's name as
// the job's title. The print system takes the document whole or not at all: a job whose
// document did not arrive complete is cancelled. Returns the print system's reason when the
// job was not accepted; empty when it was.
QString sendToPrinter(const QString& pdfPath, const QPrinter& printer);

} // namespace kx
