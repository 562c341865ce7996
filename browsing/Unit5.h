#pragma once

#include "RecordView.h"

#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace kx {

class RecordNavigator;
class ShellRequests;
struct SharedData;

// The record browser "Adatok áttekintése:". It keeps no data of its own: its fields show the
// current record of the main window's record query FDQuery1, so moving here moves the main
// grid, and a search here replaces what the grid shows. It steps through the records, starts
// the two printouts, searches, saves the stored file of a record to disk and opens or
// searches for a record's reference.
class TForm5 : public RecordView {
    Q_OBJECT
public:
    TForm5(SharedData& shared, Prompter& prompter, QWidget* parent = nullptr);

    // The desktop that opens web addresses; the real one unless replaced (tests record).
    void setShell(ShellRequests& shell);

    RecordNavigator* DBNavigator1;
    QPushButton* SpeedButton1; // print the current record
    QPushButton* SpeedButton2; // print the list
    QPushButton* SpeedButton3; // search
    QPushButton* SpeedButton4; // save the stored file
    QLineEdit *DBEdit1, *DBEdit2, *DBEdit3, *DBEdit4, *DBEdit5, *DBEdit6, *DBEdit7, *DBEdit8;
    QPlainTextEdit* DBMemo1;
    QLabel* DBImage1;

    // The two printouts, set by the main window; while one is empty its button does nothing.
    std::function<void()> showSingleRecordReport;
    std::function<void()> showRecordListReport;

public slots:
    void FormShow() override;
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void DBEdit5Change(); // the reference field's cursor and hint
    void DBEdit5Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCurrentRecord();
    void recordRefresh();
    void search(const QString& answer);
    void reportHits();
    void saveStoredFile();

    SharedData& m_data;
    ShellRequests* m_shell;
    bool m_followQuery = true; // false while the list printout walks the record query
};

} // namespace kx
