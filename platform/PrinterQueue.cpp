#include "PrinterQueue.h"

#include <QByteArray>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintEngine>
#include <QPrinter>
#include <QStringList>
#include <cups/cups.h>

namespace kx {

namespace {

// Where Qt's print dialog keeps the options of the printer's own page ("Properties": pages
// per sheet, page set, job priority, banners...) as name, value pairs; its own print engine
// reads them from the same place when it sends a job.
// The server CUPS_SERVER (or the user's client.conf) names: libcups's CUPS_HTTP_DEFAULT.
http_t* const kDefaultServer = nullptr;

const auto kDialogCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The options of one job, freed on every way out.
class JobOptions {
public:
    JobOptions() = default;
    ~JobOptions() {
        cupsFreeOptions(m_count, m_options);
    }
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;

    // A later value of the same name replaces the earlier one.
    void set(const QByteArray& name, const QByteArray& value) {
        m_count = cupsAddOption(name.constData(), value.constData(), m_count, &m_options);
    }
    int count() const {
        return m_count;
    }
    cups_option_t* options() const {
        return m_options;
    }

private:
    int m_count = 0;
    cups_option_t* m_options = nullptr;
};

QByteArray sidesOf(const QPrinter& printer) {
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        return "one-sided";
    case QPrinter::DuplexAuto:
        return printer.pageLayout().orientation() == QPageLayout::Landscape ? "two-sided-short-edge"
                                                                            : "two-sided-long-edge";
    case QPrinter::DuplexLongSide:
        return "two-sided-long-edge";
    case QPrinter::DuplexShortSide:
        return "two-sided-short-edge";
    }
    return "one-sided";
}

} // namespace

QString sendToPrinter(const QString& pdfPath, const QPrinter& printer) {
    // A printer of the dialog may be an instance ("queue/instance"): the job goes to the
    // queue, with the options saved for that instance as the user's defaults.
    const QStringList parts = printer.printerName().split(QLatin1Char('/'));
    const QByteArray queue = parts.value(0).toLocal8Bit();
    const QByteArray instance = parts.value(1).toLocal8Bit();

    JobOptions options;
    if (cups_dest_t* dest = cupsGetNamedDest(kDefaultServer, queue.constData(),
                                             instance.isEmpty() ? nullptr : instance.constData())) {
        for (int i = 0; i < dest->num_options; ++i)
            options.set(dest->options[i].name, dest->options[i].value);
        cupsFreeDests(1, dest);
    }
    const QStringList dialogOptions =
        printer.printEngine()->property(kDialogCupsOptions).toStringList();
    for (qsizetype i = 0; i + 1 < dialogOptions.size(); i += 2)
        options.set(dialogOptions[i].toLocal8Bit(), dialogOptions[i + 1].toLocal8Bit());

    options.set("media", printer.pageLayout().pageSize().key().toLocal8Bit());
    options.set("sides", sidesOf(printer));
    // A printer that makes copies itself gets a document that holds each page once (see the
    // pages a report sends); for one that does not, the copies are in the document already.
    const int copies = printer.supportsMultipleCopies() ? qMax(1, printer.copyCount()) : 1;
    options.set("copies", QByteArray::number(copies));
    if (copies > 1)
        options.set("multiple-document-handling", printer.collateCopies()
                                                      ? "separate-documents-collated-copies"
                                                      : "separate-documents-uncollated-copies");
    // Colour is the printer's own default; grey only when asked for.
    if (printer.colorMode() == QPrinter::GrayScale)
        options.set("print-color-mode", "monochrome");

    const QString title = printer.docName().isEmpty() ? printer.creator() : printer.docName();
    // Sends the whole file in one job; a document that does not arrive whole cancels the job.
    const int job =
        cupsPrintFile2(kDefaultServer, queue.constData(), QFile::encodeName(pdfPath).constData(),
                       title.toUtf8().constData(), options.count(), options.options());
    if (job > 0)
        return QString();
    const QString cause = QString::fromUtf8(cupsLastErrorString());
    return cause.isEmpty() ? QString::fromUtf8(ippErrorString(cupsLastError())) : cause;
}

} // namespace kx
