#pragma once

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace kx {

class Prompter;
class ReportDataSource;

enum class ReportBandKind { PageHeader, Detail, PageFooter };

// One element of a band: a label, a field printed as text, a picture, or a field the engine
// fills itself (the date and time, the page number). Geometry is in millimetres from the
// band's top-left corner. Texts break at spaces to fit the width but never grow the element:
// only the lines that fit its height print (always at least the first).
class ReportElement {
public:
    enum class Kind {
        Label,        // text the program sets
        FieldText,    // a field of the current record, as displayed
        Picture,      // a picture the program sets
        FieldPicture, // a field of the current record, read as an image file
        DateTime,     // when the report is produced: short date, blank, long time
        PageNumber,   // the page's number, counted from 1
    };

    ReportElement(Kind kind, const QString& name, const QRectF& geometry);

    Kind kind() const {
        return m_kind;
    }
    QString name() const {
        return m_name;
    }
    QRectF geometry() const {
        return m_geometry;
    }
    bool isPicture() const {
        return m_kind == Kind::Picture || m_kind == Kind::FieldPicture;
    }

    // Unset: the report's base font.
    std::optional<QFont> font() const {
        return m_font;
    }
    void setFont(const QFont& font);
    Qt::Alignment alignment() const {
        return m_alignment;
    }
    void setAlignment(Qt::Alignment alignment);
    // A label as wide as its text, which then never breaks.
    bool autoSize() const {
        return m_autoSize;
    }
    void setAutoSize(bool on);

    QString text() const {
        return m_text;
    }
    void setText(const QString& text);
    QString field() const {
        return m_field;
    }
    void setField(const QString& field);

    QImage picture() const {
        return m_picture;
    }
    void setPicture(const QImage& picture);
    bool centred() const {
        return m_centred;
    }
    void setCentred(bool on);
    bool stretched() const {
        return m_stretched;
    }
    void setStretched(bool on);

    void clear(); // empties a label's text or a picture

private:
    Kind m_kind;
    QString m_name;
    QRectF m_geometry;
    std::optional<QFont> m_font;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_autoSize = false;
    QString m_text;
    QString m_field;
    QImage m_picture;
    bool m_centred = false;
    bool m_stretched = false;
};

// A horizontal strip of the page with its elements; its height never changes with content.
class ReportBand {
public:
    ReportBand(ReportBandKind kind, double height);

    ReportBandKind kind() const {
        return m_kind;
    }
    double height() const {
        return m_height;
    }
    void setHeight(double millimetres);
    bool topRule() const {
        return m_topRule;
    }
    void setTopRule(bool on); // a line along the band's top edge

    ReportElement* addLabel(const QString& name, const QRectF& geometry,
                            const QString& text = QString());
    ReportElement* addFieldText(const QString& name, const QRectF& geometry, const QString& field);
    ReportElement* addPicture(const QString& name, const QRectF& geometry);
    ReportElement* addFieldPicture(const QString& name, const QRectF& geometry,
                                   const QString& field);
    ReportElement* addDateTime(const QString& name, const QRectF& geometry);
    ReportElement* addPageNumber(const QString& name, const QRectF& geometry);

    const std::vector<std::unique_ptr<ReportElement>>& elements() const {
        return m_elements;
    }

private:
    ReportElement* add(ReportElement::Kind kind, const QString& name, const QRectF& geometry);

    ReportBandKind m_kind;
    double m_height;
    bool m_topRule = false;
    std::vector<std::unique_ptr<ReportElement>> m_elements;
};

// One line of text as it prints: its text and the start of its baseline on the paper (mm).
struct ReportLine {
    QString text;
    QPointF origin;
};

// An element placed on a page, with the content it prints there.
struct PlacedElement {
    const ReportElement* element = nullptr;
    QRectF rect; // on the paper, millimetres from its top-left corner
    QRectF clip; // what may be painted: the rect, and the first text line if it is taller
    QFont font;  // at its size in points
    QList<ReportLine> lines;
    QImage picture;     // null when the element prints no picture
    QRectF pictureRect; // where the picture is drawn; clipped to rect

    QString name() const;
    QString text() const; // the printed lines joined by '\n'
};

struct PlacedBand {
    ReportBandKind kind = ReportBandKind::Detail;
    QRectF rect;     // on the paper, millimetres
    int record = -1; // the record a detail band printed; -1 for none
    bool topRule = false;
};

// One page, laid out: what the preview, the printer and the PDF writer paint alike.
struct ReportPage {
    int number = 0; // from 1
    QList<PlacedBand> bands;
    QList<PlacedElement> elements;

    const PlacedElement* find(const QString& name) const; // its first placement on the page
    QList<const PlacedElement*> findAll(const QString& name) const;
};

// A banded report: A4 portrait pages with 10 mm margins, a page header at the top of every
// page, as many detail bands as fit below it (one for each record of the data source, or one
// when there is no data), and a page footer at the bottom of every page. Heights are fixed,
// so the page of any record is known without walking the records before it: a page is laid
// out only when it is painted, and only its own records are read.
class Report {
public:
    Report();
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    QString title() const {
        return m_title;
    }
    void setTitle(const QString& title); // the document's name and the preview's caption

    QSizeF paperSize() const {
        return m_paper;
    }
    QMarginsF margins() const {
        return m_margins;
    }
    QFont baseFont() const {
        return m_baseFont;
    }
    void setBaseFont(const QFont& font);

    ReportBand& pageHeader() {
        return m_header;
    }
    ReportBand& detail() {
        return m_detail;
    }
    ReportBand& pageFooter() {
        return m_footer;
    }

    // The records the detail band walks; none: the detail band prints once.
    void setDataSource(ReportDataSource* source);
    ReportDataSource* dataSource() const {
        return m_source;
    }

    ReportElement* element(const QString& name) const; // by name, in any band; null if none

    int detailsPerPage() const;
    int pageCount();
    ReportPage layoutPage(int index); // 0-based; makes that page's records current in turn

    // Painting uses a painter whose unit is one millimetre with its origin at the paper's
    // top-left corner (see scaleToMillimetres).
    void paintPage(int index, QPainter& painter);
    static void paint(const ReportPage& page, QPainter& painter);
    static void scaleToMillimetres(QPainter& painter, double dotsPerInch);

    // The outputs. Each walks the pages in order and leaves the data source on its last
    // record; errors (data, a file that cannot be written) are thrown to the caller.
    // With a prompter set, print() and writePdf() show their progress and stop when the user
    // asks; they return false then. A file (a PDF, or a print job sent to a file) is written
    // under a temporary name and takes the chosen name only when whole: stopped or failed,
    // it leaves nothing there and an earlier file of that name as it was. A job for a printer
    // is written the same way and sent to the print system once, whole: stopped, it sends
    // nothing; not taken, it is thrown as "A nyomtatás nem sikerült: " and the reason.
    void configurePrinter(QPrinter& printer) const;
    bool print(QPrinter& printer);
    bool writePdf(const QString& path);
    void setPrompter(Prompter* prompter) {
        m_prompter = prompter;
    }
    void preview(QWidget* parent = nullptr); // modal; returns when the user closes it

    void startOutput(); // takes the production time from the clock
    void finishWalk();  // the source stands on its last record, as after a full walk

private:
    int recordTotal();
    // Paints pages in order under a progress window; false when the user stops it. Painting
    // also ends, returning true, once failed() says the output can no longer be written.
    bool paintPages(QPainter& painter, QPagedPaintDevice& device, const QList<int>& pages,
                    const QString& progressText, const std::function<bool()>& failed = {});
    // Writes the pages as a PDF file at path, put there only when whole; false when stopped.
    bool writePdfFile(const QPrinter& settings, const QList<int>& pages, const QString& path,
                      const QString& progressText);
    // Prints the pages on the printer chosen in printer as one job, sent only when whole;
    // false when stopped. A job the print system does not take is thrown with its reason.
    bool printOnPrinter(const QPrinter& printer, const QList<int>& pages);
    void placeBand(ReportPage& page, const ReportBand& band, double top, int record);
    PlacedElement placeElement(const ReportElement& element, const QRectF& rect, int record,
                               int pageNumber);

    QString m_title;
    QSizeF m_paper{210.0, 297.0};
    QMarginsF m_margins{10.0, 10.0, 10.0, 10.0};
    QFont m_baseFont;
    ReportBand m_header;
    ReportBand m_detail;
    ReportBand m_footer;
    ReportDataSource* m_source = nullptr;
    QDateTime m_producedAt;
    Prompter* m_prompter = nullptr;
};

} // namespace kx
