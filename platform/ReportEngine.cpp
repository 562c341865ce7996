#include "ReportEngine.h"

#include "Clock.h"
#include "DateTimeText.h"
#include "OutputFile.h"
#include "PrinterQueue.h"
#include "Progress.h"
#include "Prompter.h"
#include "ReportDataSource.h"
#include "ReportPreview.h"
#include "StoredBmp.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <cmath>
#include <stdexcept>

namespace kx {

ReportDataSource::~ReportDataSource() = default;

namespace {

// Text is laid out and drawn at a hundred units to the millimetre: fonts get a pixel size in
// those units, which keeps their metrics independent of any device's resolution and fine
// enough that rounding the size costs nothing visible.
constexpr double kTextUnits = 100.0;
constexpr double kPointInMm = 25.4 / 72.0;
// Pictures print at the size they have on a standard screen.
constexpr double kPictureDpi = 96.0;
constexpr double kEpsilon = 0.001;
constexpr double kRuleWidth = 0.25;

QFont layoutFont(const QFont& font) {
    QFont scaled = font;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    scaled.setPixelSize(qMax(1, int(std::lround(points * kPointInMm * kTextUnits))));
    scaled.setHintingPreference(QFont::PreferNoHinting);
    scaled.setKerning(true);
    return scaled;
}

QString withoutTrailingBlanks(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

// Splits text into paragraphs at line breaks of every platform.
QStringList paragraphsOf(const QString& text) {
    QString unified = text;
    unified.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    unified.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return unified.split(QLatin1Char('\n'));
}

// Breaks one paragraph at spaces only: each line takes as many words as fit the width, and a
// word wider than the width stands alone on its line (painting clips it). Stops at maxLines.
void wrapAtSpaces(const QString& paragraph, const QFontMetricsF& metrics, double width,
                  qsizetype maxLines, QStringList& out) {
    const QStringList words = paragraph.split(QLatin1Char(' '));
    QString line = words.first();
    for (qsizetype i = 1; i < words.size() && out.size() < maxLines; ++i) {
        const QString candidate = line + QLatin1Char(' ') + words[i];
        if (metrics.horizontalAdvance(candidate) <= width) {
            line = candidate;
        } else {
            out << line;
            line = words[i];
        }
    }
    if (out.size() < maxLines)
        out << line;
}

// Lays text out in rect: broken at spaces to its width, and only the lines that fit its height
// (the first line always); an auto-sized rect first takes the width of its widest line and
// never breaks. Returns the clip: rect, grown to the first line when that is taller.
QRectF layoutLines(const QString& text, const QFont& font, Qt::Alignment alignment, QRectF& rect,
                   bool autoSize, QList<ReportLine>& lines) {
    if (text.isEmpty())
        return rect;
    const QFontMetricsF metrics(layoutFont(font));
    const QStringList paragraphs = paragraphsOf(text);
    if (autoSize) {
        double widest = 0;
        for (const QString& p : paragraphs)
            widest = qMax(widest, metrics.horizontalAdvance(p));
        rect.setWidth(widest / kTextUnits);
    }
    const double width = rect.width() * kTextUnits;
    const double lineHeight = metrics.ascent() + metrics.descent();
    const qsizetype maxLines = qMax<qsizetype>(
        1,
        qsizetype(std::floor((rect.height() * kTextUnits + kEpsilon * kTextUnits) / lineHeight)));
    QStringList texts;
    for (const QString& p : paragraphs) {
        if (texts.size() >= maxLines)
            break;
        if (autoSize)
            texts << p;
        else
            wrapAtSpaces(p, metrics, width, maxLines, texts);
    }
    QRectF clip = rect;
    if (lineHeight / kTextUnits > rect.height())
        clip.setHeight(lineHeight / kTextUnits);
    double y = metrics.ascent();
    for (const QString& t : texts) {
        const QString shown = withoutTrailingBlanks(t);
        double x = 0;
        if (alignment & Qt::AlignHCenter)
            x = (width - metrics.horizontalAdvance(shown)) / 2;
        else if (alignment & Qt::AlignRight)
            x = width - metrics.horizontalAdvance(shown);
        lines.append({shown, QPointF(rect.left() + x / kTextUnits, rect.top() + y / kTextUnits)});
        y += lineHeight;
    }
    return clip;
}

QRectF placePicture(const QImage& picture, const QRectF& box, bool centred, bool stretched) {
    if (stretched)
        return box;
    const QSizeF natural(picture.width() * 25.4 / kPictureDpi,
                         picture.height() * 25.4 / kPictureDpi);
    if (!centred)
        return QRectF(box.topLeft(), natural);
    return QRectF(box.center() - QPointF(natural.width() / 2, natural.height() / 2), natural);
}

// The pages a print job sends, 0-based, in the order they go out: the range chosen in the
// print dialog (all pages when none), each as many times as the copies asked for where the
// printer does not make the copies itself (a PDF file, for one). Collated copies repeat the
// whole range; uncollated ones repeat each page in turn.
QList<int> pagesToSend(const QPrinter& printer, int pageCount) {
    QList<int> range;
    const QPageRanges chosen = printer.pageRanges();
    const bool ranged = printer.printRange() == QPrinter::PageRange && !chosen.isEmpty();
    for (int page = 1; page <= pageCount; ++page)
        if (!ranged || chosen.contains(page))
            range << page - 1;
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QList<int> pages;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            pages << range;
    } else {
        for (int page : range)
            for (int copy = 0; copy < copies; ++copy)
                pages << page;
    }
    return pages;
}

QString producedText(const QDateTime& when) {
    return dateTimeText(when);
}

} // namespace

// ---- elements and bands ----

ReportElement::ReportElement(Kind kind, const QString& name, const QRectF& geometry)
    : m_kind(kind), m_name(name), m_geometry(geometry) {}

void ReportElement::setFont(const QFont& font) {
    m_font = font;
}

void ReportElement::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
}

void ReportElement::setAutoSize(bool on) {
    m_autoSize = on;
}

void ReportElement::setText(const QString& text) {
    m_text = text;
}

void ReportElement::setField(const QString& field) {
    m_field = field;
}

void ReportElement::setPicture(const QImage& picture) {
    m_picture = picture;
}

void ReportElement::setCentred(bool on) {
    m_centred = on;
}

void ReportElement::setStretched(bool on) {
    m_stretched = on;
}

void ReportElement::clear() {
    m_text.clear();
    m_picture = QImage();
}

ReportBand::ReportBand(ReportBandKind kind, double height) : m_kind(kind), m_height(height) {}

void ReportBand::setHeight(double millimetres) {
    m_height = millimetres;
}

void ReportBand::setTopRule(bool on) {
    m_topRule = on;
}

ReportElement* ReportBand::add(ReportElement::Kind kind, const QString& name,
                               const QRectF& geometry) {
    m_elements.push_back(std::make_unique<ReportElement>(kind, name, geometry));
    return m_elements.back().get();
}

ReportElement* ReportBand::addLabel(const QString& name, const QRectF& geometry,
                                    const QString& text) {
    ReportElement* e = add(ReportElement::Kind::Label, name, geometry);
    e->setText(text);
    return e;
}

ReportElement* ReportBand::addFieldText(const QString& name, const QRectF& geometry,
                                        const QString& field) {
    ReportElement* e = add(ReportElement::Kind::FieldText, name, geometry);
    e->setField(field);
    return e;
}

ReportElement* ReportBand::addPicture(const QString& name, const QRectF& geometry) {
    return add(ReportElement::Kind::Picture, name, geometry);
}

ReportElement* ReportBand::addFieldPicture(const QString& name, const QRectF& geometry,
                                           const QString& field) {
    ReportElement* e = add(ReportElement::Kind::FieldPicture, name, geometry);
    e->setField(field);
    return e;
}

ReportElement* ReportBand::addDateTime(const QString& name, const QRectF& geometry) {
    return add(ReportElement::Kind::DateTime, name, geometry);
}

ReportElement* ReportBand::addPageNumber(const QString& name, const QRectF& geometry) {
    return add(ReportElement::Kind::PageNumber, name, geometry);
}

// ---- placed content ----

QString PlacedElement::name() const {
    return element ? element->name() : QString();
}

QString PlacedElement::text() const {
    QStringList parts;
    for (const ReportLine& line : lines)
        parts << line.text;
    return parts.join(QLatin1Char('\n'));
}

const PlacedElement* ReportPage::find(const QString& name) const {
    for (const PlacedElement& e : elements)
        if (e.name() == name)
            return &e;
    return nullptr;
}

QList<const PlacedElement*> ReportPage::findAll(const QString& name) const {
    QList<const PlacedElement*> found;
    for (const PlacedElement& e : elements)
        if (e.name() == name)
            found << &e;
    return found;
}

// ---- the report ----

Report::Report()
    : m_header(ReportBandKind::PageHeader, 0), m_detail(ReportBandKind::Detail, 0),
      m_footer(ReportBandKind::PageFooter, 0) {
    m_baseFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    m_baseFont.setPointSizeF(10);
}

Report::~Report() = default;

void Report::setTitle(const QString& title) {
    m_title = title;
}

void Report::setBaseFont(const QFont& font) {
    m_baseFont = font;
}

void Report::setDataSource(ReportDataSource* source) {
    m_source = source;
}

ReportElement* Report::element(const QString& name) const {
    for (const ReportBand* band : {&m_header, &m_detail, &m_footer})
        for (const auto& e : band->elements())
            if (e->name() == name)
                return e.get();
    return nullptr;
}

void Report::startOutput() {
    m_producedAt = Clock::now();
}

int Report::recordTotal() {
    return m_source ? qMax(0, m_source->recordCount()) : 0;
}

int Report::detailsPerPage() const {
    const double room = m_paper.height() - m_margins.top() - m_margins.bottom() -
                        m_header.height() - m_footer.height();
    if (m_detail.height() <= 0)
        return 1;
    return qMax(1, int(std::floor((room + kEpsilon) / m_detail.height())));
}

int Report::pageCount() {
    // Without records the detail band still prints once, with empty values.
    const int details = qMax(1, recordTotal());
    const int perPage = detailsPerPage();
    return (details + perPage - 1) / perPage;
}

ReportPage Report::layoutPage(int index) {
    ReportPage page;
    if (index < 0 || index >= pageCount())
        return page;
    if (!m_producedAt.isValid())
        startOutput();
    page.number = index + 1;
    double top = m_margins.top();
    placeBand(page, m_header, top, -1);
    top += m_header.height();

    const int records = recordTotal();
    const int details = qMax(1, records);
    const int perPage = detailsPerPage();
    for (int slot = index * perPage; slot < details && slot < (index + 1) * perPage; ++slot) {
        const bool hasRecord = slot < records;
        if (hasRecord)
            m_source->moveTo(slot);
        placeBand(page, m_detail, top, hasRecord ? slot : -1);
        top += m_detail.height();
    }

    // The footer keeps to the bottom of the printable area.
    placeBand(page, m_footer, m_paper.height() - m_margins.bottom() - m_footer.height(), -1);
    return page;
}

void Report::placeBand(ReportPage& page, const ReportBand& band, double top, int record) {
    const QRectF rect(m_margins.left(), top, m_paper.width() - m_margins.left() - m_margins.right(),
                      band.height());
    page.bands.append({band.kind(), rect, record, band.topRule()});
    for (const auto& e : band.elements())
        page.elements.append(
            placeElement(*e, e->geometry().translated(rect.topLeft()), record, page.number));
}

PlacedElement Report::placeElement(const ReportElement& element, const QRectF& rect, int record,
                                   int pageNumber) {
    PlacedElement placed;
    placed.element = &element;
    placed.rect = rect;
    placed.clip = rect;
    placed.font = element.font().value_or(m_baseFont);

    if (element.isPicture()) {
        QImage picture;
        if (element.kind() == ReportElement::Kind::Picture) {
            picture = element.picture();
        } else if (record >= 0) {
            // Read for this band only; the bytes go when the page has been laid out. A bound
            // picture is a BMP file image; bytes of any other kind print as no picture, so
            // that what another client stored never reaches another image decoder.
            picture = readBmpImage(m_source->bytes(element.field()));
        }
        if (!picture.isNull()) {
            placed.picture = picture;
            placed.pictureRect =
                placePicture(picture, rect, element.centred(), element.stretched());
        }
        return placed;
    }

    QString text;
    switch (element.kind()) {
    case ReportElement::Kind::Label:
        text = element.text();
        break;
    case ReportElement::Kind::FieldText:
        if (record >= 0)
            text = m_source->text(element.field());
        break;
    case ReportElement::Kind::DateTime:
        text = producedText(m_producedAt);
        break;
    case ReportElement::Kind::PageNumber:
        text = QString::number(pageNumber);
        break;
    default:
        break;
    }
    placed.clip = layoutLines(text, placed.font, element.alignment(), placed.rect,
                              element.autoSize(), placed.lines);
    return placed;
}

void Report::paintPage(int index, QPainter& painter) {
    paint(layoutPage(index), painter);
}

void Report::scaleToMillimetres(QPainter& painter, double dotsPerInch) {
    const double scale = dotsPerInch / 25.4;
    painter.scale(scale, scale);
}

void Report::paint(const ReportPage& page, QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setPen(QPen(Qt::black, kRuleWidth));
    for (const PlacedBand& band : page.bands)
        if (band.topRule)
            painter.drawLine(band.rect.topLeft(), band.rect.topRight());
    painter.restore();

    for (const PlacedElement& e : page.elements) {
        painter.save();
        painter.setClipRect(e.clip, Qt::IntersectClip);
        if (!e.picture.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(e.pictureRect, e.picture);
        } else if (!e.lines.isEmpty()) {
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(1 / kTextUnits, 1 / kTextUnits);
            painter.setFont(layoutFont(e.font));
            painter.setPen(Qt::black);
            for (const ReportLine& line : e.lines)
                painter.drawText(line.origin * kTextUnits, line.text);
        }
        painter.restore();
    }
}

void Report::configurePrinter(QPrinter& printer) const {
    printer.setFullPage(true); // positions count from the paper's edge; margins are ours
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    printer.setCopyCount(1);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Auto);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setDocName(m_title);
    printer.setCreator(applicationTitle());
}

bool Report::print(QPrinter& printer) {
    startOutput();
    const QList<int> pages = pagesToSend(printer, pageCount());
    if (pages.isEmpty()) {
        // A range beyond the last page: nothing to send, not even a blank sheet.
        finishWalk();
        return true;
    }
    // Every output is a PDF document of our own, written under a temporary name and handed on
    // only when whole: Qt's writers finish a stopped job as a shorter document (its printer
    // sends that to the print system as well) and never notice a write that fails.
    bool whole = false;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        whole = writePdfFile(printer, pages, printer.outputFileName(),
                             QStringLiteral("Mentés PDF fájlba..."));
    else if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty())
        whole = printOnPrinter(printer, pages);
    else
        throw std::runtime_error(QStringLiteral("A nyomtatás nem indítható el: %1")
                                     .arg(printer.printerName())
                                     .toStdString());
    // Stopped by the user: nothing was handed on, and the data source stays on the last record
    // painted.
    if (whole)
        finishWalk();
    return whole;
}

bool Report::printOnPrinter(const QPrinter& printer, const QList<int>& pages) {
    // The job's document waits here until the print system has taken it, and goes with it.
    const QTemporaryDir folder;
    if (!folder.isValid())
        throw std::runtime_error(QStringLiteral("A nyomtatás nem indítható el: %1")
                                     .arg(folder.errorString())
                                     .toStdString());
    const QString document = folder.filePath(QStringLiteral("nyomtatas.pdf"));
    if (!writePdfFile(printer, pages, document, QStringLiteral("Nyomtatás...")))
        return false; // stopped: no job is made
    const QString refused = sendToPrinter(document, printer);
    if (!refused.isEmpty())
        throw std::runtime_error(
            QStringLiteral("A nyomtatás nem sikerült: %1").arg(refused).toStdString());
    return true;
}

bool Report::paintPages(QPainter& painter, QPagedPaintDevice& device, const QList<int>& pages,
                        const QString& progressText, const std::function<bool()>& failed) {
    const std::unique_ptr<Progress> progress =
        m_prompter ? m_prompter->progress(progressText, int(pages.size())) : nullptr;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (progress && !progress->step(int(i)))
            return false;
        if (failed && failed())
            return true; // the caller reports it; painting on would only read more records
        if (i > 0 && !device.newPage())
            throw std::runtime_error("A nyomtatás megszakadt.");
        paintPage(pages[i], painter);
    }
    return true;
}

bool Report::writePdfFile(const QPrinter& settings, const QList<int>& pages, const QString& path,
                          const QString& progressText) {
    OutputFile file(path);
    if (!file.open())
        throw std::runtime_error(QStringLiteral("A(z) \"%1\" fájl nem hozható létre. %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString())
                                     .toStdString());
    QPdfWriter writer(&file);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion(settings.pdfVersion()));
    QPageLayout layout = settings.pageLayout();
    layout.setMode(QPageLayout::FullPageMode); // positions count from the paper's edge
    writer.setPageLayout(layout);
    writer.setResolution(settings.resolution());
    writer.setTitle(settings.docName());
    writer.setCreator(settings.creator());
    QPainter painter;
    if (!painter.begin(&writer))
        throw std::runtime_error(QStringLiteral("A nyomtatás nem indítható el: %1")
                                     .arg(QDir::toNativeSeparators(path))
                                     .toStdString());
    scaleToMillimetres(painter, writer.resolution());
    const bool whole =
        paintPages(painter, writer, pages, progressText, [&file] { return file.failed(); });
    const bool ended = painter.end();
    if (!whole)
        return false; // stopped by the user: the temporary file goes, the chosen name stays
    if (!ended && !file.failed())
        throw std::runtime_error("A nyomtatás megszakadt.");
    if (!file.commit())
        throw std::runtime_error(
            QStringLiteral("A fájl írása nem sikerült: %1").arg(file.errorString()).toStdString());
    return true;
}

bool Report::writePdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    configurePrinter(printer);
    return print(printer);
}

void Report::preview(QWidget* parent) {
    startOutput();
    const int pages = pageCount();
    ReportPreview dialog(*this, pages, parent);
    dialog.exec();
    if (dialog.failure())
        std::rethrow_exception(dialog.failure());
    finishWalk();
}

void Report::finishWalk() {
    const int records = recordTotal();
    if (records > 0)
        m_source->moveTo(records - 1);
}

} // namespace kx
