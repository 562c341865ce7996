#include "PrintoutLayout.h"

#include "platform/ReportEngine.h"

namespace kx::printout {

namespace {

constexpr double kLabelHeight = 4.5;

QFont font(const QStringList& families, double points, bool bold, bool italic, bool underline) {
    QFont f;
    f.setFamilies(families);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    return f;
}

} // namespace

QFont arial(double points, bool bold, bool italic, bool underline) {
    return font({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, points, bold, italic,
                underline);
}

QFont arialNarrow(double points, bool bold, bool italic) {
    return font({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                 QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
                points, bold, italic, false);
}

QRectF valueRect(double left, double top, double width) {
    return QRectF(left, top, width, kLabelHeight);
}

QString webAddress() {
    return QStringLiteral("www.kartotex.example");
}

ReportElement* addCaption(ReportBand& band, const QString& name, const QString& text, double left,
                          double top, bool bold) {
    ReportElement* caption = band.addLabel(name, valueRect(left, top, 0), text);
    caption->setAutoSize(true);
    caption->setFont(arial(10, bold));
    return caption;
}

void setUpPage(Report& report, const QString& title, double detailHeight) {
    report.setTitle(title);
    report.setBaseFont(arial(10));

    ReportBand& header = report.pageHeader();
    header.setHeight(14.6);
    ReportElement* heading =
        header.addLabel(QStringLiteral("QRLabel1"), QRectF(2.6, 2.1, 184.4, 6.6), title);
    heading->setFont(arial(16, true, false, true));
    heading->setAlignment(Qt::AlignHCenter);

    report.detail().setHeight(detailHeight);

    ReportBand& footer = report.pageFooter();
    footer.setHeight(10.6);
    footer.setTopRule(true);
    const double top = 1.9;
    ReportElement* when =
        footer.addDateTime(QStringLiteral("QRSysData1"), valueRect(0.0, top, 36.2));
    when->setFont(arialNarrow(10, true, true));
    ReportElement* name = footer.addLabel(QStringLiteral("QRLabel30"), valueRect(38.1, top, 115.1),
                                          QStringLiteral("Kartotex"));
    name->setFont(arialNarrow(10, true, true));
    name->setAlignment(Qt::AlignHCenter);
    ReportElement* web =
        footer.addLabel(QStringLiteral("QRLabel32"), valueRect(38.1, 6.1, 115.1), webAddress());
    web->setFont(arial(9, false, false, true));
    web->setAlignment(Qt::AlignHCenter);
    ReportElement* page =
        footer.addPageNumber(QStringLiteral("QRSysData2"), valueRect(155.3, top, 24.6));
    page->setFont(arialNarrow(10, true));
    page->setAlignment(Qt::AlignRight);
    ReportElement* pageText = footer.addLabel(
        QStringLiteral("QRLabel31"), valueRect(180.4, top, 9.5), QStringLiteral(". oldal"));
    pageText->setFont(arialNarrow(10, true, true));
}

} // namespace kx::printout
