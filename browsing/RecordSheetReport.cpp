#include "RecordSheetReport.h"

#include "PrintoutLayout.h"
#include "data/records/Columns.h"
#include "data/records/SharedData.h"
#include "platform/ReportEngine.h"
#include "platform/StoredBmp.h"

#include <QApplication>
#include <QWidget>

namespace kx {

using printout::addCaption;
using printout::valueRect;

RecordSheetReport::RecordSheetReport(SharedData& data, QWidget* parent)
    : QObject(parent), m_data(data), m_parentWidget(parent), m_report(std::make_unique<Report>()) {
    setObjectName(QStringLiteral("QuickReport54"));
    printout::setUpPage(*m_report, QStringLiteral("Tárolt adatok"), 249.8);

    ReportBand& d = m_report->detail();
    addCaption(d, QStringLiteral("QRLabel2"), QStringLiteral("Cím:"), 4.5, 4.2, true);
    addCaption(d, QStringLiteral("QRLabel3"), QStringLiteral("Típus:"), 4.2, 10.3);
    addCaption(d, QStringLiteral("QRLabel4"), QStringLiteral("Kategória:"), 94.7, 10.3);
    addCaption(d, QStringLiteral("QRLabel5"), QStringLiteral("Kereső szavak:"), 4.5, 16.4);
    addCaption(d, QStringLiteral("QRLabel6"), QStringLiteral("Hivatkozás:"), 4.5, 22.5);
    addCaption(d, QStringLiteral("QRLabel7"), QStringLiteral("Felvevő:"), 4.5, 28.6);
    addCaption(d, QStringLiteral("QRLabel8"), QStringLiteral("Dátum:"), 124.6, 28.6);
    addCaption(d, QStringLiteral("QRLabel9"), QStringLiteral("Leírás:"), 4.5, 40.2);
    addCaption(d, QStringLiteral("QRLabel10"), QStringLiteral("Fotó:"), 4.2, 160.9);
    addCaption(d, QStringLiteral("QRLabel11"), QStringLiteral("Tárolt fájl:"), 4.5, 227.5);
    addCaption(d, QStringLiteral("QRLabel12"), QStringLiteral("Tárolt fájl típusa:"), 4.5, 233.6);
    addCaption(d, QStringLiteral("QRLabel13"), QStringLiteral("Tárolt fájl mérete:"), 4.5, 239.7);

    titleValue = d.addLabel(QStringLiteral("QRLabel14"), valueRect(29.9, 4.2, 156.6));
    titleValue->setFont(printout::arial(10, true));
    typeValue = d.addLabel(QStringLiteral("QRLabel15"), valueRect(29.9, 10.3, 63.2));
    categoryValue = d.addLabel(QStringLiteral("QRLabel16"), valueRect(112.2, 10.3, 74.3));
    keywordsValue = d.addLabel(QStringLiteral("QRLabel17"), valueRect(29.9, 16.4, 156.6));
    referenceValue = d.addLabel(QStringLiteral("QRLabel18"), valueRect(29.9, 22.5, 156.6));
    recorderValue = d.addLabel(QStringLiteral("QRLabel19"), valueRect(29.9, 28.6, 93.1));
    dateValue = d.addLabel(QStringLiteral("QRLabel20"), valueRect(137.6, 28.6, 48.9));
    descriptionValue = d.addLabel(QStringLiteral("QRMemo1"), QRectF(9.8, 48.4, 176.7, 108.5));
    descriptionValue->setFont(printout::arial(10));
    photoValue = d.addPicture(QStringLiteral("QRImage1"), QRectF(19.1, 160.9, 167.5, 59.5));
    photoValue->setCentred(true);
    fileNameValue = d.addLabel(QStringLiteral("QRLabel21"), valueRect(33.9, 227.5, 152.7));
    fileTypeValue = d.addLabel(QStringLiteral("QRLabel22"), valueRect(33.9, 233.6, 152.7));
    fileSizeValue = d.addLabel(QStringLiteral("QRLabel23"), valueRect(33.9, 239.7, 152.7));
}

RecordSheetReport::~RecordSheetReport() = default;

RecordSheetReport::Values RecordSheetReport::currentRecord(SharedData& data) {
    Query& q = data.recordQuery;
    Values v;
    if (!q.isOpen() || q.currentRow() < 0)
        return v;
    v.title = q.asString(column::title);
    v.type = q.asString(column::type);
    v.category = q.asString(column::category);
    v.keywords = q.asString(column::keywords);
    v.reference = q.asString(column::reference);
    v.recorder = q.asString(column::recorder);
    v.date = q.asString(column::date);
    v.description = q.asString(column::description);
    // FOTO is a BMP file image; anything else shows no photo in the browser either.
    v.photo = readBmpImage(q.asBytes(column::photo));
    v.fileName = q.asString(column::fileName);
    v.fileType = q.asString(column::fileType);
    v.fileSize = q.asInteger(column::fileSize); // NULL reads as 0
    return v;
}

void RecordSheetReport::clearValues() {
    for (ReportElement* e :
         {titleValue, typeValue, categoryValue, keywordsValue, referenceValue, recorderValue,
          dateValue, fileNameValue, fileTypeValue, fileSizeValue, descriptionValue, photoValue})
        e->clear();
}

void RecordSheetReport::fill(const Values& v) {
    clearValues();
    titleValue->setText(v.title);
    typeValue->setText(v.type);
    categoryValue->setText(v.category);
    keywordsValue->setText(v.keywords);
    referenceValue->setText(v.reference);
    recorderValue->setText(v.recorder);
    dateValue->setText(v.date);
    descriptionValue->setText(v.description);
    if (!v.photo.isNull())
        photoValue->setPicture(v.photo.copy());
    fileNameValue->setText(v.fileName);
    fileTypeValue->setText(v.fileType);
    fileSizeValue->setText(QString::number(v.fileSize));
}

void RecordSheetReport::showPreview() {
    // Above the window that opened it (the browser), else above the main window.
    QWidget* owner = QApplication::activeModalWidget();
    m_report->preview(owner ? owner : m_parentWidget);
}

void RecordSheetReport::preview() {
    fill(currentRecord(m_data));
    showPreview();
}

} // namespace kx
