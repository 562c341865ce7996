#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <memory>

class QWidget;

namespace kx {

class Report;
class ReportElement;
struct SharedData;

// The single-record printout "Tárolt adatok": one A4 page with the record that the record
// browser shows. It has no data source: the program writes every value into it, then shows
// the modal preview, from which the user prints or saves it.
class RecordSheetReport : public QObject {
    Q_OBJECT
public:
    // The values of one record, as the browser's fields show them.
    struct Values {
        QString title, type, category, keywords, reference, recorder, date;
        QString description;
        QImage photo; // null: no photo
        QString fileName, fileType;
        qint64 fileSize = 0;
    };

    RecordSheetReport(SharedData& data, QWidget* parent = nullptr);
    ~RecordSheetReport() override;

    Report& report() {
        return *m_report;
    }

    // The value elements: title, type, category, keywords, reference, recorder, date, stored
    // file name, type and size; the description box and the picture box.
    ReportElement* titleValue;       // QRLabel14
    ReportElement* typeValue;        // QRLabel15
    ReportElement* categoryValue;    // QRLabel16
    ReportElement* keywordsValue;    // QRLabel17
    ReportElement* referenceValue;   // QRLabel18
    ReportElement* recorderValue;    // QRLabel19
    ReportElement* dateValue;        // QRLabel20
    ReportElement* fileNameValue;    // QRLabel21
    ReportElement* fileTypeValue;    // QRLabel22
    ReportElement* fileSizeValue;    // QRLabel23
    ReportElement* descriptionValue; // QRMemo1
    ReportElement* photoValue;       // QRImage1

    // The current record of the record query, which is what the browser's fields show.
    static Values currentRecord(SharedData& data);

    void clearValues();
    // Empties every value element, then writes the values in.
    void fill(const Values& values);
    // Shows the modal preview of what was filled in; returns when the user closes it.
    void showPreview();
    // The browser's print command: fills from the current record, then the preview.
    void preview();

private:
    SharedData& m_data;
    QWidget* m_parentWidget;
    std::unique_ptr<Report> m_report;
};

} // namespace kx
