#include "RecordListReport.h"

#include "PrintoutLayout.h"
#include "QueryReportSource.h"
#include "data/records/Columns.h"
#include "data/records/SharedData.h"
#include "platform/ReportEngine.h"

#include <QApplication>
#include <QWidget>

namespace kx {

using printout::addCaption;
using printout::valueRect;

RecordListReport::RecordListReport(SharedData& data, QWidget* parent)
    : QObject(parent), m_data(data), m_parentWidget(parent), m_report(std::make_unique<Report>()) {
    setObjectName(QStringLiteral("QuickReport55"));
    printout::setUpPage(*m_report, QStringLiteral("Tárolt Adatok Listája"), 250.8);

    ReportBand& d = m_report->detail();
    addCaption(d, QStringLiteral("QRLabel2"), QStringLiteral("Cím:"), 4.5, 4.2, true);
    addCaption(d, QStringLiteral("QRLabel3"), QStringLiteral("Típus:"), 4.2, 10.3);
    addCaption(d, QStringLiteral("QRLabel4"), QStringLiteral("Kategória:"), 93.7, 10.3);
    addCaption(d, QStringLiteral("QRLabel5"), QStringLiteral("Keresőszavak:"), 4.5, 16.4);
    addCaption(d, QStringLiteral("QRLabel6"), QStringLiteral("Hivatkozás:"), 4.5, 22.5);
    addCaption(d, QStringLiteral("QRLabel7"), QStringLiteral("Felvevő:"), 4.5, 28.6);
    addCaption(d, QStringLiteral("QRLabel8"), QStringLiteral("Dátum:"), 93.7, 28.6);
    addCaption(d, QStringLiteral("QRLabel9"), QStringLiteral("Leírás:"), 4.5, 40.2);
    addCaption(d, QStringLiteral("QRLabel10"), QStringLiteral("Fotó:"), 4.2, 160.9);
    addCaption(d, QStringLiteral("QRLabel11"), QStringLiteral("Tárolt fájl:"), 4.2, 228.6);
    addCaption(d, QStringLiteral("QRLabel12"), QStringLiteral("Tárolt fájl típusa:"), 4.2, 234.7);
    addCaption(d, QStringLiteral("QRLabel13"), QStringLiteral("Tárolt fájl mérete:"), 4.2, 240.8);

    struct Bound {
        const char* name;
        QLatin1StringView field;
        double left, top, width;
    };
    const Bound texts[] = {
        {"QRDBText1", column::title, 28.8, 4.2, 157.7},
        {"QRDBText2", column::type, 28.8, 10.3, 63.2},
        {"QRDBText3", column::category, 111.1, 10.3, 75.4},
        {"QRDBText4", column::keywords, 28.8, 16.4, 157.7},
        {"QRDBText5", column::reference, 28.8, 22.5, 157.7},
        {"QRDBText6", column::recorder, 28.8, 28.6, 63.2},
        {"QRDBText7", column::date, 111.1, 28.6, 75.4},
        {"QRDBText8", column::fileName, 34.1, 228.6, 152.4},
        {"QRDBText9", column::fileType, 34.1, 234.7, 152.4},
        {"QRDBText10", column::fileSize, 34.1, 240.8, 152.4},
    };
    for (const Bound& b : texts)
        d.addFieldText(QString::fromLatin1(b.name), valueRect(b.left, b.top, b.width), b.field);
    m_report->element(QStringLiteral("QRDBText1"))->setFont(printout::arial(10, true));
    d.addFieldText(QStringLiteral("QRDBMemo1"), QRectF(14.8, 50.8, 171.7, 106.1),
                   column::description)
        ->setFont(printout::arial(10));
    d.addFieldPicture(QStringLiteral("QRDBImage1"), QRectF(14.8, 160.9, 171.7, 61.6), column::photo)
        ->setCentred(true);
}

RecordListReport::~RecordListReport() = default;

void RecordListReport::withRecords(const std::function<void(Report&)>& output) {
    QueryReportSource records(m_data.recordQuery);
    m_report->setDataSource(&records);
    try {
        output(*m_report);
    } catch (...) {
        m_report->setDataSource(nullptr);
        throw;
    }
    m_report->setDataSource(nullptr);
}

void RecordListReport::preview() {
    // Above the window that opened it (the browser), else above the main window.
    QWidget* owner = QApplication::activeModalWidget();
    withRecords([owner, this](Report& report) { report.preview(owner ? owner : m_parentWidget); });
}

} // namespace kx
