#pragma once

#include <QByteArray>
#include <QString>

namespace kx::test {

// What the tests read back from the files the program writes.

// A digest of the file's bytes; empty when it cannot be read.
QByteArray hashOf(const QString& path);
// The text of a PDF file as pdftotext lays it out (-layout).
QString pdfText(const QString& path);
// The number of pages pdfinfo counts in a PDF file; -1 when it names none.
int pdfPages(const QString& path);

} // namespace kx::test
