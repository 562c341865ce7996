#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QWidget;

namespace kx {

class Report;
struct SharedData;

// The record list printout "Tárolt Adatok Listája": every record of the record query, one
// page each, in the query's order and as the query stands (after a search, only its hits).
// Its value elements are bound to the query's fields; the engine reads them as it paints, so
// only the pages looked at or printed are read, photos included.
class RecordListReport : public QObject {
    Q_OBJECT
public:
    RecordListReport(SharedData& data, QWidget* parent = nullptr);
    ~RecordListReport() override;

    Report& report() {
        return *m_report;
    }

    // Runs an output of the report (layout, preview, print or PDF) with the record query as
    // its data; the query's signals wait until the output is over.
    void withRecords(const std::function<void(Report&)>& output);

    // The browser's list command: the modal preview over the record query, which is left on
    // its last record, where the walk through it ends.
    void preview();

private:
    SharedData& m_data;
    QWidget* m_parentWidget;
    std::unique_ptr<Report> m_report;
};

} // namespace kx
